// Tests of the grant wait: answers in time, refusals, silence until the
// deadline, and answers that come after the caller stopped waiting.
#include "sources/access_requests.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

namespace {

using NativeSources::waitForGrant;

/// Answers every request on a thread of its own, as a store does; joins them
/// all when it goes (a temporary one at the end of the full expression).
struct AnsweringThreads {
  std::vector<std::jthread> threads;
  std::function<void(GrantCompletion)> answering(bool granted) {
    return [this, granted](GrantCompletion done) { threads.emplace_back([done, granted] { done(granted); }); };
  }
};

TEST(WaitForGrant, ReturnsTheAnswerGivenInTimeEvenWithHugeTimeouts) {
  // A refusal ends these waits at once; the test would hang otherwise. A
  // timeout that overflowed the clock would give false before the answer.
  for (const double timeout : {3600.0, 1e300, std::numeric_limits<double>::infinity()})
    for (const bool granted : {true, false})
      EXPECT_EQ(waitForGrant(timeout, AnsweringThreads().answering(granted)), granted) << timeout;
}

TEST(WaitForGrant, SilenceIsFalseAtTheDeadlineAndALateGrantChangesNothing) {
  for (const double timeout : {0.05, 0.0, -1.0, std::nan("")}) {
    GrantCompletion kept;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(waitForGrant(timeout, [&](GrantCompletion done) { kept = std::move(done); })) << timeout;
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::duration<double>(timeout > 0 ? timeout : 0));
    // The completion must still find its cell alive after the caller left.
    std::jthread late([kept = std::move(kept)] { kept(true); });
  }
}

}  // namespace
