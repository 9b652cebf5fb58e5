// The built program, run as its callers run it.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>

#include "scripts/test_bundle.h"
#include "tests/test_support.h"

namespace {

using test::runProgram;
using test::ScopedTempDir;

// What scripts read of the informational runs: a mode among the arguments
// runs whatever else is there, --help and --version print and succeed.
TEST(Program, ModeFlagWinsOverHelpAndVersion) {
  ScopedTempDir home;
  const std::map<std::string, std::optional<std::string>> env = {
      {"HOME", home.path()}, {"TOVANA_MERVO_ROOT", home / "no-bundle"}};
  struct Case { std::vector<std::string> args; int status; std::string outStart; } cases[] = {
      {{"--help", "--tick"}, 1, ""},
      {{"--version", "--tick"}, 1, ""},
      {{"--help", "--canary"}, 2, "refused "},
      {{"--help"}, 0, "Usage: tovana-mervo "},
      {{"--version", "--unknown"}, 0, "tovana-mervo "},
  };
  for (const Case& c : cases) {
    auto run = runProgram(c.args, env);
    EXPECT_EQ(run.status, c.status) << c.args[0] << " " << c.args[1];
    EXPECT_EQ(run.out.rfind(c.outStart, 0), 0u) << c.args[0] << " " << c.args[1] << ": " << run.out;
    EXPECT_EQ(run.out.empty(), c.outStart.empty()) << c.args[0] << " " << c.args[1];
    if (c.status == 0) {
      EXPECT_EQ(run.err, "") << c.args[0];
    }
  }
  const std::string version = runProgram({"--version"}).out;
  EXPECT_EQ(version.find('\n'), version.size() - 1) << version;
}

TEST(Program, ModulesComeFromTheProgramsOwnFolderNeverTheCurrentOne) {
  namespace fs = std::filesystem;
  ScopedTempDir root;
  const fs::path buildDir = fs::path(MERVO_BINARY).parent_path();
  fs::create_directories(root / "usr/lib/tovana-mervo");
  fs::create_directories(root / "usr/bin");
  fs::create_directories(root / "alone");
  fs::copy_file(MERVO_BINARY, root / "usr/bin/tovana-mervo");
  fs::copy_file(buildDir / "tovana-mervo-calendar.so", root / "usr/lib/tovana-mervo/tovana-mervo-calendar.so");
  fs::copy_file(MERVO_BINARY, root / "alone/tovana-mervo");
  const std::map<std::string, std::optional<std::string>> env = {
      {"TOVANA_MERVO_CALENDARS", test::sourceDir() + "/examples/calendars"}};

  auto installed = test::runExecutable(root / "usr/bin/tovana-mervo", {"--calendar-dump"}, env);
  EXPECT_EQ(installed.status, 0) << installed.out << installed.err;
  EXPECT_EQ(installed.out.rfind(R"({"ok":true,"items":[{)", 0), 0u) << installed.out;

  // The build folder beside the test holds the module; as the current
  // directory it must not count. Without its module the program says so,
  // rather than that access was refused, and tells standard error why.
  test::ScopedCurrentDirectory here(buildDir.string());
  auto alone = test::runExecutable(root / "alone/tovana-mervo", {"--calendar-dump"}, env);
  EXPECT_EQ(alone.status, 2);
  EXPECT_EQ(alone.out, "{\"ok\":false,\"reason\":\"the calendar reader is not installed\"}\n");
  EXPECT_NE(alone.err.find("tovana-mervo-calendar"), std::string::npos) << alone.err;
  EXPECT_TRUE(alone.err.ends_with('\n')) << alone.err;
}

// Without a display the window says so in one line and ends with status 1;
// the arguments are never handed to the toolkit, which would take
// "-platform offscreen" and run the window unseen until the script ends it.
TEST(Program, WindowThatCannotBeShownSaysSoInOneLine) {
  ScopedTempDir home;
  test::writeFile(home / ".local/share/.keep", "");
  test::writeFile(home / "bundle/setup.sh", "sleep 0.5; kill -TERM $PPID\n");
  struct Case { std::vector<std::string> args; std::optional<std::string> display; std::string errStart; } cases[] = {
      {{"--canary=1", "--unknown"}, std::nullopt, "tovana-mervo: no display to show the setup window on"},
      {{"--platform", "offscreen"}, ":4097", "tovana-mervo: the setup window cannot be shown (DISPLAY=:4097)"},
      {{"-platform", "offscreen"}, ":4097", "tovana-mervo: the setup window cannot be shown (DISPLAY=:4097)"},
  };
  for (const Case& c : cases) {
    auto run = runProgram(c.args, {{"HOME", home.path()},
                                   {"TOVANA_MERVO_ROOT", home / "bundle"},
                                   {"DISPLAY", c.display},  // :4097: no such display
                                   {"WAYLAND_DISPLAY", std::nullopt},
                                   {"QT_QPA_PLATFORM", std::nullopt}});
    EXPECT_EQ(run.status, 1) << c.args[0];
    EXPECT_EQ(run.out, "") << c.args[0];
    EXPECT_EQ(run.err.rfind(c.errStart, 0), 0u) << c.args[0] << ": " << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << c.args[0] << ": " << run.err;
  }
}

// Both streams stay silent, although the toolkit has warnings to give
// without XDG_RUNTIME_DIR and under the offscreen platform. The script ends
// the program once it has run, so the window got as far as the log.
TEST(Program, WindowPrintsNothing) {
  ScopedTempDir home;
  test::writeFile(home / ".local/share/.keep", "");
  test::writeFile(home / "bundle/setup.sh", "echo to the log; echo also >&2; kill -TERM $PPID\n");
  auto run = runProgram({}, {{"HOME", home.path()},
                             {"TOVANA_MERVO_ROOT", home / "bundle"},
                             {"QT_QPA_PLATFORM", "offscreen"},
                             {"XDG_RUNTIME_DIR", std::nullopt}});
  EXPECT_EQ(run.status, 128 + SIGTERM) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
}

}  // namespace
