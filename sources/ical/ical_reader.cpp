// Reading iCalendar events; see ical_reader.h.
#include "sources/ical/ical_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include <libical/ical.h>
#include <strings.h>

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

// INTERVALs beyond this reach past every year a calendar holds.
constexpr int64_t kWidestInterval = 1'000'000'000'000;

// The zones of one event's values: those of the calendar that holds it.
// Floating date-times of a series whose start has a zone (an EXDATE written
// without one, say) are read in the start's zone, so that a file gives the
// same occurrences on every machine.
struct EventZones {
  ICalZoneResolver& resolver;
  uint32_t scope = 0;
  std::optional<ICalZone> seriesZone;

  ICalZone zoneOf(const icaltimetype& value, icalproperty* property) const {
    const ICalZone zone = resolver.zoneOf(value, property, scope);
    if (seriesZone && zone.kind == ICalZone::Kind::local && !value.is_date) return *seriesZone;
    return zone;
  }
};

// Whether `time` names a day of the calendar and a time of the day (a leap
// second included); libical would carry 30 February into March.
bool isRealTime(const icaltimetype& time) {
  if (icaltime_is_null_time(time) || !icaltime_is_valid_time(time)) return false;
  if (time.month < 1 || time.month > 12 || time.day < 1 || time.day > icaltime_days_in_month(time.month, time.year))
    return false;
  return time.is_date || (time.hour >= 0 && time.hour < 24 && time.minute >= 0 && time.minute < 60 &&
                          time.second >= 0 && time.second <= 60);
}

// A real date or date-time value of `property`, or nothing.
std::optional<icaltimetype> timeValue(icalproperty* property) {
  if (!property) return std::nullopt;
  icalvalue* value = icalproperty_get_value(property);
  if (!value) return std::nullopt;
  icalvalue_kind kind = icalvalue_isa(value);
  if (kind != ICAL_DATE_VALUE && kind != ICAL_DATETIME_VALUE) return std::nullopt;
  icaltimetype time = icalvalue_get_datetime(value);
  if (!isRealTime(time)) return std::nullopt;
  return time;
}

std::optional<ICalTime> readTime(icalproperty* property, const EventZones& zones) {
  std::optional<icaltimetype> wall = timeValue(property);
  if (!wall) return std::nullopt;
  return ICalTime{*wall, zones.zoneOf(*wall, property)};
}

// A rule as written. libical refuses an INTERVAL below 1 or beyond 16 bits,
// and the whole rule with it: it is read here, and libical reads the rest.
std::optional<RecurrenceRule> readRule(std::string_view text) {
  RecurrenceRule rule;
  std::string rest;
  while (!text.empty()) {
    const size_t end = std::min(text.find(';'), text.size());
    const std::string_view part = text.substr(0, end);
    if (part.size() > 9 && strncasecmp(part.data(), "INTERVAL=", 9) == 0)
      rule.interval = std::clamp<int64_t>(std::strtoll(std::string(part.substr(9)).c_str(), nullptr, 10), 1, kWidestInterval);
    else
      rest.append(rest.empty() ? "" : ";").append(part);
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  rule.parts = icalrecurrencetype_from_string(rest.c_str());
  if (rule.parts.freq == ICAL_NO_RECURRENCE) return std::nullopt;
  return rule;
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

// Whole days within what an occurrence's length holds.
int clampedDays(int64_t days) {
  return static_cast<int>(std::clamp<int64_t>(days, -OccurrenceLength::kMostNominalDays,
                                              OccurrenceLength::kMostNominalDays));
}

// DTEND, else DURATION, else a day for an all-day event, else nothing.
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
    if (isRealTime(when.time)) {
      series.extraStarts.push_back({{when.time, zones.zoneOf(when.time, rdate)}, std::nullopt});
      continue;
    }
    const icalperiodtype& period = when.period;
    if (!isRealTime(period.start)) continue;
    ICalTime start{period.start, zones.zoneOf(period.start, rdate)};
    std::optional<double> endUnix;
    if (isRealTime(period.end))
      endUnix = unixSecondsOf({period.end, zones.zoneOf(period.end, rdate)});
    else
      endUnix = unixSecondsOf(start) + durationSeconds(period.duration);
    series.extraStarts.push_back({start, endUnix});
  }
}

void addRules(const std::vector<std::string>& rules, SeriesDefinition& series) {
  for (const std::string& text : rules)
    if (std::optional<RecurrenceRule> rule = readRule(text)) series.rules.push_back(*rule);
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

// A VEVENT of the file: where it stands, what tells its revisions apart,
// and, while it is needed, its parsed component.
struct FileEvent {
  ComponentPtr component;
  uint32_t scope = 0;
  size_t place = 0;
  std::string uid;
  std::vector<std::string> rules;
  std::optional<ICalTime> recurrenceId;
  int sequence = 0;
  int64_t stamp = INT64_MIN;  // when it was written: the later of DTSTAMP and LAST-MODIFIED
  std::vector<const FileEvent*> overrides;
};

int sequenceOf(icalcomponent* event) {
  icalproperty* sequence = icalcomponent_get_first_property(event, ICAL_SEQUENCE_PROPERTY);
  return sequence ? icalproperty_get_sequence(sequence) : 0;
}

int64_t stampOf(icalcomponent* event) {
  int64_t stamp = INT64_MIN;
  for (icalproperty_kind kind : {ICAL_DTSTAMP_PROPERTY, ICAL_LASTMODIFIED_PROPERTY})
    if (std::optional<icaltimetype> time = timeValue(icalcomponent_get_first_property(event, kind)))
      stamp = std::max(stamp, wallSecondsOf(*time));
  return stamp;
}

// Whether `a` is an earlier revision than `b`, as iTIP orders them: by
// SEQUENCE, then by when it was written, then by place in the file.
bool isEarlierRevision(const FileEvent& a, const FileEvent& b) {
  return std::tuple(a.sequence, a.stamp, a.place) < std::tuple(b.sequence, b.stamp, b.place);
}

// The instance an override names: its date when it is one, else its instant.
std::pair<bool, double> instanceKey(const ICalTime& id) {
  return {id.isDate(), id.isDate() ? id.dateNumber() : unixSecondsOf(id)};
}

// Of overrides that name the same instance, the latest revision.
std::vector<const FileEvent*> latestOverrides(std::vector<const FileEvent*> overrides) {
  std::vector<const FileEvent*> latest;
  std::map<std::pair<bool, double>, size_t> byInstance;
  for (const FileEvent* single : overrides) {
    auto [entry, added] = byInstance.try_emplace(instanceKey(*single->recurrenceId), latest.size());
    if (added)
      latest.push_back(single);
    else if (!isEarlierRevision(*single, *latest[entry->second]))
      latest[entry->second] = single;
  }
  return latest;
}

// An occurrence held back until its series is known to be small or large:
// one of the series' own (`change` as expandSeries gives it) or an override.
struct Held {
  double startUnix = 0;
  double endUnix = 0;
  int change = -1;
  const Replacement* replacement = nullptr;
};

// Reads the events of a file one series at a time: a VEVENT is parsed when
// its turn comes, together with the other VEVENTs of its UID (the revisions
// of a recurring series and their overrides), and freed once read.
class FileReader {
 public:
  FileReader(std::string_view text, const ICalFileIndex& index, const EventWindow& window, ICalReadState& read,
             const std::function<void(const CalendarEvent&)>& visit)
      : text_(text), index_(index), window_(window), visit_(visit), budget_(read.budget),
        zones_(read.zones, text, index) {}

  // Each series is read where its first master stands in the file (its first
  // override, when it has no master).
  void read() {
    struct Group {
      std::vector<size_t> members;
      std::optional<size_t> firstMaster;
    };
    std::unordered_map<std::string_view, Group> byUid;
    for (size_t i = 0; i < index_.events.size(); ++i) {
      const ICalEventEntry& entry = index_.events[i];
      if (entry.uid.empty()) continue;
      Group& group = byUid[entry.uid];
      group.members.push_back(i);
      if (!entry.isOverride && !group.firstMaster) group.firstMaster = i;
    }
    for (size_t i = 0; i < index_.events.size(); ++i) {
      const ICalEventEntry& entry = index_.events[i];
      if (entry.uid.empty()) {
        readGroup({i});
        continue;
      }
      const Group& group = byUid[entry.uid];
      if (i == group.firstMaster.value_or(group.members.front())) readGroup(group.members);
    }
  }

 private:
  // The component of the event at `place`, and its rules as written.
  ComponentPtr parse(size_t place, std::vector<std::string>& rules) {
    ICalEventText text = eventText(text_, index_.events[place].range);
    ComponentPtr component(icalparser_parse_string(text.component.c_str()));
    if (!component || icalcomponent_isa(component.get()) != ICAL_VEVENT_COMPONENT) return nullptr;
    rules = std::move(text.rules);
    return component;
  }

  std::optional<FileEvent> fileEventAt(size_t place) {
    FileEvent event;
    event.component = parse(place, event.rules);
    if (!event.component) return std::nullopt;
    icalcomponent* component = event.component.get();
    event.scope = index_.events[place].scope;
    event.place = place;
    event.uid = uidOf(component);
    event.sequence = sequenceOf(component);
    event.stamp = stampOf(component);
    event.recurrenceId = readTime(component, ICAL_RECURRENCEID_PROPERTY, zonesOf(event));
    return event;
  }

  // The component of `event`: its own, or, once let go, parsed again into
  // `scratch`.
  icalcomponent* componentOf(const FileEvent& event, ComponentPtr& scratch) {
    if (event.component) return event.component.get();
    std::vector<std::string> rules;
    scratch = parse(event.place, rules);
    return scratch.get();
  }

  // The events of one UID, in file order: one series, its latest revision
  // with the latest override of each instance. When revisions differ, the
  // overrides older than the one kept went with the revisions it replaces.
  // Overrides without a master are events of their own. Only the latest
  // revision stays parsed meanwhile; the others are parsed again when their
  // turn comes, so that a UID given thousands of revisions or overrides
  // costs little more memory than its text.
  void readGroup(const std::vector<size_t>& members) {
    std::vector<FileEvent> events;
    events.reserve(members.size());
    FileEvent* master = nullptr;
    size_t revisions = 0;
    for (size_t m : members) {
      std::optional<FileEvent> event = fileEventAt(m);
      if (!event) continue;
      FileEvent& added = events.emplace_back(std::move(*event));
      if (added.recurrenceId) {
        added.component.reset();
        continue;
      }
      ++revisions;
      if (master && isEarlierRevision(added, *master)) {
        added.component.reset();
        continue;
      }
      if (master) master->component.reset();
      master = &added;
    }
    std::vector<const FileEvent*> overrides;
    for (const FileEvent& event : events)
      if (event.recurrenceId) overrides.push_back(&event);
    if (!master) {
      for (const FileEvent* single : latestOverrides(overrides)) readSeries(*single);
      return;
    }
    if (revisions > 1)
      std::erase_if(overrides, [&](const FileEvent* o) { return o->sequence < master->sequence; });
    master->overrides = latestOverrides(overrides);
    readSeries(*master);
  }

  EventZones zonesOf(const FileEvent& event, std::optional<ICalZone> seriesZone = std::nullopt) {
    return {zones_, event.scope, seriesZone};
  }

  void readSeries(const FileEvent& fileEvent) {
    ComponentPtr scratch;
    icalcomponent* component = componentOf(fileEvent, scratch);
    if (!component) return;
    const std::optional<ICalTime> start = readTime(component, ICAL_DTSTART_PROPERTY, zonesOf(fileEvent));
    if (!start) {
      // Without its master's start the overrides still stand on their own.
      for (const FileEvent* single : fileEvent.overrides) readSeries(*single);
      return;
    }
    const EventZones zones = zonesOf(fileEvent, start->zone);
    SeriesDefinition series;
    series.start = *start;
    series.length = lengthOf(component, *start, zones);
    addRules(fileEvent.rules, series);
    addExtraStarts(component, series, zones);
    addExcludedDates(component, series, zones);
    std::vector<CalendarEvent> changedEvents;
    const std::vector<Replacement> replacements = replacementsFor(fileEvent, series, changedEvents);
    CalendarEvent event = describe(component, fileEvent.uid);
    SeriesOutput output(*this, event, changedEvents);
    size_t nextReplacement = 0;
    auto offerReplacementsUntil = [&](double startUnix) {
      for (; nextReplacement < replacements.size() && replacements[nextReplacement].startUnix <= startUnix;
           ++nextReplacement) {
        const Replacement& replacement = replacements[nextReplacement];
        if (!output.offer({replacement.startUnix, replacement.endUnix, -1, &replacement})) return false;
      }
      return true;
    };
    SeriesSteps steps(budget_);
    expandSeries(series, window_, steps, [&](double startUnix, double endUnix, int change) {
      return offerReplacementsUntil(startUnix) && output.offer({startUnix, endUnix, change, nullptr});
    });
    offerReplacementsUntil(HUGE_VAL);
    output.finish();
  }

  // The occurrences of one series on their way out: the first ones are held
  // until the series proves small (all listed) or large (listed within the
  // read's bounds).
  class SeriesOutput {
   public:
    SeriesOutput(FileReader& reader, CalendarEvent& event, std::vector<CalendarEvent>& changedEvents)
        : reader_(reader), event_(event), changedEvents_(changedEvents) {}

    // False once the series may list no more.
    bool offer(const Held& occurrence) {
      if (!allowance_) {
        held_.push_back(occurrence);
        if (held_.size() < ICalReadBudget::kSmallSeries) return true;
        allowance_ = reader_.budget_.largeSeriesAllowance();
        for (const Held& h : held_)
          if (listed_ < *allowance_) list(h);
        held_.clear();
        return listed_ < *allowance_;
      }
      if (listed_ < *allowance_) list(occurrence);
      return listed_ < *allowance_;
    }

    void finish() {
      for (const Held& h : held_) list(h);
      if (allowance_) reader_.budget_.countLargeSeries(listed_);
    }

   private:
    void list(const Held& occurrence) {
      ++listed_;
      if (occurrence.replacement) return reader_.visit_(occurrence.replacement->event);
      CalendarEvent& listed = occurrence.change < 0 ? event_ : changedEvents_[static_cast<size_t>(occurrence.change)];
      listed.startUnix = occurrence.startUnix;
      listed.endUnix = occurrence.endUnix;
      reader_.visit_(listed);
    }

    FileReader& reader_;
    CalendarEvent& event_;
    std::vector<CalendarEvent>& changedEvents_;
    std::vector<Held> held_;
    std::optional<size_t> allowance_;
    size_t listed_ = 0;
  };

  // The overrides of `master` as occurrences in the window, by moved start;
  // each one's RECURRENCE-ID leaves the instance it replaces out of `series`.
  // An override of this and the future instances becomes a range change of
  // `series` instead, described by its entry in `changedEvents`.
  std::vector<Replacement> replacementsFor(const FileEvent& master, SeriesDefinition& series,
                                           std::vector<CalendarEvent>& changedEvents) {
    std::vector<Replacement> replacements;
    std::vector<std::pair<RangeChange, CalendarEvent>> changes;
    for (const FileEvent* single : master.overrides) {
      ComponentPtr scratch;
      icalcomponent* component = componentOf(*single, scratch);
      if (!component) continue;
      const EventZones zones = zonesOf(*single);
      std::optional<ICalTime> start = readTime(component, ICAL_DTSTART_PROPERTY, zones);
      if (!start) continue;
      double startUnix = unixSecondsOf(*start);
      double endUnix = occurrenceEnd(*start, startUnix, lengthOf(component, *start, zones));
      // A floating RECURRENCE-ID names an instance on the series' wall clock.
      ICalTime instance = *single->recurrenceId;
      if (instance.zone.kind == ICalZone::Kind::local && !instance.isDate()) instance.zone = series.start.zone;
      if (appliesToFuture(component)) {
        double fromUnix = unixSecondsOf(instance);
        changes.emplace_back(RangeChange{fromUnix, startUnix - fromUnix, endUnix - startUnix},
                             describe(component, master.uid));
        continue;
      }
      series.excludedStarts.push_back(instance);
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
  ICalReadBudget& budget_;
  ICalZoneResolver zones_;
};

}  // namespace

void readICalendarEvents(std::string_view fileBytes, const EventWindow& window, ICalReadState& read,
                         const std::function<void(const CalendarEvent&)>& visit) {
  if (!window.isOrdered()) return;
  std::string converted;
  const std::string_view text = iCalendarText(fileBytes, converted);
  const ICalFileIndex index = indexICalendarText(text);
  FileReader(text, index, window, read, visit).read();
}

void readICalendarEvents(std::string_view fileBytes, const EventWindow& window,
                         const std::function<void(const CalendarEvent&)>& visit) {
  ICalReadState read;
  readICalendarEvents(fileBytes, window, read, visit);
}
