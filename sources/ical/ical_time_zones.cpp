// Zone resolution for iCalendar values; see ical_time_zones.h. libical holds
// the system zones it has loaded for the life of the process.
#include "sources/ical/ical_time_zones.h"

#include <unicode/ucal.h>
#include <unicode/ustring.h>

#include <cstdlib>
#include <ctime>
#include <algorithm>
#include <memory>
#include <vector>

#include "sources/ical/civil_time.h"

namespace {

// No zone database name comes near this length; longer TZIDs are unknown
// zones, and are never split and looked up piece by piece.
constexpr size_t kLongestZoneName = 256;

struct ComponentFree {
  void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using ComponentPtr = std::unique_ptr<icalcomponent, ComponentFree>;

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

bool isObservance(icalcomponent* part) {
  icalcomponent_kind kind = icalcomponent_isa(part);
  return kind == ICAL_XSTANDARD_COMPONENT || kind == ICAL_XDAYLIGHT_COMPONENT;
}

// A VTIMEZONE without a STANDARD or DAYLIGHT part (some servers write empty
// ones) says nothing about offsets, and one whose changes repeat other than
// yearly is no real zone: the name is looked up elsewhere then.
bool isUsableDefinition(icalcomponent* definition) {
  if (icalcomponent_isa(definition) != ICAL_VTIMEZONE_COMPONENT) return false;
  bool observed = false;
  for (icalcomponent* part = icalcomponent_get_first_component(definition, ICAL_ANY_COMPONENT); part;
       part = icalcomponent_get_next_component(definition, ICAL_ANY_COMPONENT)) {
    if (!isObservance(part)) continue;
    observed = true;
    for (icalproperty* rrule = icalcomponent_get_first_property(part, ICAL_RRULE_PROPERTY); rrule;
         rrule = icalcomponent_get_next_property(part, ICAL_RRULE_PROPERTY))
      if (icalproperty_get_rrule(rrule).freq != ICAL_YEARLY_RECURRENCE) return false;
  }
  return observed;
}

std::string tzidOf(icalcomponent* definition) {
  icalproperty* tzid = icalcomponent_get_first_property(definition, ICAL_TZID_PROPERTY);
  const char* text = tzid ? icalproperty_get_tzid(tzid) : nullptr;
  return text ? text : "";
}

CivilTime civilOf(const icaltimetype& wall) {
  CivilTime civil{wall.year, wall.month, wall.day, 0, 0, 0};
  if (!wall.is_date) {
    civil.hour = wall.hour;
    civil.minute = wall.minute;
    civil.second = wall.second;
  }
  return civil;
}

int64_t namedOffsetAt(icaltimezone* zone, int64_t unixSeconds) {
  icaltimetype frame = icaltime_null_time();
  frame.is_date = 0;
  icaltimetype utc = withWallSeconds(frame, unixSeconds);
  int isDaylight = 0;
  return icaltimezone_get_utc_offset_of_utc_time(zone, &utc, &isDaylight);
}

// The offset of TZ at an instant; 0 (UTC) beyond the years the C library
// holds.
int64_t localOffsetAt(int64_t unixSeconds) {
  const std::time_t time = static_cast<std::time_t>(unixSeconds);
  std::tm fields{};
  return localtime_r(&time, &fields) ? fields.tm_gmtoff : 0;
}

// The offset of `zone` from UTC at an instant.
int64_t offsetAt(const ICalZone& zone, int64_t unixSeconds) {
  switch (zone.kind) {
    case ICalZone::Kind::utc:
      return 0;
    case ICalZone::Kind::named:
      return namedOffsetAt(zone.zone, unixSeconds);
    case ICalZone::Kind::local:
      break;
  }
  return localOffsetAt(unixSeconds);
}

// The instant of the wall-clock time `wall` (in wallSecondsOf's terms) in
// `zone`. RFC 5545 3.3.5: a time that a change skips (a gap) is read with the
// offset before the change, so it lands the gap's length later; a time that a
// change repeats (an overlap) is its first occurrence. Real zones change at
// most once in two days.
int64_t instantOfWall(int64_t wall, const ICalZone& zone) {
  const int64_t before = offsetAt(zone, wall - 86400), after = offsetAt(zone, wall + 86400);
  if (before == after) return wall - before;
  const bool beforeHolds = offsetAt(zone, wall - before) == before;
  const bool afterHolds = offsetAt(zone, wall - after) == after;
  if (afterHolds && !beforeHolds) return wall - after;
  if (afterHolds) return std::min(wall - before, wall - after);
  return wall - before;
}

}  // namespace

icaltimezone* systemZoneNamed(const std::string& name) {
  if (icaltimezone* zone = zoneDatabaseEntryOrTail(name)) return zone;
  return windowsZoneNamed(name);
}

ICalZoneCache::~ICalZoneCache() {
  for (auto& [text, zone] : defined_)
    if (zone) icaltimezone_free(zone, 1);
}

icaltimezone* ICalZoneCache::zoneDefinedBy(const std::string& definition) {
  auto [entry, added] = defined_.emplace(definition, nullptr);
  if (!added) return entry->second;
  ComponentPtr parsed(icalparser_parse_string(definition.c_str()));
  if (!parsed || !isUsableDefinition(parsed.get())) return nullptr;
  icaltimezone* zone = icaltimezone_new();
  if (!zone) return nullptr;
  if (!icaltimezone_set_component(zone, parsed.get())) {
    icaltimezone_free(zone, 1);
    return nullptr;
  }
  parsed.release();  // the zone owns it now
  entry->second = zone;
  return zone;
}

icaltimezone* ICalZoneCache::systemZone(const std::string& name) {
  auto [entry, added] = system_.emplace(name, nullptr);
  if (added) entry->second = systemZoneNamed(name);
  return entry->second;
}

void ICalZoneResolver::findDefinitions() {
  definitionsFound_ = true;
  for (const ICalZoneEntry& entry : index_.zones) {
    ComponentPtr parsed(icalparser_parse_string(componentText(text_, entry.range).c_str()));
    if (!parsed) continue;
    std::string tzid = tzidOf(parsed.get());
    if (!tzid.empty()) definitions_.emplace(std::make_pair(entry.scope, std::move(tzid)), entry.range);
  }
}

icaltimezone* ICalZoneResolver::calendarDefinedZone(const std::string& tzid, uint32_t scope) {
  if (!definitionsFound_) findDefinitions();
  // A calendar's definitions serve it and the calendars inside it.
  for (uint32_t s = scope;; s = index_.scopeParents[s]) {
    auto found = definitions_.find({s, tzid});
    if (found != definitions_.end())
      if (icaltimezone* zone = cache_.zoneDefinedBy(componentText(text_, found->second))) return zone;
    if (s == 0) return nullptr;
  }
}

ICalZone ICalZoneResolver::zoneOf(const icaltimetype& value, icalproperty* property, uint32_t scope) {
  if (value.is_date) return {ICalZone::Kind::local, nullptr};
  if (icaltime_is_utc(value)) return {ICalZone::Kind::utc, nullptr};
  icalparameter* tzidParameter =
      property ? icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER) : nullptr;
  const char* tzid = tzidParameter ? icalparameter_get_tzid(tzidParameter) : nullptr;
  if (!tzid || !*tzid) return {ICalZone::Kind::local, nullptr};
  std::string_view name = tzid;
  if (name.size() > kLongestZoneName) return {ICalZone::Kind::local, nullptr};
  return resolveNamed(std::string(name), scope);
}

ICalZone ICalZoneResolver::resolveNamed(const std::string& tzid, uint32_t scope) {
  auto key = std::make_pair(scope, tzid);
  if (auto found = known_.find(key); found != known_.end()) return found->second;
  ICalZone result;
  icaltimezone* zone = calendarDefinedZone(tzid, scope);
  if (!zone) zone = cache_.systemZone(tzid);
  if (zone == icaltimezone_get_utc_timezone())
    result = {ICalZone::Kind::utc, nullptr};
  else if (zone)
    result = {ICalZone::Kind::named, zone};
  known_.emplace(std::move(key), result);
  return result;
}

int64_t earliestWallFrom(int64_t instant, const ICalZone& zone) {
  // The offset at `instant` is the one before or after the one change that
  // two days may hold; later changes are too far off to take a wall clock
  // back past it.
  return instant + std::min(offsetAt(zone, instant - 86400), offsetAt(zone, instant + 86400));
}

int64_t wallSecondsOf(const icaltimetype& wall) { return civilSeconds(civilOf(wall)); }

icaltimetype withWallSeconds(icaltimetype frame, int64_t seconds) {
  const CivilTime civil = civilFromSeconds(seconds);
  frame.year = static_cast<int>(civil.year);
  frame.month = civil.month;
  frame.day = civil.day;
  if (!frame.is_date) {
    frame.hour = civil.hour;
    frame.minute = civil.minute;
    frame.second = civil.second;
  }
  return frame;
}

double unixSecondsOf(const ICalTime& time) {
  const int64_t wallSeconds = wallSecondsOf(time.wall);
  if (time.zone.kind == ICalZone::Kind::utc) return static_cast<double>(wallSeconds);
  return static_cast<double>(instantOfWall(wallSeconds, time.zone));
}
