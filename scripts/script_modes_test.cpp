// The --tick and --setup modes, through the built program as callers run it.
#include "scripts/script_modes.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "base/unique_fd.h"
#include "scripts/test_bundle.h"

extern char** environ;

namespace {

using test::runProgram;
using test::TestBundle;

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
  TestBundle bundle;
  bundle.writeSetup("echo setup must not run\n");
  bundle.writeTick("echo to out; echo to err >&2; exit 4\n");
  const auto run = runProgram({"--tick"}, {{"TOVANA_MERVO_ROOT", bundle.root()}});
  EXPECT_EQ(run.status, 4);
  EXPECT_EQ(run.out, "to out\n");
  EXPECT_EQ(run.err, "to err\n");
}

TEST(ScriptModes, SetupCopiesMergedOutputToStandardOutput) {
  TestBundle bundle;
  for (const auto& [script, out, status] : std::vector<std::tuple<std::string, std::string, int>>{
           {"echo step 1; echo warning >&2; printf 'no line end'; exit 6\n",
            "step 1\nwarning\nno line end", 6},
           {"echo about to die; kill -TERM $$\n", "about to die\n", 128 + SIGTERM},
       }) {
    bundle.writeSetup(script);
    const auto run = runProgram({"--setup"}, {{"TOVANA_MERVO_ROOT", bundle.root()}});
    EXPECT_EQ(run.status, status) << script;
    EXPECT_EQ(run.out, out) << script;
    EXPECT_EQ(run.err, "") << script;
  }
}

// The install mode is forced only with its flag; the program the script
// calls back is always this one.
TEST(ScriptModes, InstallModeIsForcedOnlyWithItsFlag) {
  TestBundle bundle;
  bundle.writeSetup("echo \"${TOVANA_INSTALL_MODE-unset} $TOVANA_MERVO_BIN\"\n");
  const std::string self = std::filesystem::canonical(MERVO_BINARY).string();
  struct Case {
    std::vector<std::string> args;
    std::optional<std::string> inherited;
    std::string seen;
  };
  for (const Case& c : std::vector<Case>{
           {{"--setup"}, std::nullopt, "unset"},
           {{"--setup"}, "7", "7"},
           {{"--setup", "--install-mode"}, std::nullopt, "1"},
           {{"--install-mode", "--setup"}, "7", "1"},
       }) {
    const auto run = runProgram(c.args, {{"TOVANA_MERVO_ROOT", bundle.root()},
                                         {"TOVANA_INSTALL_MODE", c.inherited},
                                         {"TOVANA_MERVO_BIN", "/elsewhere/tovana-mervo"}});
    EXPECT_EQ(run.out, c.seen + " " + self + "\n") << joined(c.args) << c.inherited.value_or("(none)");
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

TEST(ScriptModes, SetupLosesNothingWhenItsOutputIsNonBlocking) {
  TestBundle bundle;
  bundle.writeSetup("seq 1 150000; echo to err >&2\n");
  std::string expected;
  for (int i = 1; i <= 150000; ++i) expected += std::to_string(i) + "\n";
  expected += "to err\n";
  // The caller made its pipe non-blocking, and reads it only later.
  std::optional<Pipe> pipe = makePipe();
  ASSERT_TRUE(pipe);
  ASSERT_EQ(fcntl(pipe->writeEnd.get(), F_SETFL, O_NONBLOCK), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe->writeEnd.get(), STDOUT_FILENO);
  std::string program = MERVO_BINARY, mode = "--setup";
  char* argv[] = {program.data(), mode.data(), nullptr};
  pid_t pid = -1;
  const int started = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  ASSERT_EQ(started, 0);
  pipe->writeEnd.reset();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const std::optional<std::string> out = readToEnd(pipe->readEnd);
  int status = -1;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  ASSERT_TRUE(out);
  EXPECT_EQ(out->size(), expected.size());
  EXPECT_TRUE(*out == expected);
}

TEST(ScriptModes, ScriptsRunWithDefaultSignalsWhateverTheCallerIgnores) {
  TestBundle bundle;
  bundle.writeSetup("echo set up; exit 5\n");
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
    bundle.writeTick(c.tick + "\n");
    // bash passes an ignored signal on through exec, as any caller may.
    const auto run = test::runExecutable(
        "/bin/bash", {"-c", "trap '' " + c.ignored + "; exec \"$0\" " + c.mode, MERVO_BINARY},
        {{"TOVANA_MERVO_ROOT", bundle.root()}});
    EXPECT_EQ(run.status, c.status) << c.mode << " '" << c.tick << "' ignoring " << c.ignored;
    EXPECT_EQ(run.out, c.out) << c.mode << " ignoring " << c.ignored;
  }
}

}  // namespace
