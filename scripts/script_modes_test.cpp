// The --tick and --setup modes, through the built program as callers run it.
#include "scripts/script_modes.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>

#include "tests/test_support.h"

namespace {

using test::runProgram;
using test::TestHome;

const std::vector<std::vector<std::string>> kScriptModes = {
    {"--tick"}, {"--setup"}, {"--setup", "--install-mode"}};

std::string joined(const std::vector<std::string>& args) {
  std::string text;
  for (const std::string& arg : args) text += arg + " ";
  return text;
}

TEST(ScriptModes, MissingBundleIsReportedAndNothingRuns) {
  test::ScopedTempDir parent;
  // Only the tick script: the bundle does not count as installed without setup.sh.
  test::writeFile(parent / "bundle/bin/mervo-tick.sh", "echo ran; touch ran\n");
  test::ScopedCurrentDirectory here(parent.path());
  for (const std::string& root : {parent / "bundle", std::string("bundle"), parent / "absent"}) {
    for (const auto& args : kScriptModes) {
      const auto run = runProgram(args, {{"TOVANA_MERVO_ROOT", root}});
      EXPECT_EQ(run.status, 1) << joined(args) << root;
      EXPECT_EQ(run.err, "The Mervo's files are not at " + root + ".\n") << joined(args);
      EXPECT_EQ(run.out, "") << joined(args);
    }
  }
  EXPECT_FALSE(std::filesystem::exists(parent / "bundle/ran"));
}

TEST(ScriptModes, TickSharesTheProgramsStreamsAndPassesItsStatusOn) {
  TestHome home;
  home.writeSetup("echo setup must not run\n");
  home.writeTick("echo to out; echo to err >&2; exit 4\n");
  const auto run = runProgram({"--tick"});
  EXPECT_EQ(run.status, 4);
  EXPECT_EQ(run.out, "to out\n");
  EXPECT_EQ(run.err, "to err\n");
}

TEST(ScriptModes, SetupCopiesMergedOutputToStandardOutput) {
  TestHome home;
  for (const auto& [script, out, status] : std::vector<std::tuple<std::string, std::string, int>>{
           {"echo step 1; echo warning >&2; printf 'no line end'; exit 6\n",
            "step 1\nwarning\nno line end", 6},
           {"echo about to die; kill -TERM $$\n", "about to die\n", 128 + SIGTERM},
       }) {
    home.writeSetup(script);
    const auto run = runProgram({"--setup"});
    EXPECT_EQ(run.status, status) << script;
    EXPECT_EQ(run.out, out) << script;
    EXPECT_EQ(run.err, "") << script;
  }
}

// The install mode is forced only with its flag; nothing else is added to
// what the caller gave, not even where this program is.
TEST(ScriptModes, InstallModeIsForcedOnlyWithItsFlagAndNothingIsAdded) {
  TestHome home;
  home.writeSetup("echo \"${TOVANA_INSTALL_MODE-unset} ${TOVANA_MERVO_BIN-unset}\"\n");
  struct Case {
    std::vector<std::string> args;
    std::optional<std::string> installMode, program;
    std::string seen;
  };
  for (const Case& c : std::vector<Case>{
           {{"--setup"}, std::nullopt, std::nullopt, "unset unset"},
           {{"--setup"}, "7", "/elsewhere/tovana-mervo", "7 /elsewhere/tovana-mervo"},
           {{"--setup", "--install-mode"}, std::nullopt, std::nullopt, "1 unset"},
           {{"--install-mode", "--setup"}, "7", std::nullopt, "1 unset"},
       }) {
    const auto run = runProgram(c.args, {{"TOVANA_INSTALL_MODE", c.installMode},
                                         {"TOVANA_MERVO_BIN", c.program}});
    EXPECT_EQ(run.out, c.seen + "\n") << joined(c.args) << c.installMode.value_or("(none)");
    EXPECT_EQ(run.status, 0);
  }
}

TEST(ScriptModes, RelativeRootRunsTheScriptTheInstallationTestFound) {
  test::ScopedTempDir parent;
  test::writeFile(parent / "bundle/setup.sh", "echo \"$0 in $(pwd -P)\"\n");
  test::writeFile(parent / "bundle/bin/mervo-tick.sh", "echo \"tick in $(pwd -P)\"\n");
  test::ScopedCurrentDirectory here(parent.path());
  const std::string inside = std::filesystem::canonical(parent / "bundle");
  auto run = runProgram({"--setup"}, {{"TOVANA_MERVO_ROOT", "bundle"}});
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out, parent / "bundle/setup.sh in " + inside + "\n");
  run = runProgram({"--tick"}, {{"TOVANA_MERVO_ROOT", "bundle"}});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "tick in " + inside + "\n");
}

TEST(ScriptModes, ScriptsRunWithDefaultSignalsWhateverTheCallerIgnores) {
  TestHome home;
  home.writeSetup("echo set up; exit 5\n");
  struct Case {
    std::string ignored, tick, mode;
    int status;
    std::string out;
  };
  for (const Case& c : std::vector<Case>{
           {"CHLD", "exit 9", "--tick", 9, ""},
           {"CHLD", "", "--setup", 5, "set up\n"},
           // A shell started with a signal ignored cannot undo that itself.
           {"CHLD INT TERM HUP", "kill -TERM $$; exit 0", "--tick", 128 + SIGTERM, ""},
           {"INT", "kill -INT $$; exit 0", "--tick", 128 + SIGINT, ""},
       }) {
    home.writeTick(c.tick + "\n");
    // bash passes an ignored signal on through exec, as any caller may.
    const auto run = test::runExecutable(
        "/bin/bash", {"-c", "trap '' " + c.ignored + "; exec \"$0\" " + c.mode, MERVO_BINARY});
    EXPECT_EQ(run.status, c.status) << c.mode << " '" << c.tick << "' ignoring " << c.ignored;
    EXPECT_EQ(run.out, c.out) << c.mode << " ignoring " << c.ignored;
  }
}

}  // namespace
