// Zone resolution for iCalendar values; see ical_time_zones.h. libical holds
// the system zones it has loaded for the life of the process.
#include "sources/ical/ical_time_zones.h"

#include <unicode/ucal.h>
#include <unicode/ustring.h>

#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

// A zone database name is letters, digits and "/_+-"; anything else is not a
// name libical should be asked to open as a file.
bool looksLikeZoneName(const std::string& name) {
  if (name.empty() || name.front() == '/' || name.find("..") != std::string::npos) return false;
  for (char c : name) {
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                 c == '/' || c == '_' || c == '+' || c == '-';
    if (!plain) return false;
  }
  return true;
}

icaltimezone* zoneDatabaseEntry(const std::string& name) {
  if (!looksLikeZoneName(name)) return nullptr;
  return icaltimezone_get_builtin_timezone(name.c_str());
}

// Calendar servers write zone names with a vendor prefix, such as
// "/softwarestudio.org/Olson_20011030_5/Pacific/Auckland" or "/America/New_York":
// the zone is the longest tail after a "/" that the database knows.
icaltimezone* zoneDatabaseEntryOrTail(const std::string& name) {
  if (icaltimezone* zone = zoneDatabaseEntry(name)) return zone;
  for (size_t slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1))
    if (icaltimezone* zone = zoneDatabaseEntry(name.substr(slash + 1))) return zone;
  return nullptr;
}

// Exchange and Outlook write Windows zone names ("Pacific Standard Time");
// ICU, already loaded under libical, knows their zone database names.
icaltimezone* windowsZoneNamed(const std::string& name) {
  if (name.empty() || name.size() > 200) return nullptr;
  std::vector<UChar> windowsId(name.size() * 2 + 1);
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8(windowsId.data(), static_cast<int32_t>(windowsId.size()), &length, name.data(),
                static_cast<int32_t>(name.size()), &status);
  if (U_FAILURE(status)) return nullptr;
  UChar ianaId[128];
  int32_t ianaLength = ucal_getTimeZoneIDForWindowsID(windowsId.data(), length, nullptr, ianaId,
                                                      128, &status);
  if (U_FAILURE(status) || ianaLength <= 0 || ianaLength >= 128) return nullptr;
  char iana[512];
  int32_t ianaBytes = 0;
  u_strToUTF8(iana, sizeof iana, &ianaBytes, ianaId, ianaLength, &status);
  if (U_FAILURE(status) || ianaBytes <= 0 || ianaBytes >= static_cast<int32_t>(sizeof iana))
    return nullptr;
  return zoneDatabaseEntry(std::string(iana, static_cast<size_t>(ianaBytes)));
}

// A VTIMEZONE without a STANDARD or DAYLIGHT part (some servers write empty
// ones) says nothing about offsets; the name is looked up elsewhere then.
bool hasObservances(icaltimezone* zone) {
  icalcomponent* definition = icaltimezone_get_component(zone);
  if (!definition) return false;
  return icalcomponent_get_first_component(definition, ICAL_XSTANDARD_COMPONENT) ||
         icalcomponent_get_first_component(definition, ICAL_XDAYLIGHT_COMPONENT);
}

double localUnixSeconds(const icaltimetype& wall) {
  std::tm fields{};
  fields.tm_year = wall.year - 1900;
  fields.tm_mon = wall.month - 1;
  fields.tm_mday = wall.day;
  if (!wall.is_date) {
    fields.tm_hour = wall.hour;
    fields.tm_min = wall.minute;
    fields.tm_sec = wall.second;
  }
  fields.tm_isdst = -1;  // let the zone rules decide, also in a DST gap
  return static_cast<double>(std::mktime(&fields));
}

}  // namespace

icaltimezone* systemZoneNamed(const std::string& name) {
  if (icaltimezone* zone = zoneDatabaseEntryOrTail(name)) return zone;
  return windowsZoneNamed(name);
}

ICalZoneCache::~ICalZoneCache() {
  for (auto& [text, zone] : defined_) icaltimezone_free(zone, 1);
}

icaltimezone* ICalZoneCache::zoneDefinedBy(icalcomponent* definition) {
  char* text = icalcomponent_as_ical_string_r(definition);
  if (!text) return nullptr;
  std::string key(text);
  free(text);
  auto [entry, added] = defined_.emplace(std::move(key), nullptr);
  if (added) {
    entry->second = icaltimezone_new();
    icaltimezone_set_component(entry->second, icalcomponent_new_clone(definition));
  }
  return entry->second;
}

icaltimezone* ICalZoneCache::systemZone(const std::string& name) {
  auto [entry, added] = system_.emplace(name, nullptr);
  if (added) entry->second = systemZoneNamed(name);
  return entry->second;
}

icaltimezone* ICalZoneResolver::calendarDefinedZone(const std::string& tzid, icalcomponent* component) {
  for (icalcomponent* c = component; c; c = icalcomponent_get_parent(c)) {
    icaltimezone* zone = icalcomponent_get_timezone(c, tzid.c_str());
    if (zone && hasObservances(zone)) return cache_.zoneDefinedBy(icaltimezone_get_component(zone));
  }
  return nullptr;
}

ICalZone ICalZoneResolver::zoneOf(const icaltimetype& value, icalproperty* property,
                                  icalcomponent* component) {
  if (value.is_date) return {ICalZone::Kind::local, nullptr};
  if (icaltime_is_utc(value)) return {ICalZone::Kind::utc, nullptr};
  icalparameter* tzidParameter =
      property ? icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER) : nullptr;
  const char* tzid = tzidParameter ? icalparameter_get_tzid(tzidParameter) : nullptr;
  if (!tzid || !*tzid) return {ICalZone::Kind::local, nullptr};
  return resolveNamed(tzid, component);
}

ICalZone ICalZoneResolver::resolveNamed(const std::string& tzid, icalcomponent* component) {
  // Zone definitions belong to the calendar that holds the event, and one
  // file may hold several calendars.
  auto key = std::make_pair(icalcomponent_get_parent(component), tzid);
  if (auto found = known_.find(key); found != known_.end()) return found->second;
  ICalZone result;
  icaltimezone* zone = calendarDefinedZone(tzid, component);
  if (!zone) zone = cache_.systemZone(tzid);
  if (zone == icaltimezone_get_utc_timezone())
    result = {ICalZone::Kind::utc, nullptr};
  else if (zone)
    result = {ICalZone::Kind::named, zone};
  known_.emplace(std::move(key), result);
  return result;
}

double unixSecondsOf(const ICalTime& time) {
  switch (time.zone.kind) {
    case ICalZone::Kind::utc: {
      icaltimetype wall = time.wall;
      wall.is_date = 0;
      return static_cast<double>(icaltime_as_timet(wall));
    }
    case ICalZone::Kind::named:
      return static_cast<double>(icaltime_as_timet_with_zone(time.wall, time.zone.zone));
    case ICalZone::Kind::local:
      break;
  }
  return localUnixSeconds(time.wall);
}
