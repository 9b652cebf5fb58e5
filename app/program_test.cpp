// The built program, run as its callers run it.
#include <gtest/gtest.h>
#include <signal.h>

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
