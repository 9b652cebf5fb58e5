// Occurrence expansion; see ical_series.h.
#include "sources/ical/ical_series.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <memory>
#include <set>
#include <unordered_set>

namespace {

// Instances are produced a little past the window's end before the walk
// stops: the iterator runs in wall-clock order, which can differ from the
// order of instants around a daylight-saving change.
constexpr double kStopMarginSeconds = 2 * 86400.0;
// A rule with a COUNT cannot be started late, so the instances before the
// window are walked one by one. A rule that puts millions of them before the
// window (a hostile file, say) is cut short rather than hang the read.
constexpr long kMostInstancesBeforeWindow = 500'000;

struct Instance {
  double startUnix = 0;
  double endUnix = 0;
  int date = 0;  // wall-clock date, for exclusions given as dates
};

struct IteratorFree {
  void operator()(icalrecur_iterator* iterator) const { icalrecur_iterator_free(iterator); }
};

// The wall-clock time `unixSeconds` reads as in UTC, in the frame of `start`
// (same zone, same date-ness). Close enough for starting an iterator early.
icaltimetype wallNear(double unixSeconds, const icaltimetype& start) {
  std::time_t seconds = static_cast<std::time_t>(unixSeconds);
  std::tm fields{};
  gmtime_r(&seconds, &fields);
  icaltimetype wall = start;
  wall.year = fields.tm_year + 1900;
  wall.month = fields.tm_mon + 1;
  wall.day = fields.tm_mday;
  if (!wall.is_date) {
    wall.hour = fields.tm_hour;
    wall.minute = fields.tm_min;
    wall.second = fields.tm_sec;
  }
  return wall;
}

// The instances of one RRULE in order, stopping past the window's end.
class RuleInstances {
 public:
  // `earlier` and `later` widen the window by how far range changes move
  // instances.
  RuleInstances(const icalrecurrencetype& rule, const SeriesDefinition& series,
                const EventWindow& window, double earlier, double later)
      : series_(series), window_{window.fromUnix - later, window.toUnix + earlier} {
    iterator_.reset(icalrecur_iterator_new(rule, series.start.wall));
    if (!iterator_) return;
    // Rules without a COUNT are started near the window, so a rule that began
    // decades ago costs nothing for the years before it.
    double earliestUseful = window_.fromUnix - longestSpanSeconds() - kStopMarginSeconds;
    if (rule.count == 0 && std::isfinite(earliestUseful) &&
        earliestUseful > unixSecondsOf(series.start) + kStopMarginSeconds &&
        earliestUseful > -1e11) {
      icalrecur_iterator_set_start(iterator_.get(), wallNear(earliestUseful, series.start.wall));
    }
    advance();
  }

  const std::optional<Instance>& head() const { return head_; }

  void advance() {
    head_.reset();
    while (iterator_) {
      icaltimetype next = icalrecur_iterator_next(iterator_.get());
      // A null time ends the rule; a time that does not move forward would
      // loop for ever.
      if (icaltime_is_null_time(next) || !icaltime_is_valid_time(next) ||
          (started_ && icaltime_compare(next, previous_) <= 0)) {
        iterator_.reset();
        return;
      }
      started_ = true;
      previous_ = next;
      ICalTime start{next, series_.start.zone};
      Instance instance;
      instance.startUnix = unixSecondsOf(start);
      if (instance.startUnix >= window_.toUnix + kStopMarginSeconds) {
        iterator_.reset();
        return;
      }
      instance.endUnix = occurrenceEnd(start, instance.startUnix, series_.length);
      instance.date = start.dateNumber();
      if (instance.endUnix < window_.fromUnix && ++skippedBeforeWindow_ > kMostInstancesBeforeWindow) {
        iterator_.reset();
        return;
      }
      head_ = instance;
      return;
    }
  }

 private:
  double longestSpanSeconds() const {
    return series_.length.nominalDays * 90000.0 + std::max(series_.length.exactSeconds, 0.0);
  }

  const SeriesDefinition& series_;
  const EventWindow window_;
  std::unique_ptr<icalrecur_iterator, IteratorFree> iterator_;
  icaltimetype previous_{};
  bool started_ = false;
  long skippedBeforeWindow_ = 0;
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
    icaltime_adjust(&end.wall, length.nominalDays, 0, 0, 0);
    endUnix = unixSecondsOf(end) + length.exactSeconds;
  }
  return std::max(endUnix, startUnix);
}

void expandSeries(const SeriesDefinition& series, const EventWindow& window,
                  const std::function<void(double, double, int)>& visit) {
  if (!window.isOrdered()) return;
  const Exclusions exclusions(series);
  const std::vector<Instance> fixed = fixedInstances(series);
  double earlier = 0, later = 0;
  for (const RangeChange& change : series.rangeChanges) {
    earlier = std::max(earlier, -change.shiftSeconds);
    later = std::max(later, change.shiftSeconds + std::max(change.lengthSeconds, 0.0));
  }
  std::vector<std::unique_ptr<RuleInstances>> rules;
  for (const icalrecurrencetype& rule : series.rules)
    rules.push_back(std::make_unique<RuleInstances>(rule, series, window, earlier, later));
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
    if (window.matches(instance.startUnix, instance.endUnix))
      visit(instance.startUnix, instance.endUnix, change);
  }
}
