// How the date and date-time values of an iCalendar file become instants.
// A value in UTC is exact; a value with a TZID is read in the zone the
// calendar defines under that name, else the system zone of that name, else
// the zone a Windows zone name stands for; anything else (floating values,
// all-day dates, unknown zone names) is read in the process's local time zone,
// TZ. A zone definition whose observances repeat other than yearly (which no
// real zone does, and which makes libical expand changes without end) counts
// as no definition; so does a name longer than any real zone's.
// A resolver belongs to one file and is used by one thread.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>

#include <libical/ical.h>

#include "sources/ical/ical_file_index.h"

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

  /// The zone of the VTIMEZONE text `definition`, shared with every other
  /// definition of the same text; owned by the cache. Null when the text
  /// defines no usable zone.
  icaltimezone* zoneDefinedBy(const std::string& definition);
  /// systemZoneNamed(name), remembered.
  icaltimezone* systemZone(const std::string& name);

 private:
  std::unordered_map<std::string, icaltimezone*> defined_;
  std::unordered_map<std::string, icaltimezone*> system_;
};

/// Finds the zone of each time property of one file, remembering the answer
/// per calendar and zone name. The file's zone definitions are parsed when a
/// zone name is first looked up.
class ICalZoneResolver {
 public:
  /// `text` and `index` (the file and its index) outlive the resolver.
  ICalZoneResolver(ICalZoneCache& cache, std::string_view text, const ICalFileIndex& index)
      : cache_(cache), text_(text), index_(index) {}

  /// The zone in which `value`, the value of `property` of a component in
  /// calendar `scope` (see ICalFileIndex), is read. `property` may be null
  /// (the value then has no TZID).
  ICalZone zoneOf(const icaltimetype& value, icalproperty* property, uint32_t scope);

 private:
  ICalZone resolveNamed(const std::string& tzid, uint32_t scope);
  icaltimezone* calendarDefinedZone(const std::string& tzid, uint32_t scope);
  void findDefinitions();

  ICalZoneCache& cache_;
  std::string_view text_;
  const ICalFileIndex& index_;
  bool definitionsFound_ = false;
  std::map<std::pair<uint32_t, std::string>, ICalTextRange> definitions_;
  std::map<std::pair<uint32_t, std::string>, ICalZone> known_;
};

/// Unix seconds of `time`: its wall-clock fields read in its zone. An all-day
/// date is its midnight. Exact for every year a value may hold.
double unixSecondsOf(const ICalTime& time);

/// The earliest wall-clock time (in wallSecondsOf's terms) that an instant
/// at or after Unix `instant` (within years 1 to 9999) reads as in `zone`:
/// a series whose instances before it cannot matter may start its walk there.
int64_t earliestWallFrom(int64_t instant, const ICalZone& zone);

/// The wall-clock fields of `wall` as seconds since 1970-01-01 00:00:00, as
/// if they were UTC; an all-day date counts from its midnight.
int64_t wallSecondsOf(const icaltimetype& wall);

/// `frame` (its zone and date-ness kept) moved to the wall-clock time
/// `seconds` in wallSecondsOf's terms.
icaltimetype withWallSeconds(icaltimetype frame, int64_t seconds);

/// The system or Windows-named zone called `name`, or null. Names that could
/// reach outside the zone database (absolute, with "..") are refused.
icaltimezone* systemZoneNamed(const std::string& name);
