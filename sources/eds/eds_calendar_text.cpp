// A calendar source's events as iCalendar texts; see eds_calendar_text.h.
#include "sources/eds/eds_calendar_text.h"

#include <libecal/libecal.h>
#include <libical/ical.h>
#include <malloc.h>

#include <cmath>
#include <ctime>
#include <map>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

#include "sources/eds/eds_calendar_settle.h"
#include "sources/eds/eds_glib.h"
#include "sources/eds/eds_session.h"

namespace {

/// The instants the server's time values can hold: years 1900 to 9999.
constexpr double kEarliestUnix = -2208988800.0;
constexpr double kLatestUnix = 253402300799.0;
constexpr double kWideningSeconds = 24 * 3600;

/// A text handed to the reader grows to about this size, each series whole
/// within one text: large enough that the zones each text repeats cost
/// little, small enough that the reader's work on one text stays small.
constexpr size_t kBatchBytes = 256 * 1024;

using Component = GObjectPtr<ICalComponent>;

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

/// The objects of `found` grouped by UID, in the order the server gave
/// their first object, so that a series' master and overrides are read
/// together. Takes over `found`'s references, so that each object can be let
/// go as soon as it is written.
std::vector<std::vector<Component>> seriesGroups(GObjectList& found) {
  std::vector<std::vector<Component>> groups;
  std::unordered_map<std::string, size_t> groupOfUid;
  GSList* spine = std::exchange(*found.out(), nullptr);
  for (GSList* item = spine; item; item = item->next) {
    Component component(static_cast<ICalComponent*>(item->data));
    icalcomponent* event = nativeOf(component.get());
    const char* uid = icalcomponent_get_uid(event);
    if (!uid || !*uid) {
      groups.emplace_back().push_back(std::move(component));
      continue;
    }
    auto [place, added] = groupOfUid.try_emplace(uid, groups.size());
    if (added) groups.emplace_back();
    groups[place->second].push_back(std::move(component));
  }
  g_slist_free(spine);
  return groups;
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

/// The zone definitions a source holds, asked for once per name: empty for a
/// name it does not know, which is left to the reader's own lookup.
class SourceZones {
 public:
  explicit SourceZones(ECalClient* client) : client_(client) {}

  const std::string& definitionOf(const std::string& name) {
    auto [place, added] = definitions_.try_emplace(name);
    if (added) place->second = fetch(name);
    return place->second;
  }

 private:
  std::string fetch(const std::string& name) {
    ICalTimezone* zone = nullptr;  // owned by the client
    GErrorOwner error;
    if (!e_cal_client_get_timezone_sync(client_, name.c_str(), &zone, nullptr, error.out()) || !zone) return {};
    Component definition(i_cal_timezone_get_component(zone));
    std::string text;
    if (definition) appendComponent(text, nativeOf(definition.get()));
    return text;
  }

  ECalClient* client_;
  std::map<std::string, std::string> definitions_;
};

/// `groups` as VCALENDAR texts of about kBatchBytes each, zones first;
/// every object is let go once written.
std::vector<std::string> batchTexts(std::vector<std::vector<Component>>& groups, SourceZones& zones) {
  std::vector<std::string> texts;
  std::string events;
  std::set<std::string> zoneNames;
  auto finishText = [&] {
    if (events.empty()) return;
    std::string& text = texts.emplace_back("BEGIN:VCALENDAR\r\nVERSION:2.0\r\n");
    for (const std::string& name : zoneNames) text += zones.definitionOf(name);
    text += events;
    text += "END:VCALENDAR\r\n";
    events.clear();
    zoneNames.clear();
  };
  for (std::vector<Component>& group : groups) {
    for (Component& component : group) {
      addZoneNames(nativeOf(component.get()), zoneNames);
      appendComponent(events, nativeOf(component.get()));
      component.reset();
    }
    if (events.size() >= kBatchBytes) finishText();
  }
  finishText();
  return texts;
}

}  // namespace

std::optional<std::string> windowQuery(const EventWindow& window) {
  if (!window.isOrdered()) return std::nullopt;
  // Every object of a recurring series comes back whatever its dates: an
  // override moved into or out of the window then replaces its instance
  // exactly as in a file, and the server never expands a series to test it
  // against the window, which for a calendar of many series costs it many
  // times the whole read. The reader
  // expands series and leaves out what the window does not match.
  return "(or (has-recurrences?) (occur-in-time-range? (make-time \"" +
         serverTime(window.fromUnix - kWideningSeconds) + "\") (make-time \"" +
         serverTime(window.toUnix + kWideningSeconds) + "\")))";
}

bool readCalendarTexts(ESourceRegistry* registry, ESource* source, const std::string& query, gint64 settleDeadline,
                       const std::function<void(const std::string& text)>& read) {
  GErrorOwner error;
  GObjectPtr<EClient> connected(
      e_cal_client_connect_sync(source, E_CAL_CLIENT_SOURCE_TYPE_EVENTS, kConnectWithoutWaiting, nullptr, error.out()));
  if (!connected) return false;
  ECalClient* client = E_CAL_CLIENT(connected.get());
  if (!calendarSettled(registry, source, client, settleDeadline)) return false;
  GObjectList found;
  if (!e_cal_client_get_object_list_sync(client, query.c_str(), found.out(), nullptr, error.out())) return false;
  SourceZones zones(client);
  std::vector<std::string> texts;
  {
    std::vector<std::vector<Component>> groups = seriesGroups(found);
    texts = batchTexts(groups, zones);
  }
  // The objects were parsed into many small blocks, several times the size
  // of their text, which the allocator keeps for reuse; the dump's output
  // grows as one large block elsewhere. Give those pages back, so that the
  // objects and the output do not add up in memory.
  malloc_trim(0);
  for (std::string& text : texts) {
    read(text);
    std::string().swap(text);
  }
  return true;
}
