// The --tick and --setup modes, through the built program as callers run it.
#include "scripts/script_modes.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "tests/test_support.h"

extern char** environ;

namespace {

using test::runProgram;
using test::TestHome;

using Args = std::vector<std::string>;

const std::vector<Args> kScriptModes = {{"--tick"}, {"--setup"}, {"--setup", "--install-mode"}};

std::string joined(const Args& args) {
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

// The setup script gets the caller's environment as it is, with PATH fixed
// and, only with --install-mode, TOVANA_INSTALL_MODE=1 in place of an
// inherited value: nothing else is added, not even where this program is.
TEST(ScriptModes, SetupGetsTheCallersEnvironmentWithPathFixedAndTheInstallMode) {
  TestHome home;
  home.writeSetup("echo \"$BASH\"; tr '\\0' '\\n' </proc/$$/environ\n");
  test::ScopedEnv path("PATH", "/nowhere:/usr/bin:/bin");
  test::ScopedEnv program("TOVANA_MERVO_BIN", "/elsewhere/tovana-mervo");
  for (const auto& [args, inherited] : std::vector<std::pair<Args, std::optional<std::string>>>{
           {{"--setup"}, std::nullopt},
           {{"--setup"}, "7"},
           {{"--setup", "--install-mode"}, std::nullopt},
           {{"--install-mode", "--setup"}, "7"}}) {
    test::ScopedEnv installMode("TOVANA_INSTALL_MODE", inherited);
    const bool forced = args.size() == 2;
    std::set<std::string> expected = {"/bin/bash", "PATH=/usr/local/bin:/opt/homebrew/bin:/usr/bin:/bin:/usr/sbin:/sbin"};
    if (forced) expected.insert("TOVANA_INSTALL_MODE=1");
    for (char** entry = environ; *entry; ++entry)
      if (!std::string_view(*entry).starts_with("PATH=") &&
          !(forced && std::string_view(*entry).starts_with("TOVANA_INSTALL_MODE=")))
        expected.insert(*entry);
    const auto run = runProgram(args);
    EXPECT_EQ(run.status, 0) << joined(args);
    std::set<std::string> seen;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) seen.insert(line);
    for (const std::string& line : seen) EXPECT_TRUE(expected.contains(line)) << joined(args) << "added " << line;
    for (const std::string& line : expected) EXPECT_TRUE(seen.contains(line)) << joined(args) << "lost " << line;
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

// The tick shares the program's streams; the setup copies its script's merged
// output to standard output. Both end with the script's status, or 128 + the
// signal that ended it, whatever signals the caller ignores: bash passes an
// ignored signal on through exec, as any caller may, and a shell started with
// a signal ignored could not undo that itself.
TEST(ScriptModes, PassOnTheScriptsOutputAndStatusWhateverTheCallerIgnores) {
  TestHome home;
  struct Case {
    std::string mode, script, ignored;
    int status;
    std::string out, err;
  };
  for (const Case& c : std::vector<Case>{
           {"--tick", "echo to out; echo to err >&2; exit 4", "", 4, "to out\n", "to err\n"},
           {"--setup", "echo 1; echo warning >&2; printf 'no line end'; exit 6", "", 6, "1\nwarning\nno line end", ""},
           {"--setup", "echo about to die; kill -TERM $$", "", 128 + SIGTERM, "about to die\n", ""},
           {"--tick", "exit 9", "CHLD", 9, "", ""},
           {"--setup", "echo set up; exit 5", "CHLD", 5, "set up\n", ""},
           {"--tick", "kill -TERM $$; exit 0", "CHLD INT TERM HUP", 128 + SIGTERM, "", ""},
           {"--tick", "kill -INT $$; exit 0", "INT", 128 + SIGINT, "", ""},
       }) {
    home.writeSetup(c.mode == "--setup" ? c.script + "\n" : "echo setup must not run\n");
    home.writeTick(c.script + "\n");
    const std::string ignore = c.ignored.empty() ? "" : "trap '' " + c.ignored + "; ";
    const auto run = test::runExecutable("/bin/bash", {"-c", ignore + "exec \"$0\" " + c.mode, MERVO_BINARY});
    const std::string shown = c.mode + " '" + c.script + "' ignoring " + c.ignored;
    EXPECT_EQ(run.status, c.status) << shown;
    EXPECT_EQ(run.out, c.out) << shown;
    EXPECT_EQ(run.err, c.err) << shown;
  }
}

}  // namespace
