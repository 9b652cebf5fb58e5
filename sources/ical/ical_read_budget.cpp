// The bounds of one calendar read; see ical_read_budget.h.
#include "sources/ical/ical_read_budget.h"

#include <algorithm>

bool ICalReadBudget::takeSteps(int64_t& used, int64_t more) {
  if (used + more > kMostSteps) return false;
  const int64_t own = std::clamp<int64_t>(kOwnSteps - used, 0, more);
  if (more - own > sharedSteps_) return false;
  sharedSteps_ -= more - own;
  used += more;
  return true;
}

size_t ICalReadBudget::largeSeriesAllowance() const {
  return std::min(kMostOccurrences, sharedOccurrences_);
}

void ICalReadBudget::countLargeSeries(size_t listed) { sharedOccurrences_ -= listed; }
