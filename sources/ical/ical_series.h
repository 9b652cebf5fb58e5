// Expanding one event into its occurrences within a window: its start, the
// instances of its recurrence rules (libical's iterator), its extra dates,
// less its excluded dates and the instances that overrides replace.
// Used by one thread at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include <libical/ical.h>

#include "sources/ical/ical_read_budget.h"
#include "sources/ical/ical_time_zones.h"
#include "sources/store/event_window.h"

/// How long each occurrence lasts: whole days on the wall clock (so an
/// all-day event stays a day across a daylight-saving change) plus seconds.
/// Days are kept within kMostNominalDays either way.
struct OccurrenceLength {
  static constexpr int kMostNominalDays = 1'000'000;
  int nominalDays = 0;
  double exactSeconds = 0;
};

/// An RDATE: an extra start, with its own end when given as a period.
struct ExtraStart {
  ICalTime start;
  std::optional<double> endUnix;
};

/// What an override with RANGE=THISANDFUTURE does to its instance and every
/// later one: moves the start and gives a new length.
struct RangeChange {
  double fromStartUnix = 0;  ///< its RECURRENCE-ID
  double shiftSeconds = 0;
  double lengthSeconds = 0;
};

/// One RRULE: libical's reading of its parts, and its INTERVAL read apart
/// (libical keeps it in 16 bits); a non-positive INTERVAL counts as 1.
struct RecurrenceRule {
  icalrecurrencetype parts;
  int64_t interval = 1;
};

/// Everything about an event's timing that expansion needs.
struct SeriesDefinition {
  ICalTime start;
  OccurrenceLength length;
  std::vector<RecurrenceRule> rules;
  std::vector<ExtraStart> extraStarts;
  /// EXDATE values and the RECURRENCE-ID values of the overrides.
  std::vector<ICalTime> excludedStarts;
  /// Changes to the instances from a start on, in order of that start.
  std::vector<RangeChange> rangeChanges;
};

/// The end of an occurrence that starts at `start` (Unix `startUnix`);
/// never before the start.
double occurrenceEnd(const ICalTime& start, double startUnix, const OccurrenceLength& length);

/// Calls `visit(startUnix, endUnix, change)` for each occurrence of `series`
/// that `window` matches, in order of start, until it returns false;
/// `change` is the index of the range change that applies to it, or -1.
/// Expansion stops at the window's end, however far the rules reach.
/// A rule's UNTIL given in UTC is an inclusive instant, whatever the zone of
/// the series' start. The walk ends early when `steps` run out.
void expandSeries(const SeriesDefinition& series, const EventWindow& window, SeriesSteps& steps,
                  const std::function<bool(double startUnix, double endUnix, int change)>& visit);

/// The length `duration` stands for in seconds, days counted as 86,400.
double durationSeconds(const icaldurationtype& duration);
