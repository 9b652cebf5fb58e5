// Reading iCalendar events; see ical_reader.h.
#include "sources/ical/ical_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <libical/ical.h>

#include "base/utf8_text.h"
#include "sources/ical/ical_file_index.h"
#include "sources/ical/ical_input_text.h"
#include "sources/ical/ical_series.h"
#include "sources/ical/ical_time_zones.h"

namespace {

struct ComponentFree {
  void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using ComponentPtr = std::unique_ptr<icalcomponent, ComponentFree>;

// A series contributes at most this many occurrences to one read: every
// hourly series stays whole over the dump's default eleven years, and one
// that repeats every second cannot fill the memory.
constexpr size_t kMostOccurrencesPerSeries = 100'000;

// The zones of one event's values: those of the calendar that holds it.
struct EventZones {
  ICalZoneResolver& resolver;
  uint32_t scope = 0;

  ICalZone zoneOf(const icaltimetype& value, icalproperty* property) const {
    return resolver.zoneOf(value, property, scope);
  }
};

// A valid date or date-time value of `property`, or nothing.
std::optional<icaltimetype> timeValue(icalproperty* property) {
  if (!property) return std::nullopt;
  icalvalue* value = icalproperty_get_value(property);
  if (!value) return std::nullopt;
  icalvalue_kind kind = icalvalue_isa(value);
  if (kind != ICAL_DATE_VALUE && kind != ICAL_DATETIME_VALUE) return std::nullopt;
  icaltimetype time = icalvalue_get_datetime(value);
  if (icaltime_is_null_time(time) || !icaltime_is_valid_time(time)) return std::nullopt;
  return time;
}

std::optional<ICalTime> readTime(icalproperty* property, const EventZones& zones) {
  std::optional<icaltimetype> wall = timeValue(property);
  if (!wall) return std::nullopt;
  return ICalTime{*wall, zones.zoneOf(*wall, property)};
}

std::optional<ICalTime> readTime(icalcomponent* event, icalproperty_kind kind, const EventZones& zones) {
  return readTime(icalcomponent_get_first_property(event, kind), zones);
}

// A property text as a URL text: without the blanks and quotes some servers
// put around it, repaired to valid UTF-8.
std::string urlText(const char* value) {
  std::string_view text = value ? value : "";
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '"'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '"'))
    text.remove_suffix(1);
  return toValidUtf8(text);
}

std::string uidOf(icalcomponent* event) {
  icalproperty* uid = icalcomponent_get_first_property(event, ICAL_UID_PROPERTY);
  const char* text = uid ? icalproperty_get_uid(uid) : nullptr;
  return text ? text : "";
}

int statusOf(icalcomponent* event) {
  icalproperty* status = icalcomponent_get_first_property(event, ICAL_STATUS_PROPERTY);
  if (!status) return 0;
  switch (icalproperty_get_status(status)) {
    case ICAL_STATUS_CONFIRMED: return 1;
    case ICAL_STATUS_TENTATIVE: return 2;
    case ICAL_STATUS_CANCELLED: return CalendarEvent::kStatusCanceled;
    default: return 0;
  }
}

// The parts of an event the store hands on besides its times.
CalendarEvent describe(icalcomponent* event, const std::string& uid) {
  CalendarEvent described;
  if (!uid.empty()) described.identifier = toValidUtf8(uid);
  described.status = statusOf(event);
  for (icalproperty* attendee = icalcomponent_get_first_property(event, ICAL_ATTENDEE_PROPERTY);
       attendee; attendee = icalcomponent_get_next_property(event, ICAL_ATTENDEE_PROPERTY))
    described.attendeeURLs.push_back(urlText(icalproperty_get_attendee(attendee)));
  if (icalproperty* organizer = icalcomponent_get_first_property(event, ICAL_ORGANIZER_PROPERTY))
    described.organizerURL = urlText(icalproperty_get_organizer(organizer));
  return described;
}

icaldurationtype durationValue(icalproperty* property) {
  icalvalue* value = icalproperty_get_value(property);
  if (!value || icalvalue_isa(value) != ICAL_DURATION_VALUE) return icaldurationtype_null_duration();
  return icalvalue_get_duration(value);
}

// DTEND, else DURATION, else a day for an all-day event, else nothing.
int clampedDays(int64_t days) {
  return static_cast<int>(std::clamp<int64_t>(days, -OccurrenceLength::kMostNominalDays,
                                              OccurrenceLength::kMostNominalDays));
}

OccurrenceLength lengthOf(icalcomponent* event, const ICalTime& start, const EventZones& zones) {
  OccurrenceLength length;
  if (std::optional<ICalTime> end = readTime(event, ICAL_DTEND_PROPERTY, zones)) {
    if (start.isDate() && end->isDate()) {
      // Whole days, so that every occurrence spans the same dates.
      length.nominalDays = clampedDays((wallSecondsOf(end->wall) - wallSecondsOf(start.wall)) / 86400);
    } else {
      length.exactSeconds = unixSecondsOf(*end) - unixSecondsOf(start);
    }
  } else if (icalproperty* duration = icalcomponent_get_first_property(event, ICAL_DURATION_PROPERTY)) {
    icaldurationtype value = durationValue(duration);
    const int64_t sign = value.is_neg ? -1 : 1;
    length.nominalDays = clampedDays(sign * (int64_t{value.weeks} * 7 + value.days));
    length.exactSeconds = static_cast<double>(sign) * (value.hours * 3600.0 + value.minutes * 60.0 + value.seconds);
  } else if (start.isDate()) {
    length.nominalDays = 1;
  }
  return length;
}

void addExtraStarts(icalcomponent* event, SeriesDefinition& series, const EventZones& zones) {
  for (icalproperty* rdate = icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY); rdate;
       rdate = icalcomponent_get_next_property(event, ICAL_RDATE_PROPERTY)) {
    icalvalue* value = icalproperty_get_value(rdate);
    if (!value) continue;
    icaldatetimeperiodtype when = icalproperty_get_rdate(rdate);
    if (!icaltime_is_null_time(when.time) && icaltime_is_valid_time(when.time)) {
      series.extraStarts.push_back({{when.time, zones.zoneOf(when.time, rdate)}, std::nullopt});
      continue;
    }
    const icalperiodtype& period = when.period;
    if (icaltime_is_null_time(period.start) || !icaltime_is_valid_time(period.start)) continue;
    ICalTime start{period.start, zones.zoneOf(period.start, rdate)};
    std::optional<double> endUnix;
    if (!icaltime_is_null_time(period.end) && icaltime_is_valid_time(period.end))
      endUnix = unixSecondsOf({period.end, zones.zoneOf(period.end, rdate)});
    else
      endUnix = unixSecondsOf(start) + durationSeconds(period.duration);
    series.extraStarts.push_back({start, endUnix});
  }
}

void addRules(icalcomponent* event, SeriesDefinition& series) {
  for (icalproperty* rrule = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY); rrule;
       rrule = icalcomponent_get_next_property(event, ICAL_RRULE_PROPERTY)) {
    icalvalue* value = icalproperty_get_value(rrule);
    if (!value || icalvalue_isa(value) != ICAL_RECUR_VALUE) continue;
    icalrecurrencetype rule = icalproperty_get_rrule(rrule);
    if (rule.freq == ICAL_NO_RECURRENCE) continue;
    series.rules.push_back(rule);
  }
}

void addExcludedDates(icalcomponent* event, SeriesDefinition& series, const EventZones& zones) {
  for (icalproperty* exdate = icalcomponent_get_first_property(event, ICAL_EXDATE_PROPERTY); exdate;
       exdate = icalcomponent_get_next_property(event, ICAL_EXDATE_PROPERTY))
    if (std::optional<ICalTime> excluded = readTime(exdate, zones))
      series.excludedStarts.push_back(*excluded);
}

// RECURRENCE-ID;RANGE=THISANDFUTURE: the override also speaks for every
// later instance.
bool appliesToFuture(icalcomponent* single) {
  icalproperty* id = icalcomponent_get_first_property(single, ICAL_RECURRENCEID_PROPERTY);
  icalparameter* range = id ? icalproperty_get_first_parameter(id, ICAL_RANGE_PARAMETER) : nullptr;
  return range && icalparameter_get_range(range) == ICAL_RANGE_THISANDFUTURE;
}

// One occurrence of an override: its own times, status and people.
struct Replacement {
  double startUnix = 0;
  double endUnix = 0;
  CalendarEvent event;
};

// A parsed VEVENT with its place in the file.
struct FileEvent {
  ComponentPtr component;
  uint32_t scope = 0;
  std::string uid;
  std::optional<ICalTime> recurrenceId;
  std::vector<const FileEvent*> overrides;
};

// Reads the events of a file one series at a time: a VEVENT is parsed when
// its turn comes, together with the other VEVENTs of its UID (the master of
// a recurring series and its overrides), and freed once read.
class FileReader {
 public:
  FileReader(std::string_view text, const ICalFileIndex& index, const EventWindow& window,
             ICalZoneCache& zones, const std::function<void(const CalendarEvent&)>& visit)
      : text_(text), index_(index), window_(window), visit_(visit), zones_(zones, text, index) {}

  // Each series is read where its first master stands in the file (its first
  // override, when it has no master).
  void read() {
    std::unordered_map<std::string_view, std::vector<size_t>> byUid;
    for (size_t i = 0; i < index_.events.size(); ++i)
      if (!index_.events[i].uid.empty()) byUid[index_.events[i].uid].push_back(i);
    for (size_t i = 0; i < index_.events.size(); ++i) {
      const ICalEventEntry& entry = index_.events[i];
      if (entry.uid.empty()) {
        readGroup({i});
        continue;
      }
      const std::vector<size_t>& members = byUid[entry.uid];
      auto master = std::find_if(members.begin(), members.end(),
                                 [&](size_t m) { return !index_.events[m].isOverride; });
      if (i == (master != members.end() ? *master : members.front())) readGroup(members);
    }
  }

 private:
  std::optional<FileEvent> parse(const ICalEventEntry& entry) {
    ComponentPtr component(icalparser_parse_string(componentText(text_, entry.range).c_str()));
    if (!component || icalcomponent_isa(component.get()) != ICAL_VEVENT_COMPONENT) return std::nullopt;
    FileEvent event;
    event.scope = entry.scope;
    event.uid = uidOf(component.get());
    event.recurrenceId = readTime(component.get(), ICAL_RECURRENCEID_PROPERTY, zonesOf(event));
    event.component = std::move(component);
    return event;
  }

  // The events of one UID, in file order. An override belongs to the first
  // master; one without a master is an event of its own.
  void readGroup(const std::vector<size_t>& members) {
    std::vector<FileEvent> events;
    events.reserve(members.size());
    for (size_t m : members)
      if (std::optional<FileEvent> event = parse(index_.events[m])) events.push_back(std::move(*event));
    auto master = std::find_if(events.begin(), events.end(), [](const FileEvent& e) { return !e.recurrenceId; });
    std::vector<bool> attached(events.size(), false);
    for (size_t i = 0; master != events.end() && !master->uid.empty() && i < events.size(); ++i) {
      if (!events[i].recurrenceId || events[i].uid != master->uid) continue;
      master->overrides.push_back(&events[i]);
      attached[i] = true;
    }
    for (size_t i = 0; i < events.size(); ++i)
      if (!attached[i]) readSeries(events[i]);
  }

  EventZones zonesOf(const FileEvent& event) { return {zones_, event.scope}; }

  void readSeries(const FileEvent& fileEvent) {
    icalcomponent* component = fileEvent.component.get();
    const EventZones zones = zonesOf(fileEvent);
    std::optional<ICalTime> start = readTime(component, ICAL_DTSTART_PROPERTY, zones);
    if (!start) {
      // Without its master's start the overrides still stand on their own.
      for (const FileEvent* single : fileEvent.overrides) readSeries(*single);
      return;
    }
    SeriesDefinition series;
    series.start = *start;
    series.length = lengthOf(component, *start, zones);
    addRules(component, series);
    addExtraStarts(component, series, zones);
    addExcludedDates(component, series, zones);
    std::vector<CalendarEvent> changedEvents;
    std::vector<Replacement> replacements = replacementsFor(fileEvent, series, changedEvents);

    CalendarEvent event = describe(component, fileEvent.uid);
    size_t nextReplacement = 0;
    size_t visited = 0;
    auto visitReplacementsUntil = [&](double startUnix) {
      for (; nextReplacement < replacements.size() && visited < kMostOccurrencesPerSeries &&
             replacements[nextReplacement].startUnix <= startUnix;
           ++nextReplacement, ++visited)
        visit_(replacements[nextReplacement].event);
    };
    expandSeries(series, window_, [&](double startUnix, double endUnix, int change) {
      visitReplacementsUntil(startUnix);
      if (visited >= kMostOccurrencesPerSeries) return false;
      CalendarEvent& occurrence = change < 0 ? event : changedEvents[static_cast<size_t>(change)];
      occurrence.startUnix = startUnix;
      occurrence.endUnix = endUnix;
      visit_(occurrence);
      return ++visited < kMostOccurrencesPerSeries;
    });
    visitReplacementsUntil(HUGE_VAL);
  }

  // The overrides of `master` as occurrences in the window, by moved start;
  // each one's RECURRENCE-ID leaves the instance it replaces out of `series`.
  // An override of this and the future instances becomes a range change of
  // `series` instead, described by its entry in `changedEvents`.
  std::vector<Replacement> replacementsFor(const FileEvent& master, SeriesDefinition& series,
                                           std::vector<CalendarEvent>& changedEvents) {
    std::vector<Replacement> replacements;
    std::vector<std::pair<RangeChange, CalendarEvent>> changes;
    for (const FileEvent* single : master.overrides) {
      icalcomponent* component = single->component.get();
      const EventZones zones = zonesOf(*single);
      std::optional<ICalTime> start = readTime(component, ICAL_DTSTART_PROPERTY, zones);
      if (!start) continue;
      double startUnix = unixSecondsOf(*start);
      double endUnix = occurrenceEnd(*start, startUnix, lengthOf(component, *start, zones));
      if (appliesToFuture(component)) {
        double fromUnix = unixSecondsOf(*single->recurrenceId);
        changes.emplace_back(RangeChange{fromUnix, startUnix - fromUnix, endUnix - startUnix},
                             describe(component, master.uid));
        continue;
      }
      series.excludedStarts.push_back(*single->recurrenceId);
      if (!window_.matches(startUnix, endUnix)) continue;
      Replacement replacement{startUnix, endUnix, describe(component, master.uid)};
      replacement.event.startUnix = startUnix;
      replacement.event.endUnix = endUnix;
      replacements.push_back(std::move(replacement));
    }
    std::stable_sort(replacements.begin(), replacements.end(),
                     [](const Replacement& a, const Replacement& b) { return a.startUnix < b.startUnix; });
    std::stable_sort(changes.begin(), changes.end(), [](const auto& a, const auto& b) {
      return a.first.fromStartUnix < b.first.fromStartUnix;
    });
    for (auto& [change, described] : changes) {
      series.rangeChanges.push_back(change);
      changedEvents.push_back(std::move(described));
    }
    return replacements;
  }

  std::string_view text_;
  const ICalFileIndex& index_;
  const EventWindow& window_;
  const std::function<void(const CalendarEvent&)>& visit_;
  ICalZoneResolver zones_;
};

}  // namespace

void readICalendarEvents(std::string_view fileBytes, const EventWindow& window, ICalZoneCache& zones,
                         const std::function<void(const CalendarEvent&)>& visit) {
  if (!window.isOrdered()) return;
  std::string converted;
  const std::string_view text = iCalendarText(fileBytes, converted);
  const ICalFileIndex index = indexICalendarText(text);
  FileReader(text, index, window, zones, visit).read();
}

void readICalendarEvents(std::string_view fileBytes, const EventWindow& window,
                         const std::function<void(const CalendarEvent&)>& visit) {
  ICalZoneCache zones;
  readICalendarEvents(fileBytes, window, zones, visit);
}
