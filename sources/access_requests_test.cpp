// Tests of the grant wait: answers in time, refusals, silence until the
// deadline, and answers that come after the caller stopped waiting.
#include "sources/access_requests.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "tests/test_support.h"

namespace {

using Clock = std::chrono::steady_clock;
using NativeSources::waitForGrant;

/// Answers every request on a thread of its own, as a store does; joins them
/// all when it goes.
class AnsweringThreads {
 public:
  void answerLater(GrantCompletion completion, bool granted) {
    threads_.emplace_back([completion = std::move(completion), granted] { completion(granted); });
  }

 private:
  std::vector<std::jthread> threads_;
};

TEST(WaitForGrant, ReturnsTheAnswerGivenInTime) {
  for (const bool granted : {true, false}) {
    AnsweringThreads store;
    // A refusal ends a one-hour wait at once; the test would hang otherwise.
    EXPECT_EQ(waitForGrant(3600, [&](GrantCompletion done) { store.answerLater(std::move(done), granted); }),
              granted);
  }
}

TEST(WaitForGrant, TakesAnAnswerGivenBeforeTheWaitBegins) {
  EXPECT_TRUE(waitForGrant(3600, [](GrantCompletion done) { done(true); }));
}

TEST(WaitForGrant, SilenceIsFalseAtTheDeadline) {
  GrantCompletion kept;
  const auto start = Clock::now();
  EXPECT_FALSE(waitForGrant(0.05, [&](GrantCompletion done) { kept = std::move(done); }));
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(50));
  // The store answers long after the caller gave up: the completion must
  // still find its cell alive, and the false already returned stands.
  std::jthread late([kept = std::move(kept)] { kept(true); });
}

TEST(WaitForGrant, NonsenseTimeoutsDoNotWaitForever) {
  for (const double timeout : {0.0, -1.0, std::nan("")})
    EXPECT_FALSE(waitForGrant(timeout, [](GrantCompletion) {})) << timeout;
}

TEST(WaitForGrant, GrantRacingTheDeadlineIsSafe) {
  // Answers that land right around the deadline, from another thread; under
  // the thread and address sanitizers this shows the cell is shared safely.
  for (int round = 0; round < 50; ++round) {
    AnsweringThreads store;
    waitForGrant(0.0005, [&](GrantCompletion done) { store.answerLater(std::move(done), true); });
  }
}

TEST(RequestContacts, RefusedFolderIsFalseAndReadableOneIsTrue) {
  test::ScopedTempDir dir;
  test::writeFile(dir / "book/a.vcf", "BEGIN:VCARD\nFN:A\nEND:VCARD\n");
  {
    test::ScopedEnv contacts("TOVANA_MERVO_CONTACTS", dir / "book");
    EXPECT_TRUE(NativeSources::requestContacts(10));
  }
  {
    test::ScopedEnv contacts("TOVANA_MERVO_CONTACTS", dir / "missing:" + dir / "book");
    EXPECT_TRUE(NativeSources::requestContacts(10));
  }
  if (geteuid() == 0) GTEST_SKIP() << "root may read every folder";
  ASSERT_EQ(chmod((dir / "book").c_str(), 0), 0);
  test::ScopedEnv contacts("TOVANA_MERVO_CONTACTS", dir / "book");
  EXPECT_FALSE(NativeSources::requestContacts(10));
  chmod((dir / "book").c_str(), 0700);
}

}  // namespace
