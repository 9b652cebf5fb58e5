// The built program, run as its callers run it.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>

#include "app/mode_table.h"
#include "scripts/test_bundle.h"
#include "tests/test_support.h"

namespace {

using test::runProgram;
using test::ScopedTempDir;

TEST(Program, WindowWithoutDisplaySaysSoInOneLine) {
  ScopedTempDir home;
  auto run = runProgram({"--canary=1", "--unknown"},
                        {{"HOME", home.path()},
                         {"TOVANA_MERVO_ROOT", home / "none"},
                         {"DISPLAY", std::nullopt},
                         {"WAYLAND_DISPLAY", std::nullopt},
                         {"QT_QPA_PLATFORM", std::nullopt}});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  ASSERT_FALSE(run.err.empty());
  EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
}

TEST(Program, HelpListsEveryModeOfTheTable) {
  auto run = runProgram({"--help"}, {{"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt}});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  for (const Mode& mode : modeTable()) {
    const std::string line = std::string("  ") + mode.flag;
    EXPECT_NE(run.out.find(line), std::string::npos) << mode.flag;
    EXPECT_NE(run.out.find(mode.description), std::string::npos) << mode.flag;
  }
}

TEST(Program, ModeFlagWinsOverHelpAndVersion) {
  ScopedTempDir home;
  const std::string missing = home / "no-bundle";
  const std::map<std::string, std::optional<std::string>> env = {
      {"HOME", home.path()}, {"TOVANA_MERVO_ROOT", missing}};
  const std::vector<std::vector<std::string>> cases = {
      {"--help", "--tick"}, {"--tick", "--help"}, {"--version", "--tick"}, {"--help", "--version", "--tick"}};
  for (const auto& args : cases) {
    auto run = runProgram(args, env);
    EXPECT_EQ(run.status, 1) << args[0] << " " << args[1];
    EXPECT_EQ(run.out, "") << args[0] << " " << args[1];
  }
  auto canary = runProgram({"--help", "--canary"}, env);
  EXPECT_EQ(canary.status, 2);
  EXPECT_EQ(canary.out.rfind("refused ", 0), 0u) << canary.out;
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
  // directory it must not count.
  test::ScopedCurrentDirectory here(buildDir.string());
  auto alone = test::runExecutable(root / "alone/tovana-mervo", {"--calendar-dump"}, env);
  EXPECT_EQ(alone.status, 2) << alone.out;
}

TEST(Program, VersionIsOneLine) {
  auto run = runProgram({"--version", "--unknown"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.rfind("tovana-mervo ", 0), 0u) << run.out;
  EXPECT_EQ(run.out.find('\n'), run.out.size() - 1) << run.out;
}

TEST(Program, ArgumentsNeverReachTheWindowToolkit) {
  ScopedTempDir home;
  test::writeFile(home / "Library/Messages/chat.db", "");
  // Were the toolkit to take "-platform offscreen", the window would run
  // unseen until this script ends the program.
  test::writeFile(home / "bundle/setup.sh", "sleep 0.5; kill -TERM $PPID\n");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--platform", "offscreen"}, {"-platform", "offscreen"}}) {
    auto run = runProgram(args, {{"HOME", home.path()},
                                 {"TOVANA_MERVO_ROOT", home / "bundle"},
                                 {"DISPLAY", ":4097"},  // no such display
                                 {"WAYLAND_DISPLAY", std::nullopt},
                                 {"QT_QPA_PLATFORM", std::nullopt}});
    EXPECT_EQ(run.status, 1) << args[0];
    EXPECT_EQ(run.err.rfind("tovana-mervo: the setup window cannot be shown (DISPLAY=:4097)", 0),
              0u)
        << args[0] << ": " << run.err;
  }
}

TEST(Program, WindowPrintsNothingButTheScreenTraceWhenAskedFor) {
  ScopedTempDir home;
  test::writeFile(home / "Library/Messages/chat.db", "");
  test::writeFile(home / "bundle/setup.sh",
                  "echo to the log; echo also >&2; sleep 0.5; kill -TERM $PPID\n");
  for (const std::optional<std::string>& trace : {std::optional<std::string>(), {"1"}}) {
    // Without XDG_RUNTIME_DIR the toolkit has warnings to give, and the
    // offscreen platform has more.
    auto run = runProgram({}, {{"HOME", home.path()},
                               {"TOVANA_MERVO_ROOT", home / "bundle"},
                               {"QT_QPA_PLATFORM", "offscreen"},
                               {"XDG_RUNTIME_DIR", std::nullopt},
                               {"TOVANA_MERVO_TRACE_SCREENS", trace}});
    EXPECT_EQ(run.status, 128 + SIGTERM) << run.err;
    EXPECT_EQ(run.out, "");
    if (trace) {
      EXPECT_NE(run.err.find(" Bringing your history in\n"), std::string::npos) << run.err;
      EXPECT_EQ(run.err.find_first_not_of("0123456789"), run.err.find(' ')) << run.err;
    } else {
      EXPECT_EQ(run.err, "");
    }
  }
}

}  // namespace
