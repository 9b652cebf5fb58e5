// How the date and date-time values of an iCalendar file become instants.
// A value in UTC is exact; a value with a TZID is read in the zone the
// calendar defines under that name, else the system zone of that name, else
// the zone a Windows zone name stands for; anything else (floating values,
// all-day dates, unknown zone names) is read in the process's local time zone,
// TZ. A resolver belongs to one parsed file and is used by one thread.
#pragma once

#include <map>
#include <string>
#include <unordered_map>
#include <utility>

#include <libical/ical.h>

/// How the wall-clock fields of one value map to an instant.
struct ICalZone {
  enum class Kind { utc, named, local };
  Kind kind = Kind::local;
  icaltimezone* zone = nullptr;  ///< set for Kind::named; owned by libical
};

/// A date or date-time as written, with the zone it is read in.
struct ICalTime {
  icaltimetype wall{};
  ICalZone zone;

  bool isDate() const { return wall.is_date != 0; }
  /// The calendar date as year * 10000 + month * 100 + day.
  int dateNumber() const { return wall.year * 10000 + wall.month * 100 + wall.day; }
};

/// Zones shared by the files of one read. Calendar files written by one
/// program carry the same VTIMEZONE word for word; each distinct definition
/// is worked out once (libical expands a zone's changes on first use, which
/// costs far more than reading an event), and each system zone name is
/// looked up once.
class ICalZoneCache {
 public:
  ICalZoneCache() = default;
  ~ICalZoneCache();
  ICalZoneCache(const ICalZoneCache&) = delete;
  ICalZoneCache& operator=(const ICalZoneCache&) = delete;

  /// The zone of the VTIMEZONE `definition`, shared with every other
  /// definition of the same text; owned by the cache.
  icaltimezone* zoneDefinedBy(icalcomponent* definition);
  /// systemZoneNamed(name), remembered.
  icaltimezone* systemZone(const std::string& name);

 private:
  std::unordered_map<std::string, icaltimezone*> defined_;
  std::unordered_map<std::string, icaltimezone*> system_;
};

/// Finds the zone of each time property of one parsed file, remembering the
/// answer per calendar and zone name.
class ICalZoneResolver {
 public:
  explicit ICalZoneResolver(ICalZoneCache& cache) : cache_(cache) {}

  /// The zone in which `value`, the value of `property` of `component`, is
  /// read. `property` may be null (the value then has no TZID).
  ICalZone zoneOf(const icaltimetype& value, icalproperty* property, icalcomponent* component);

 private:
  ICalZone resolveNamed(const std::string& tzid, icalcomponent* component);
  icaltimezone* calendarDefinedZone(const std::string& tzid, icalcomponent* component);

  ICalZoneCache& cache_;
  std::map<std::pair<icalcomponent*, std::string>, ICalZone> known_;
};

/// Unix seconds of `time`: its wall-clock fields read in its zone. An all-day
/// date is its midnight.
double unixSecondsOf(const ICalTime& time);

/// The system or Windows-named zone called `name`, or null. Names that could
/// reach outside the zone database (absolute, with "..") are refused.
icaltimezone* systemZoneNamed(const std::string& name);
