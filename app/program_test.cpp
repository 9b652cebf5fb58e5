// The built program, run as its callers run it.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>

#include "tests/test_support.h"

namespace {

using test::runProgram;
using test::ScopedTempDir;

// What scripts read of the informational runs: a mode among the arguments
// runs whatever else is there; --help (or -h) and --version print one text
// and succeed, whatever unknown arguments come with them.
TEST(Program, ModeFlagWinsOverHelpAndVersion) {
  ScopedTempDir home;
  const std::map<std::string, std::optional<std::string>> env = {
      {"HOME", home.path()}, {"TOVANA_MERVO_ROOT", home / "no-bundle"}};
  const std::string help = runProgram({"--help"}, env).out, version = runProgram({"--version"}, env).out;
  EXPECT_TRUE(help.starts_with("Usage: tovana-mervo ")) << help;
  EXPECT_EQ(version.find('\n'), version.size() - 1) << version;
  struct Case { std::vector<std::string> args; int status; std::string out; } cases[] = {
      {{"--help", "--tick"}, 1, ""},
      {{"-h", "--tick"}, 1, ""},
      {{"--version", "--tick"}, 1, ""},
      {{"--help", "--canary"}, 2, "refused " + home / ".local/share\n"},
      {{"-h"}, 0, help},
      {{"--unknown", "-h"}, 0, help},
      {{"--version", "--unknown"}, 0, version},
  };
  for (const Case& c : cases) {
    const std::string shown = testing::PrintToString(c.args);
    auto run = runProgram(c.args, env);
    EXPECT_EQ(run.status, c.status) << shown;
    EXPECT_EQ(run.out, c.out) << shown;
    if (c.status == 0) {
      EXPECT_EQ(run.err, "") << shown;
    }
  }
}

// The build folder holds the module; as the current directory it must not
// count. Without its module the program says so, rather than that access was
// refused, and tells standard error why. (The installed layout is checked
// where the install is: data/check-install.cmake.)
TEST(Program, ModulesComeFromTheProgramsOwnFolderNeverTheCurrentOne) {
  ScopedTempDir alone;
  std::filesystem::copy_file(MERVO_BINARY, alone / "tovana-mervo");
  test::ScopedCurrentDirectory here(std::filesystem::path(MERVO_BINARY).parent_path());
  auto run = test::runExecutable(alone / "tovana-mervo", {"--calendar-dump"},
                                 {{"TOVANA_MERVO_CALENDARS", test::sourceDir() + "/examples/calendars"}});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "{\"ok\":false,\"reason\":\"the calendar reader is not installed\"}\n");
  EXPECT_NE(run.err.find("tovana-mervo-calendar"), std::string::npos) << run.err;
  EXPECT_TRUE(run.err.ends_with('\n')) << run.err;
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
