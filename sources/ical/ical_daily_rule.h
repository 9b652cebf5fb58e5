// Rules that repeat daily or more often (DAILY, HOURLY, MINUTELY, SECONDLY),
// walked a day at a time on the wall clock. The walk's steps bound its work:
// a day looked at is a step, and so is each place in it looked at for a
// period (only the hours, minutes and seconds the rule allows are looked at)
// and each instance handed out. A day that the rule's date parts (BYMONTH,
// BYYEARDAY, BYMONTHDAY, BYDAY) refuse costs one step, a month that BYMONTH
// refuses one step too, and the days before a window are counted, not
// listed, so a COUNT is honoured without working out every instance.
// (libical's iterator tries every period in turn inside one call, which for
// a rule that never matches runs for hours.)
// The parts follow RFC 5545's table: BYHOUR, BYMINUTE and BYSECOND finer than
// the frequency expand each period, the others limit; BYSETPOS picks from each
// period's set; BYWEEKNO and the ordinals of BYDAY do not apply. An all-day
// start ignores the time parts, and repeats at most daily: a finer rule gives
// it only its start. Used by one thread.
#pragma once

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include <libical/ical.h>

#include "sources/ical/ical_read_budget.h"

/// Whether `rule` repeats daily or more often.
bool repeatsDailyOrMore(const icalrecurrencetype& rule);

class DailyRuleWalk {
 public:
  /// `rule` as libical read it, with `interval` (at least 1) read apart and
  /// its UNTIL, when it is an instant, left to the caller; `start` is the
  /// series' start.
  DailyRuleWalk(const icalrecurrencetype& rule, int64_t interval, const icaltimetype& start, SeriesSteps& steps);

  /// Passes over the instances before the day of the wall-clock time `wall`
  /// (wallSecondsOf), counting them against the rule's COUNT.
  void skipBefore(int64_t wall);

  /// The next instance as wall-clock seconds: the start first, then the
  /// rule's instances in order. Nothing once the rule ends, the walk passes
  /// the wall-clock time `horizon`, or the series runs out of steps.
  std::optional<int64_t> next(int64_t horizon);

 private:
  bool takesDay(int64_t day, int64_t& nextDay) const;
  void fillDay(int64_t day);
  std::optional<int64_t> countDay(int64_t day);
  template <class Visit>
  int64_t forEachPeriod(int64_t day, const Visit& visit) const;
  bool limitsAllow(int64_t periodStart) const;
  void end() { done_ = true; }

  SeriesSteps& steps_;
  icalrecurrencetype_frequency freq_;
  int64_t interval_;
  int64_t period_ = 86400;
  int64_t step_ = 86400;
  int64_t start_ = 0;
  int64_t startDay_ = 0;
  int64_t gridOrigin_ = 0;  // the start of the period that holds the start
  bool onlyStart_ = false;
  std::vector<bool> months_;
  std::vector<int> monthDays_, yearDays_;
  std::vector<bool> weekdays_;
  std::vector<bool> hours_, minutes_, seconds_;  // limits; empty: none
  std::vector<int> hourValues_, minuteValues_, secondValues_;  // what they allow
  std::vector<int64_t> offsets_;                 // each period's instances
  int64_t remaining_ = -1;                       // COUNT left; -1: none
  std::optional<int64_t> until_;
  bool startGiven_ = false;
  bool done_ = false;
  int64_t day_ = 0;
  std::vector<int64_t> buffer_;
  size_t next_ = 0;
  std::unordered_map<int64_t, int64_t> countByPhase_;
};
