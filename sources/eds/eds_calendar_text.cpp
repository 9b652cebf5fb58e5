// A calendar source's events as iCalendar text; see eds_calendar_text.h.
#include "sources/eds/eds_calendar_text.h"

#include <libecal/libecal.h>
#include <libical/ical.h>

#include <cmath>
#include <ctime>
#include <set>
#include <vector>

#include "sources/eds/eds_glib.h"
#include "sources/eds/eds_session.h"

namespace {

/// The instants the server's time values can hold: years 1900 to 9999.
constexpr double kEarliestUnix = -2208988800.0;
constexpr double kLatestUnix = 253402300799.0;
constexpr double kWideningSeconds = 24 * 3600;

std::string serverTime(double unixSeconds) {
  const double clamped = std::fmin(std::fmax(unixSeconds, kEarliestUnix), kLatestUnix);
  const std::time_t seconds = static_cast<std::time_t>(clamped);
  std::tm fields{};
  gmtime_r(&seconds, &fields);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &fields);
  return text;
}

icalcomponent* nativeOf(gpointer component) {
  return static_cast<icalcomponent*>(i_cal_object_get_native(I_CAL_OBJECT(component)));
}

bool isPartOfSeries(icalcomponent* event) {
  return icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY) ||
         icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY) ||
         icalcomponent_get_first_property(event, ICAL_RECURRENCEID_PROPERTY);
}

void addZoneNames(icalcomponent* event, std::set<std::string>& names) {
  for (icalproperty* property = icalcomponent_get_first_property(event, ICAL_ANY_PROPERTY); property;
       property = icalcomponent_get_next_property(event, ICAL_ANY_PROPERTY)) {
    icalparameter* zone = icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER);
    const char* name = zone ? icalparameter_get_tzid(zone) : nullptr;
    if (name && *name) names.insert(name);
  }
}

void appendComponent(std::string& text, icalcomponent* component) {
  char* written = icalcomponent_as_ical_string_r(component);
  if (!written) return;
  text += written;
  icalmemory_free_buffer(written);
}

/// The zone definitions the source holds for `names`; names it does not
/// know are left to the reader's own lookup.
void appendZones(std::string& text, ECalClient* client, const std::set<std::string>& names) {
  for (const std::string& name : names) {
    ICalTimezone* zone = nullptr;  // owned by the client
    GErrorOwner error;
    if (!e_cal_client_get_timezone_sync(client, name.c_str(), &zone, nullptr, error.out()) || !zone) continue;
    GObjectPtr<ICalComponent> definition(i_cal_timezone_get_component(zone));
    if (definition) appendComponent(text, nativeOf(definition.get()));
  }
}

/// The query for every object of the series with the given UIDs.
std::string seriesQuery(const std::set<std::string>& uids) {
  GString* query = g_string_new("(or");
  for (const std::string& uid : uids) {
    g_string_append(query, " (uid? ");
    e_sexp_encode_string(query, uid.c_str());
    g_string_append(query, ")");
  }
  g_string_append(query, ")");
  gchar* written = g_string_free(query, FALSE);
  std::string text = written;
  g_free(written);
  return text;
}

}  // namespace

std::optional<std::string> windowQuery(const EventWindow& window) {
  if (!window.isOrdered()) return std::nullopt;
  return "(occur-in-time-range? (make-time \"" + serverTime(window.fromUnix - kWideningSeconds) +
         "\") (make-time \"" + serverTime(window.toUnix + kWideningSeconds) + "\"))";
}

std::optional<std::string> calendarTextOf(ESource* source, const std::string& query) {
  GErrorOwner error;
  GObjectPtr<EClient> connected(
      e_cal_client_connect_sync(source, E_CAL_CLIENT_SOURCE_TYPE_EVENTS, kConnectWithoutWaiting, nullptr, error.out()));
  if (!connected) return std::nullopt;
  ECalClient* client = E_CAL_CLIENT(connected.get());
  GObjectList found;
  if (!e_cal_client_get_object_list_sync(client, query.c_str(), found.out(), nullptr, error.out()))
    return std::nullopt;
  // A series is read whole, so that an override moved into or out of the
  // window replaces its instance exactly as in a file.
  std::vector<icalcomponent*> events;
  std::set<std::string> seriesUids;
  for (GSList* item = found.get(); item; item = item->next) {
    icalcomponent* event = nativeOf(item->data);
    if (!isPartOfSeries(event))
      events.push_back(event);
    else if (const char* uid = icalcomponent_get_uid(event))
      seriesUids.insert(uid);
  }
  GObjectList series;
  if (!seriesUids.empty() &&
      e_cal_client_get_object_list_sync(client, seriesQuery(seriesUids).c_str(), series.out(), nullptr, error.out()))
    for (GSList* item = series.get(); item; item = item->next) events.push_back(nativeOf(item->data));

  std::set<std::string> zoneNames;
  for (icalcomponent* event : events) addZoneNames(event, zoneNames);
  std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n";
  appendZones(text, client, zoneNames);
  for (icalcomponent* event : events) appendComponent(text, event);
  text += "END:VCALENDAR\r\n";
  return text;
}
