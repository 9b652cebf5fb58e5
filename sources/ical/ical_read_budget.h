// The bounds of one calendar read (every file of one dump), so that a hostile
// rule can neither hang nor flood the dump while ordinary events and series
// are always read whole:
// - steps: each series may take 50,000 steps of its walk (a day, a place in
//   a day or an instance looked at); past that it draws on 20,000,000
//   shared by the read, up to 2,000,000 in all. A series out of steps keeps
//   what it found so far.
// - occurrences: a series with fewer than 10,000 occurrences in the window
//   lists them all, whatever else the read holds. A larger one lists its
//   first occurrences in the window, up to 100,000, from 1,000,000 shared by
//   the read: however many large series a calendar holds, together they
//   list at most that many.
// Both are taken in the order the read reaches the series, so the same
// calendars give the same items. Used by one thread.
#pragma once

#include <cstddef>
#include <cstdint>

class ICalReadBudget {
 public:
  static constexpr int64_t kOwnSteps = 50'000;
  static constexpr int64_t kMostSteps = 2'000'000;
  static constexpr int64_t kSharedSteps = 20'000'000;
  static constexpr size_t kSmallSeries = 10'000;
  static constexpr size_t kMostOccurrences = 100'000;
  static constexpr size_t kSharedOccurrences = 1'000'000;

  /// Whether a series that has taken `used` steps may take `more`; counts
  /// them when it may.
  bool takeSteps(int64_t& used, int64_t more);

  /// How many occurrences a series with at least kSmallSeries in the window
  /// may list now; 0 once the shared ones are spent.
  size_t largeSeriesAllowance() const;
  /// Counts what such a series listed, at most its allowance, against the
  /// shared occurrences.
  void countLargeSeries(size_t listed);

 private:
  int64_t sharedSteps_ = kSharedSteps;
  size_t sharedOccurrences_ = kSharedOccurrences;
};

/// The steps of one series' walk, drawn from its read's budget.
class SeriesSteps {
 public:
  explicit SeriesSteps(ICalReadBudget& budget) : budget_(budget) {}

  /// False once the series has no steps left.
  bool take(int64_t steps = 1) { return budget_.takeSteps(used_, steps); }

 private:
  ICalReadBudget& budget_;
  int64_t used_ = 0;
};
