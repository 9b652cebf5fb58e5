// The built program, run as its callers run it.
#include <gtest/gtest.h>

#include "app/mode_table.h"
#include "tests/test_support.h"

namespace {

using test::runProgram;
using test::ScopedTempDir;

TEST(Program, FirstModeFlagDecidesWhereverItStands) {
  ScopedTempDir home;
  const std::string missing = home / "no-bundle";
  // "--tick" stands as a whole argument after "--id": the tick mode runs.
  auto run = runProgram({"--contact-face", "--id", "--tick"},
                        {{"HOME", home.path()}, {"TOVANA_MERVO_ROOT", missing}});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "The Mervo's files are not at " + missing + ".\n");
  EXPECT_EQ(run.out, "");
}

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

TEST(Program, VersionIsOneLine) {
  auto run = runProgram({"--version", "--unknown"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.rfind("tovana-mervo ", 0), 0u) << run.out;
  EXPECT_EQ(run.out.find('\n'), run.out.size() - 1) << run.out;
}

}  // namespace
