#include "install/access.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <map>

#include "tests/test_support.h"

namespace {

using test::ScopedEnv;
using test::ScopedTempDir;

class AccessTest : public ::testing::Test {
 protected:
  ScopedTempDir home;
  ScopedEnv homeEnv{"HOME", home.path()};

  std::string canary(int index) { return Access::canaryPaths().at(index); }
  void create(int index) { test::writeFile(canary(index), "x"); }
};

TEST_F(AccessTest, DecisionTable) {
  using Case = Access::Result::Case;
  struct Row {
    const char* what;
    std::map<int, int> errnoByExistingCanary;  // canary index -> open result
    Case kind;
    int decidingCanary;
  };
  const std::vector<Row> rows = {
      {"none exists", {}, Case::refused, 0},
      {"first opens", {{0, 0}, {1, 0}, {2, 0}}, Case::granted, 0},
      {"first missing, second opens", {{1, 0}}, Case::granted, 1},
      {"first refused, second opens", {{0, EPERM}, {1, 0}, {2, EACCES}}, Case::granted, 1},
      {"last refusal wins", {{0, EACCES}, {2, EPERM}}, Case::refused, 2},
      {"other errors do not move the fallback", {{0, EPERM}, {1, EIO}, {2, ENOENT}}, Case::refused, 0},
  };
  for (const Row& row : rows) {
    ScopedTempDir rowHome;
    ScopedEnv rowHomeEnv("HOME", rowHome.path());
    std::vector<std::string> tried;
    for (const auto& [index, ignored] : row.errnoByExistingCanary) create(index);
    Access::Result result = Access::check([&](const std::string& path) {
      tried.push_back(path);
      for (const auto& [index, error] : row.errnoByExistingCanary)
        if (canary(index) == path) return error;
      return ENOENT;
    });
    EXPECT_EQ(result, (Access::Result{row.kind, canary(row.decidingCanary)})) << row.what;
    if (row.kind == Case::granted) {
      EXPECT_EQ(tried.back(), canary(row.decidingCanary)) << row.what << ": probed past a grant";
    }
  }
}

TEST_F(AccessTest, RealProbeNeverBlocksOnAFifo) {
  // A FIFO without a writer would block a plain open() forever.
  test::writeFile(home / ".local/.keep", "");
  ASSERT_EQ(mkfifo(canary(0).c_str(), 0600), 0);
  Access::Result result = Access::check();
  EXPECT_TRUE(result.isGranted());
  EXPECT_EQ(result.path, canary(0));
}

TEST_F(AccessTest, CanaryModeReportsInOneLineAndStatus) {
  auto run = test::runProgram({"--canary"}, {{"HOME", home.path()}});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "refused " + home / ".local/share\n");
  EXPECT_EQ(run.err, "");

  test::writeFile(home / ".local/state/history", "x");
  run = test::runProgram({"--canary"}, {{"HOME", home.path()}});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "granted " + home / ".local/state\n");
}

}  // namespace
