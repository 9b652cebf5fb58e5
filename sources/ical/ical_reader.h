// Reading the events of one iCalendar file for a window: every VEVENT with a
// start, recurring ones expanded, overrides in place of the instances they
// replace. The file is read one event (or one recurring series) at a time;
// parts cut short or nested beyond reason are left out, the rest kept.
// Used by one thread at a time (libical keeps per-process zone data).
#pragma once

#include <functional>
#include <string_view>

#include "sources/ical/ical_time_zones.h"
#include "sources/store/calendar_store.h"
#include "sources/store/event_window.h"

/// Calls `visit` for each occurrence in `fileBytes` that `window` matches:
/// events in file order, the occurrences of one event in order of start.
/// Malformed events are left out; texts handed on are valid UTF-8. A series
/// contributes at most 100,000 occurrences.
void readICalendarEvents(std::string_view fileBytes, const EventWindow& window,
                         const std::function<void(const CalendarEvent&)>& visit);

/// The same, sharing zones with the other files of one read through `zones`.
void readICalendarEvents(std::string_view fileBytes, const EventWindow& window, ICalZoneCache& zones,
                         const std::function<void(const CalendarEvent&)>& visit);
