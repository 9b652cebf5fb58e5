// Occurrence expansion; see ical_series.h.
#include "sources/ical/ical_series.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <unordered_set>

#include "sources/ical/civil_time.h"
#include "sources/ical/ical_daily_rule.h"

namespace {

// Instances are produced a little past the window's end before the walk
// stops: the iterator runs in wall-clock order, which can differ from the
// order of instants around a daylight-saving change.
constexpr double kStopMarginSeconds = 2 * 86400.0;
// The last year whose times are read through zone rules.
constexpr int kLastZonedYear = 3000;
// The instants a walk is ever asked about: years 1 to 9999.
constexpr double kEarliestUnix = -62135596800.0;
constexpr double kLatestUnix = 253402300799.0;
// libical keeps a rule's INTERVAL in 16 bits.
constexpr int64_t kWidestLibicalInterval = 32767;

struct Instance {
  double startUnix = 0;
  double endUnix = 0;
  int date = 0;  // wall-clock date, for exclusions given as dates
};

struct IteratorFree {
  void operator()(icalrecur_iterator* iterator) const { icalrecur_iterator_free(iterator); }
};

// `unixSeconds` in whole seconds within the instants a walk is asked about.
int64_t walkedInstant(double unixSeconds) {
  return static_cast<int64_t>(std::floor(std::clamp(unixSeconds, kEarliestUnix, kLatestUnix)));
}

bool hasParts(const short* parts) { return parts[0] != ICAL_RECURRENCE_ARRAY_MAX; }

bool hasByParts(const icalrecurrencetype& rule) {
  return hasParts(rule.by_second) || hasParts(rule.by_minute) || hasParts(rule.by_hour) ||
         hasParts(rule.by_day) || hasParts(rule.by_month_day) || hasParts(rule.by_year_day) ||
         hasParts(rule.by_week_no) || hasParts(rule.by_month) || hasParts(rule.by_set_pos);
}

// An all-day start has no time of day for BYHOUR, BYMINUTE and BYSECOND to
// set: RFC 5545 has them ignored.
void dropTimeParts(icalrecurrencetype& rule) {
  rule.by_hour[0] = rule.by_minute[0] = rule.by_second[0] = ICAL_RECURRENCE_ARRAY_MAX;
}

// The wall-clock seconds between instances of a rule whose instances are
// evenly spaced on the wall clock, or 0.
int64_t fixedStepSeconds(const RecurrenceRule& rule) {
  switch (rule.parts.freq) {
    case ICAL_SECONDLY_RECURRENCE: return rule.interval;
    case ICAL_MINUTELY_RECURRENCE: return rule.interval * 60;
    case ICAL_HOURLY_RECURRENCE: return rule.interval * 3600;
    case ICAL_DAILY_RECURRENCE: return rule.interval * 86400;
    case ICAL_WEEKLY_RECURRENCE: return rule.interval * 7 * 86400;
    default: return 0;
  }
}

// A start for `rule` on its own grid (a whole number of intervals after
// `start`, with the same time of day and, for months and years, the same
// day) at or before the wall-clock time `target`; `start` when there is none.
icaltimetype gridStartBefore(const RecurrenceRule& rule, const icaltimetype& start, int64_t target) {
  const int64_t from = wallSecondsOf(start);
  if (target <= from) return start;
  if (int64_t step = fixedStepSeconds(rule)) return withWallSeconds(start, from + (target - from) / step * step);
  const icaltimetype near = withWallSeconds(start, target);
  const int64_t monthsPerPeriod = rule.interval * (rule.parts.freq == ICAL_YEARLY_RECURRENCE ? 12 : 1);
  const int64_t months = (int64_t{near.year} - start.year) * 12 + near.month - start.month;
  // A period whose month lacks the day (the 31st, 29 February) is passed
  // over for an earlier one.
  for (int64_t periods = months / monthsPerPeriod; periods > 0; --periods) {
    const int64_t month = start.month - 1 + periods * monthsPerPeriod;
    icaltimetype candidate = start;
    candidate.year = static_cast<int>(start.year + month / 12);
    candidate.month = static_cast<int>(month % 12 + 1);
    if (candidate.day <= icaltime_days_in_month(candidate.month, candidate.year)) return candidate;
  }
  return start;
}

// The last wall-clock second of the week, month or year that holds `start`:
// a rule whose INTERVAL reaches past libical's years has no second period.
icaltimetype firstPeriodEnd(const icalrecurrencetype& rule, const icaltimetype& start) {
  const int64_t day = daysFromCivil(start.year, start.month, start.day);
  int64_t nextPeriod = daysFromCivil(start.year + 1, 1, 1);
  if (rule.freq == ICAL_MONTHLY_RECURRENCE)
    nextPeriod = daysToNextMonth(start.year, start.month);
  if (rule.freq == ICAL_WEEKLY_RECURRENCE) {
    const int weekStart = rule.week_start == ICAL_NO_WEEKDAY ? ICAL_MONDAY_WEEKDAY : rule.week_start;
    const int64_t weekday = dayOfWeek(day) + 1;  // 1 is Sunday, as libical counts
    nextPeriod = day + 7 - ((weekday - weekStart) % 7 + 7) % 7;
  }
  return withWallSeconds(start, nextPeriod * 86400 - 1);
}

// The instances of one RRULE in order, stopping past the window's end.
class RuleInstances {
 public:
  // `earlier` and `later` widen the window by how far range changes move
  // instances.
  RuleInstances(const RecurrenceRule& recurrence, const SeriesDefinition& series, const EventWindow& window,
                double earlier, double later, SeriesSteps& steps)
      : series_(series), window_{window.fromUnix - later, window.toUnix + earlier}, steps_(steps) {
    icalrecurrencetype rule = recurrence.parts;
    if (series.start.isDate()) dropTimeParts(rule);
    // An UNTIL in UTC is an instant, compared with each instance's instant
    // here: libical would compare it with the wall clock of the start's zone.
    if (!icaltime_is_null_time(rule.until) && icaltime_is_utc(rule.until) && !rule.until.is_date) {
      untilUnix_ = static_cast<double>(wallSecondsOf(rule.until));
      rule.until = icaltime_null_time();
    }
    icaltimetype start = series.start.wall;
    horizonWall_ = wallSecondsOf(withWallSeconds(start, walkedInstant(window_.toUnix + kStopMarginSeconds))) + 86400;
    // A rule that began long before the window is started near it instead,
    // so that the years (and, for a rule by the second, the hours) before
    // cost nothing. A COUNT must count the instances passed over.
    const double earliestUseful = window_.fromUnix - longestSpanSeconds();
    const bool startLate = std::isfinite(earliestUseful) && earliestUseful > -1e11 &&
                           earliestUseful > unixSecondsOf(series.start) + kStopMarginSeconds;
    const int64_t lateWall = startLate ? earliestWallFrom(walkedInstant(earliestUseful), series.start.zone) : 0;
    const int64_t step = fixedStepSeconds(recurrence);
    // Evenly spaced instances are counted out here: libical works out each
    // one through a full calendar computation, which costs far more.
    if (step > 0 && !hasByParts(rule) && icaltime_is_null_time(rule.until) && (!start.is_date || step % 86400 == 0)) {
      remaining_ = rule.count > 0 ? rule.count : -1;
      if (startLate) {
        const icaltimetype later = gridStartBefore(recurrence, start, lateWall);
        if (remaining_ > 0) remaining_ = std::max<int64_t>(remaining_ - (wallSecondsOf(later) - wallSecondsOf(start)) / step, 0);
        start = later;
      }
      stepSeconds_ = step;
      frame_ = start;
      nextWall_ = wallSecondsOf(start);
    } else if (repeatsDailyOrMore(rule)) {
      walk_.emplace(rule, recurrence.interval, start, steps);
      if (startLate) walk_->skipBefore(lateWall);
    } else {
      startLibical(rule, recurrence, start, startLate, lateWall - 86400);
    }
    advance();
  }

  const std::optional<Instance>& head() const { return head_; }

  void advance() {
    head_.reset();
    while (!done_) {
      icaltimetype next = nextWall();
      // A null time ends the rule; a time that does not move forward would
      // loop for ever.
      if (icaltime_is_null_time(next) || !icaltime_is_valid_time(next) ||
          (started_ && icaltime_compare(next, previous_) <= 0)) {
        finish();
        return;
      }
      started_ = true;
      previous_ = next;
      if (notAnInstance_ && icaltime_compare(next, *notAnInstance_) == 0) continue;
      ICalTime start{next, series_.start.zone};
      Instance instance;
      instance.startUnix = unixSecondsOf(start);
      if (instance.startUnix >= window_.toUnix + kStopMarginSeconds ||
          (untilUnix_ && instance.startUnix > *untilUnix_)) {
        finish();
        return;
      }
      instance.endUnix = occurrenceEnd(start, instance.startUnix, series_.length);
      instance.date = start.dateNumber();
      head_ = instance;
      return;
    }
  }

 private:
  // Rules by the week, month or year go to libical's iterator, which works
  // them out a period at a time.
  void startLibical(icalrecurrencetype rule, const RecurrenceRule& recurrence, icaltimetype start, bool startLate,
                    int64_t lateWall) {
    if (recurrence.interval > kWidestLibicalInterval) {
      const icaltimetype end = firstPeriodEnd(rule, start);
      if (icaltime_is_null_time(rule.until) || icaltime_compare(end, rule.until) < 0) rule.until = end;
      rule.interval = 1;
    } else {
      rule.interval = static_cast<short>(recurrence.interval);
      if (startLate && rule.count == 0) {
        const icaltimetype later = gridStartBefore(recurrence, start, lateWall);
        // libical hands out its start first, an instance of the rule or not;
        // `lateWall` lies a day before anything the window needs.
        if (icaltime_compare(later, start) != 0) notAnInstance_ = later;
        start = later;
      }
    }
    iterator_.reset(icalrecur_iterator_new(rule, start));
  }

  icaltimetype nextWall() {
    if (!steps_.take()) return icaltime_null_time();
    if (walk_) {
      std::optional<int64_t> wall = walk_->next(horizonWall_);
      return wall ? withWallSeconds(series_.start.wall, *wall) : icaltime_null_time();
    }
    if (stepSeconds_ == 0) return iterator_ ? icalrecur_iterator_next(iterator_.get()) : icaltime_null_time();
    if (remaining_ == 0) return icaltime_null_time();
    if (remaining_ > 0) --remaining_;
    const icaltimetype next = withWallSeconds(frame_, nextWall_);
    nextWall_ += stepSeconds_;
    return next;
  }

  void finish() {
    done_ = true;
    iterator_.reset();
    walk_.reset();
  }

  double longestSpanSeconds() const {
    return series_.length.nominalDays * 90000.0 + std::max(series_.length.exactSeconds, 0.0);
  }

  const SeriesDefinition& series_;
  const EventWindow window_;
  SeriesSteps& steps_;
  std::unique_ptr<icalrecur_iterator, IteratorFree> iterator_;
  std::optional<DailyRuleWalk> walk_;
  int64_t horizonWall_ = 0;
  // Counting out evenly spaced instances instead: the step, the start's
  // frame, the next one's wall clock and how many are left (-1: no COUNT).
  int64_t stepSeconds_ = 0;
  icaltimetype frame_{};
  int64_t nextWall_ = 0;
  int64_t remaining_ = -1;
  bool done_ = false;
  std::optional<double> untilUnix_;
  std::optional<icaltimetype> notAnInstance_;
  icaltimetype previous_{};
  bool started_ = false;
  std::optional<Instance> head_;
};

// The starts that are not occurrences. When the event or the excluded value
// is an all-day date, the date decides; otherwise the instant does.
class Exclusions {
 public:
  explicit Exclusions(const SeriesDefinition& series) : byDateOnly_(series.start.isDate()) {
    for (const ICalTime& excluded : series.excludedStarts) {
      if (byDateOnly_ || excluded.isDate())
        dates_.insert(excluded.dateNumber());
      else
        instants_.insert(static_cast<long long>(unixSecondsOf(excluded)));
    }
  }

  bool excludes(const Instance& instance) const {
    if (dates_.count(instance.date)) return true;
    return !byDateOnly_ && instants_.count(static_cast<long long>(instance.startUnix));
  }

 private:
  bool byDateOnly_;
  std::set<int> dates_;
  std::unordered_set<long long> instants_;
};

std::vector<Instance> fixedInstances(const SeriesDefinition& series) {
  std::vector<Instance> instances;
  double startUnix = unixSecondsOf(series.start);
  instances.push_back({startUnix, occurrenceEnd(series.start, startUnix, series.length),
                       series.start.dateNumber()});
  for (const ExtraStart& extra : series.extraStarts) {
    double extraUnix = unixSecondsOf(extra.start);
    double endUnix = extra.endUnix ? std::max(*extra.endUnix, extraUnix)
                                   : occurrenceEnd(extra.start, extraUnix, series.length);
    instances.push_back({extraUnix, endUnix, extra.start.dateNumber()});
  }
  std::stable_sort(instances.begin(), instances.end(),
                   [](const Instance& a, const Instance& b) { return a.startUnix < b.startUnix; });
  return instances;
}

}  // namespace

double occurrenceEnd(const ICalTime& start, double startUnix, const OccurrenceLength& length) {
  double endUnix = startUnix + length.exactSeconds;
  if (length.nominalDays != 0) {
    ICalTime end = start;
    end.wall = withWallSeconds(start.wall, wallSecondsOf(start.wall) + int64_t{length.nominalDays} * 86400);
    // Beyond the years zones are worked out for, a day is 86,400 seconds.
    if (end.wall.year >= 1 && end.wall.year <= kLastZonedYear)
      endUnix = unixSecondsOf(end) + length.exactSeconds;
    else
      endUnix += length.nominalDays * 86400.0;
  }
  return std::max(endUnix, startUnix);
}

double durationSeconds(const icaldurationtype& duration) {
  const double seconds = (static_cast<double>(duration.weeks) * 7 + duration.days) * 86400 + duration.hours * 3600.0 +
                         duration.minutes * 60.0 + duration.seconds;
  return duration.is_neg ? -seconds : seconds;
}

void expandSeries(const SeriesDefinition& series, const EventWindow& window, SeriesSteps& steps,
                  const std::function<bool(double, double, int)>& visit) {
  if (!window.isOrdered()) return;
  const Exclusions exclusions(series);
  const std::vector<Instance> fixed = fixedInstances(series);
  double earlier = 0, later = 0;
  for (const RangeChange& change : series.rangeChanges) {
    earlier = std::max(earlier, -change.shiftSeconds);
    later = std::max(later, change.shiftSeconds + std::max(change.lengthSeconds, 0.0));
  }
  std::vector<std::unique_ptr<RuleInstances>> rules;
  for (const RecurrenceRule& rule : series.rules)
    rules.push_back(std::make_unique<RuleInstances>(rule, series, window, earlier, later, steps));
  int change = -1;

  size_t nextFixed = 0;
  std::optional<double> lastStart;
  for (;;) {
    // The earliest head among the fixed starts and every rule.
    const Instance* earliest = nextFixed < fixed.size() ? &fixed[nextFixed] : nullptr;
    RuleInstances* earliestRule = nullptr;
    for (auto& rule : rules) {
      if (rule->head() && (!earliest || rule->head()->startUnix < earliest->startUnix)) {
        earliest = &*rule->head();
        earliestRule = rule.get();
      }
    }
    if (!earliest) return;
    Instance instance = *earliest;
    if (earliestRule)
      earliestRule->advance();
    else
      ++nextFixed;
    if (instance.startUnix >= window.toUnix + earlier + kStopMarginSeconds) return;
    // The start may be listed by DTSTART, a rule and an RDATE at once.
    if (lastStart && *lastStart == instance.startUnix) continue;
    lastStart = instance.startUnix;
    if (exclusions.excludes(instance)) continue;
    while (change + 1 < static_cast<int>(series.rangeChanges.size()) &&
           series.rangeChanges[change + 1].fromStartUnix <= instance.startUnix)
      ++change;
    if (change >= 0) {
      const RangeChange& moved = series.rangeChanges[change];
      instance.startUnix += moved.shiftSeconds;
      instance.endUnix = instance.startUnix + std::max(moved.lengthSeconds, 0.0);
    }
    if (window.matches(instance.startUnix, instance.endUnix) &&
        !visit(instance.startUnix, instance.endUnix, change))
      return;
  }
}
