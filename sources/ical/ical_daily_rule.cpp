// Walking daily and finer rules a day at a time; see ical_daily_rule.h.
#include "sources/ical/ical_daily_rule.h"

#include <algorithm>
#include <set>

#include "sources/ical/civil_time.h"
#include "sources/ical/ical_time_zones.h"

namespace {

constexpr int64_t kDay = 86400;

template <size_t N>
std::vector<int> partsOf(const short (&parts)[N]) {
  std::vector<int> values;
  for (size_t i = 0; i < N && parts[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i) values.push_back(parts[i]);
  return values;
}

// The values of `parts` within [0, size) as a set of flags; empty when the
// rule has no such part.
template <size_t N>
std::vector<bool> flagsOf(const short (&parts)[N], int size) {
  std::vector<bool> flags;
  for (int value : partsOf(parts)) {
    if (flags.empty()) flags.assign(static_cast<size_t>(size), false);
    if (value >= 0 && value < size) flags[static_cast<size_t>(value)] = true;
  }
  return flags;
}

bool allows(const std::vector<bool>& flags, int64_t value) {
  return flags.empty() || flags[static_cast<size_t>(value)];
}

// The values below `size` that `flags` allow, in order.
std::vector<int> allowedValues(const std::vector<bool>& flags, int size) {
  std::vector<int> values;
  for (int value = 0; value < size; ++value)
    if (allows(flags, value)) values.push_back(value);
  return values;
}

// The values of a time part that expands: those written, else the start's.
template <size_t N>
std::vector<int> expansionOf(const short (&parts)[N], int startValue, int size) {
  std::vector<int> values;
  for (int value : partsOf(parts))
    if (value >= 0 && value < size) values.push_back(value);
  if (partsOf(parts).empty()) values.push_back(startValue);
  return values;
}

// BYSETPOS: the members of each period's sorted set at the given places.
std::vector<int64_t> pickPositions(const std::vector<int64_t>& set, const std::vector<int>& positions) {
  if (positions.empty()) return set;
  std::set<int64_t> picked;
  const auto size = static_cast<int64_t>(set.size());
  for (int position : positions) {
    const int64_t index = position > 0 ? position - 1 : size + position;
    if (position != 0 && index >= 0 && index < size) picked.insert(set[static_cast<size_t>(index)]);
  }
  return {picked.begin(), picked.end()};
}

int64_t periodOf(icalrecurrencetype_frequency freq) {
  switch (freq) {
    case ICAL_SECONDLY_RECURRENCE: return 1;
    case ICAL_MINUTELY_RECURRENCE: return 60;
    case ICAL_HOURLY_RECURRENCE: return 3600;
    default: return kDay;
  }
}

}  // namespace

bool repeatsDailyOrMore(const icalrecurrencetype& rule) {
  return rule.freq == ICAL_SECONDLY_RECURRENCE || rule.freq == ICAL_MINUTELY_RECURRENCE ||
         rule.freq == ICAL_HOURLY_RECURRENCE || rule.freq == ICAL_DAILY_RECURRENCE;
}

DailyRuleWalk::DailyRuleWalk(const icalrecurrencetype& rule, int64_t interval, const icaltimetype& start,
                             SeriesSteps& steps)
    : steps_(steps), freq_(rule.freq), interval_(std::max<int64_t>(interval, 1)) {
  period_ = periodOf(freq_);
  step_ = interval_ * period_;
  start_ = wallSecondsOf(start);
  startDay_ = floorDiv(start_, kDay);
  gridOrigin_ = start_ - floorMod(start_, period_);
  onlyStart_ = start.is_date && period_ < kDay;
  if (rule.count > 0) remaining_ = rule.count;
  if (!icaltime_is_null_time(rule.until)) {
    // A date ends the series with that whole day.
    until_ = wallSecondsOf(rule.until) + (rule.until.is_date ? kDay - 1 : 0);
  }
  months_ = flagsOf(rule.by_month, 13);
  monthDays_ = partsOf(rule.by_month_day);
  yearDays_ = partsOf(rule.by_year_day);
  for (int day : partsOf(rule.by_day)) {
    if (weekdays_.empty()) weekdays_.assign(8, false);
    const int weekday = icalrecurrencetype_day_day_of_week(static_cast<short>(day));
    if (weekday >= 1 && weekday <= 7) weekdays_[static_cast<size_t>(weekday)] = true;
  }
  std::vector<int> hours = {0}, minutes = {0}, seconds = {0};
  if (!start.is_date) {
    // Parts as fine as the frequency or coarser limit; finer ones expand.
    if (period_ < kDay) hours_ = flagsOf(rule.by_hour, 24);
    if (period_ < 3600) minutes_ = flagsOf(rule.by_minute, 60);
    if (period_ < 60) seconds_ = flagsOf(rule.by_second, 61);
    if (period_ == kDay) hours = expansionOf(rule.by_hour, start.hour, 24);
    if (period_ >= 3600) minutes = expansionOf(rule.by_minute, start.minute, 60);
    if (period_ >= 60) seconds = expansionOf(rule.by_second, start.second, 61);
  }
  hourValues_ = allowedValues(hours_, 24);
  minuteValues_ = allowedValues(minutes_, 60);
  secondValues_ = allowedValues(seconds_, 60);
  std::set<int64_t> set;
  for (int hour : hours)
    for (int minute : minutes)
      for (int second : seconds) set.insert(int64_t{hour} * 3600 + minute * 60 + second);
  offsets_ = pickPositions({set.begin(), set.end()}, partsOf(rule.by_set_pos));
  day_ = startDay_;
  fillDay(startDay_);
}

// Whether `day` passes the date parts; when not, `nextDay` is the first day
// after it that may.
bool DailyRuleWalk::takesDay(int64_t day, int64_t& nextDay) const {
  nextDay = day + 1;
  if (period_ == kDay) {
    const int64_t offGrid = floorMod(day - startDay_, interval_);
    if (offGrid != 0) {
      nextDay = day + interval_ - offGrid;
      return false;
    }
  }
  const CivilTime date = civilFromSeconds(day * kDay);
  if (!allows(months_, date.month)) {
    nextDay = daysToNextMonth(date.year, date.month);
    return false;
  }
  if (!weekdays_.empty() && !weekdays_[static_cast<size_t>(dayOfWeek(day) + 1)]) return false;
  if (!monthDays_.empty()) {
    const int inMonth = icaltime_days_in_month(date.month, static_cast<int>(date.year));
    if (std::none_of(monthDays_.begin(), monthDays_.end(),
                     [&](int v) { return v > 0 ? v == date.day : inMonth + 1 + v == date.day; }))
      return false;
  }
  if (!yearDays_.empty()) {
    const int64_t ofYear = day - daysFromCivil(date.year, 1, 1) + 1;
    const int64_t inYear = daysFromCivil(date.year + 1, 1, 1) - daysFromCivil(date.year, 1, 1);
    if (std::none_of(yearDays_.begin(), yearDays_.end(),
                     [&](int v) { return v > 0 ? v == ofYear : inYear + 1 + v == ofYear; }))
      return false;
  }
  return true;
}

bool DailyRuleWalk::limitsAllow(int64_t periodStart) const {
  const int64_t ofDay = floorMod(periodStart, kDay);
  return allows(hours_, ofDay / 3600) && allows(minutes_, ofDay / 60 % 60) && allows(seconds_, ofDay % 60);
}

// Calls `visit(periodStart)` for each period of the rule that begins on
// `day` and passes the time limits, in order; returns how many places it
// looked at. A grid finer than an hour is looked at only in the hours the
// limits allow, and one finer than a minute only in the minutes and at the
// seconds they allow: few places are looked at unless many instances follow.
template <class Visit>
int64_t DailyRuleWalk::forEachPeriod(int64_t day, const Visit& visit) const {
  int64_t looked = 0;
  auto gridIn = [&](int64_t from, int64_t span) {
    for (int64_t p = from + floorMod(gridOrigin_ - from, step_); p < from + span; p += step_, ++looked)
      if (limitsAllow(p)) visit(p);
  };
  auto listedIn = [&](int64_t from, const std::vector<int>& values, int64_t unit) {
    for (int value : values) {
      const int64_t p = from + value * unit;
      if (floorMod(p - gridOrigin_, step_) == 0 && limitsAllow(p)) visit(p);
    }
    looked += static_cast<int64_t>(values.size());
  };
  const int64_t dayStart = day * kDay;
  if (step_ >= 3600) {
    gridIn(dayStart, kDay);
    return looked;
  }
  for (int hour : hourValues_) {
    const int64_t hourStart = dayStart + hour * int64_t{3600};
    ++looked;
    if (step_ >= 60 && period_ == 60 && !minutes_.empty()) {
      listedIn(hourStart, minuteValues_, 60);
    } else if (step_ >= 60) {
      gridIn(hourStart, 3600);
    } else {
      for (int minute : minuteValues_) {
        const int64_t minuteStart = hourStart + minute * int64_t{60};
        ++looked;
        if (seconds_.empty())
          gridIn(minuteStart, 60);
        else
          listedIn(minuteStart, secondValues_, 1);
      }
    }
  }
  return looked;
}

void DailyRuleWalk::fillDay(int64_t day) {
  buffer_.clear();
  next_ = 0;
  int64_t nextDay = 0;
  if (onlyStart_ || !takesDay(day, nextDay)) {
    day_ = nextDay - 1;
    return;
  }
  const int64_t looked = forEachPeriod(day, [&](int64_t periodStart) {
    for (int64_t offset : offsets_)
      if (periodStart + offset > start_) buffer_.push_back(periodStart + offset);
  });
  // Expanded seconds past a minute's end can overtake the next period's.
  std::sort(buffer_.begin(), buffer_.end());
  buffer_.erase(std::unique(buffer_.begin(), buffer_.end()), buffer_.end());
  if (!steps_.take(looked)) {
    buffer_.clear();
    end();
  }
}

// The instances of a day after the start's; days whose periods lie alike on
// the grid hold alike many. Nothing once the series runs out of steps.
std::optional<int64_t> DailyRuleWalk::countDay(int64_t day) {
  const int64_t phase = floorMod(day * kDay - gridOrigin_, step_);
  auto [entry, added] = countByPhase_.try_emplace(phase, 0);
  if (added) {
    int64_t periods = 0;
    if (!steps_.take(forEachPeriod(day, [&](int64_t) { ++periods; }))) return std::nullopt;
    entry->second = periods * static_cast<int64_t>(offsets_.size());
  }
  return entry->second;
}

void DailyRuleWalk::skipBefore(int64_t wall) {
  const int64_t target = floorDiv(wall, kDay);
  if (done_ || target <= day_ + 1) return;
  if (!startGiven_) {
    startGiven_ = true;
    if (remaining_ > 0) --remaining_;
  }
  if (remaining_ < 0) {
    buffer_.clear();
    day_ = target - 1;
    return;
  }
  remaining_ -= static_cast<int64_t>(buffer_.size() - next_);
  buffer_.clear();
  next_ = 0;
  for (int64_t day = day_ + 1; day < target && remaining_ > 0;) {
    if (!steps_.take()) return end();
    int64_t nextDay = 0;
    if (!onlyStart_ && takesDay(day, nextDay)) {
      const std::optional<int64_t> count = countDay(day);
      if (!count) return end();
      remaining_ -= *count;
    }
    day = std::min(nextDay, target);
  }
  if (remaining_ <= 0) return end();
  day_ = target - 1;
}

std::optional<int64_t> DailyRuleWalk::next(int64_t horizon) {
  // The start is an instance even when its day's periods took every step.
  if (!startGiven_) {
    startGiven_ = true;
    if (until_ && start_ > *until_) return end(), std::nullopt;
    if (remaining_ > 0) --remaining_;
    return start_;
  }
  if (done_ || remaining_ == 0 || onlyStart_) return end(), std::nullopt;
  while (next_ >= buffer_.size()) {
    ++day_;
    if (day_ * kDay > horizon || !steps_.take()) return end(), std::nullopt;
    fillDay(day_);
    if (done_) return std::nullopt;
  }
  const int64_t instance = buffer_[next_++];
  if ((until_ && instance > *until_) || !steps_.take()) return end(), std::nullopt;
  if (remaining_ > 0) --remaining_;
  return instance;
}
