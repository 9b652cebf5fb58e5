// Reading the events of one iCalendar file for a window: every VEVENT with a
// start, recurring ones expanded, overrides in place of the instances they
// replace. The file is read one event (or one recurring series) at a time;
// parts cut short or nested beyond reason are left out, the rest kept.
// Used by one thread at a time (libical keeps per-process zone data).
#pragma once

#include <functional>
#include <string_view>

#include "sources/ical/ical_read_budget.h"
#include "sources/ical/ical_time_zones.h"
#include "sources/store/calendar_store.h"
#include "sources/store/event_window.h"

/// What the files (or desktop calendars) of one read share: the zones they
/// name and the read's bounds.
struct ICalReadState {
  ICalZoneCache zones;
  ICalReadBudget budget;
};

/// Calls `visit` for each occurrence in `fileBytes` that `window` matches:
/// events in file order, the occurrences of one event in order of start.
/// Malformed events, and events whose start is no real date or time, are
/// left out; texts handed on are valid UTF-8. Within the file one UID is one
/// series: its latest revision, and one override per instance. A series
/// lists its occurrences within the bounds of ical_read_budget.h.
void readICalendarEvents(std::string_view fileBytes, const EventWindow& window,
                         const std::function<void(const CalendarEvent&)>& visit);

/// The same, as one file of the read `read`.
void readICalendarEvents(std::string_view fileBytes, const EventWindow& window, ICalReadState& read,
                         const std::function<void(const CalendarEvent&)>& visit);
