// Reading iCalendar events; see ical_reader.h.
#include "sources/ical/ical_reader.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <libical/ical.h>

#include "base/utf8_text.h"
#include "sources/ical/ical_input_text.h"
#include "sources/ical/ical_series.h"
#include "sources/ical/ical_time_zones.h"

namespace {

struct ComponentFree {
  void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using ComponentPtr = std::unique_ptr<icalcomponent, ComponentFree>;

// Each VEVENT of the file, in file order, wherever it stands: alone, in a
// calendar, in one of several calendars, or in a calendar inside another.
void collectEvents(icalcomponent* component, std::vector<icalcomponent*>& events) {
  if (icalcomponent_isa(component) == ICAL_VEVENT_COMPONENT) {
    events.push_back(component);
    return;
  }
  for (icalcomponent* child = icalcomponent_get_first_component(component, ICAL_ANY_COMPONENT);
       child; child = icalcomponent_get_next_component(component, ICAL_ANY_COMPONENT))
    collectEvents(child, events);
}

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

std::optional<ICalTime> readTime(icalproperty* property, icalcomponent* event,
                                 ICalZoneResolver& zones) {
  std::optional<icaltimetype> wall = timeValue(property);
  if (!wall) return std::nullopt;
  return ICalTime{*wall, zones.zoneOf(*wall, property, event)};
}

std::optional<ICalTime> readTime(icalcomponent* event, icalproperty_kind kind,
                                 ICalZoneResolver& zones) {
  return readTime(icalcomponent_get_first_property(event, kind), event, zones);
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
OccurrenceLength lengthOf(icalcomponent* event, const ICalTime& start, ICalZoneResolver& zones) {
  OccurrenceLength length;
  if (std::optional<ICalTime> end = readTime(event, ICAL_DTEND_PROPERTY, zones)) {
    if (start.isDate() && end->isDate()) {
      // Whole days, so that every occurrence spans the same dates.
      length.nominalDays = icaltime_as_timet(end->wall) / 86400 - icaltime_as_timet(start.wall) / 86400;
    } else {
      length.exactSeconds = unixSecondsOf(*end) - unixSecondsOf(start);
    }
  } else if (icalproperty* duration = icalcomponent_get_first_property(event, ICAL_DURATION_PROPERTY)) {
    icaldurationtype value = durationValue(duration);
    int sign = value.is_neg ? -1 : 1;
    length.nominalDays = sign * static_cast<int>(value.weeks * 7 + value.days);
    length.exactSeconds = sign * (value.hours * 3600.0 + value.minutes * 60.0 + value.seconds);
  } else if (start.isDate()) {
    length.nominalDays = 1;
  }
  return length;
}

void addExtraStarts(icalcomponent* event, SeriesDefinition& series, ICalZoneResolver& zones) {
  for (icalproperty* rdate = icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY); rdate;
       rdate = icalcomponent_get_next_property(event, ICAL_RDATE_PROPERTY)) {
    icalvalue* value = icalproperty_get_value(rdate);
    if (!value) continue;
    icaldatetimeperiodtype when = icalproperty_get_rdate(rdate);
    if (!icaltime_is_null_time(when.time) && icaltime_is_valid_time(when.time)) {
      series.extraStarts.push_back({{when.time, zones.zoneOf(when.time, rdate, event)}, std::nullopt});
      continue;
    }
    const icalperiodtype& period = when.period;
    if (icaltime_is_null_time(period.start) || !icaltime_is_valid_time(period.start)) continue;
    ICalTime start{period.start, zones.zoneOf(period.start, rdate, event)};
    std::optional<double> endUnix;
    if (!icaltime_is_null_time(period.end) && icaltime_is_valid_time(period.end))
      endUnix = unixSecondsOf({period.end, zones.zoneOf(period.end, rdate, event)});
    else
      endUnix = unixSecondsOf(start) + icaldurationtype_as_int(period.duration);
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

void addExcludedDates(icalcomponent* event, SeriesDefinition& series, ICalZoneResolver& zones) {
  for (icalproperty* exdate = icalcomponent_get_first_property(event, ICAL_EXDATE_PROPERTY); exdate;
       exdate = icalcomponent_get_next_property(event, ICAL_EXDATE_PROPERTY))
    if (std::optional<ICalTime> excluded = readTime(exdate, event, zones))
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

// A VEVENT with its place in the file.
struct FileEvent {
  icalcomponent* component = nullptr;
  std::string uid;
  std::optional<ICalTime> recurrenceId;
  std::vector<const FileEvent*> overrides;
};

class FileReader {
 public:
  FileReader(const EventWindow& window, ICalZoneCache& zones,
             const std::function<void(const CalendarEvent&)>& visit)
      : window_(window), visit_(visit), zones_(zones) {}

  void read(icalcomponent* root) {
    std::vector<icalcomponent*> components;
    collectEvents(root, components);
    std::vector<FileEvent> events(components.size());
    std::map<std::string, FileEvent*> firstMasterByUid;
    for (size_t i = 0; i < components.size(); ++i) {
      events[i].component = components[i];
      events[i].uid = uidOf(components[i]);
      events[i].recurrenceId = readTime(components[i], ICAL_RECURRENCEID_PROPERTY, zones_);
      if (!events[i].recurrenceId && !events[i].uid.empty())
        firstMasterByUid.emplace(events[i].uid, &events[i]);
    }
    // An override belongs to its master wherever it stands in the file; one
    // without a master is an event of its own.
    std::vector<bool> attached(events.size(), false);
    for (size_t i = 0; i < events.size(); ++i) {
      if (!events[i].recurrenceId) continue;
      auto master = firstMasterByUid.find(events[i].uid);
      if (master == firstMasterByUid.end()) continue;
      master->second->overrides.push_back(&events[i]);
      attached[i] = true;
    }
    for (size_t i = 0; i < events.size(); ++i)
      if (!attached[i]) readSeries(events[i]);
  }

 private:
  void readSeries(const FileEvent& fileEvent) {
    icalcomponent* component = fileEvent.component;
    std::optional<ICalTime> start = readTime(component, ICAL_DTSTART_PROPERTY, zones_);
    if (!start) {
      // Without its master's start the overrides still stand on their own.
      for (const FileEvent* single : fileEvent.overrides) readSeries(*single);
      return;
    }
    SeriesDefinition series;
    series.start = *start;
    series.length = lengthOf(component, *start, zones_);
    addRules(component, series);
    addExtraStarts(component, series, zones_);
    addExcludedDates(component, series, zones_);
    std::vector<CalendarEvent> changedEvents;
    std::vector<Replacement> replacements = replacementsFor(fileEvent, series, changedEvents);

    CalendarEvent event = describe(component, fileEvent.uid);
    size_t nextReplacement = 0;
    auto visitReplacementsUntil = [&](double startUnix) {
      for (; nextReplacement < replacements.size() &&
             replacements[nextReplacement].startUnix <= startUnix;
           ++nextReplacement)
        visit_(replacements[nextReplacement].event);
    };
    expandSeries(series, window_, [&](double startUnix, double endUnix, int change) {
      visitReplacementsUntil(startUnix);
      CalendarEvent& occurrence = change < 0 ? event : changedEvents[static_cast<size_t>(change)];
      occurrence.startUnix = startUnix;
      occurrence.endUnix = endUnix;
      visit_(occurrence);
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
      std::optional<ICalTime> start = readTime(single->component, ICAL_DTSTART_PROPERTY, zones_);
      if (!start) continue;
      double startUnix = unixSecondsOf(*start);
      double endUnix = occurrenceEnd(*start, startUnix, lengthOf(single->component, *start, zones_));
      if (appliesToFuture(single->component)) {
        double fromUnix = unixSecondsOf(*single->recurrenceId);
        changes.emplace_back(RangeChange{fromUnix, startUnix - fromUnix, endUnix - startUnix},
                             describe(single->component, master.uid));
        continue;
      }
      series.excludedStarts.push_back(*single->recurrenceId);
      if (!window_.matches(startUnix, endUnix)) continue;
      Replacement replacement{startUnix, endUnix, describe(single->component, master.uid)};
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

  const EventWindow& window_;
  const std::function<void(const CalendarEvent&)>& visit_;
  ICalZoneResolver zones_;
};

}  // namespace

void readICalendarEvents(std::string_view fileBytes, const EventWindow& window, ICalZoneCache& zones,
                         const std::function<void(const CalendarEvent&)>& visit) {
  if (!window.isOrdered()) return;
  const std::string text = iCalendarParserText(fileBytes);
  ComponentPtr root(icalparser_parse_string(text.c_str()));
  if (!root) return;
  FileReader(window, zones, visit).read(root.get());
}

void readICalendarEvents(std::string_view fileBytes, const EventWindow& window,
                         const std::function<void(const CalendarEvent&)>& visit) {
  ICalZoneCache zones;
  readICalendarEvents(fileBytes, window, zones, visit);
}
