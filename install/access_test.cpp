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

// On Linux the grant is the home's private folders being in reach: an
// ordinary desktop home is granted at once; a sandbox that hides the home
// (bubblewrap, as Flatpak does) is refused, until the home is let back in.
TEST_F(AccessTest, CanaryModeGrantsADesktopHomeUnlessASandboxHidesIt) {
  for (int index : {0, 1, 2}) test::writeFile(canary(index) + "/.keep", "");
  const std::vector<std::string> hidden = {"--ro-bind", "/",     "/",       "--dev", "/dev",
                                           "--proc",    "/proc", "--tmpfs", home.path()};
  std::vector<std::string> boundBack = hidden;
  boundBack.insert(boundBack.end(), {"--bind", home.path(), home.path()});
  const std::map<std::string, std::optional<std::string>> env = {{"HOME", home.path()}};
  const auto canaryIn = [&](std::vector<std::string> sandbox) {
    if (sandbox.empty()) return test::runProgram({"--canary"}, env);
    sandbox.insert(sandbox.end(), {"--", MERVO_BINARY, "--canary"});
    return test::runExecutable("/usr/bin/bwrap", sandbox, env);
  };
  struct Row {
    const char* what;
    std::vector<std::string> sandbox;
    std::string out;
    int status;
  };
  for (const Row& row : std::vector<Row>{{"no sandbox", {}, "granted", 0},
                                         {"home hidden", hidden, "refused", 2},
                                         {"home bound back", boundBack, "granted", 0}}) {
    const auto run = canaryIn(row.sandbox);
    EXPECT_EQ(run.out, row.out + " " + canary(0) + "\n") << row.what << ": " << run.err;
    EXPECT_EQ(run.status, row.status) << row.what;
    EXPECT_EQ(run.err, "") << row.what;
  }
}

}  // namespace
