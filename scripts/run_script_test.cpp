// runScript against real bash, real scripts and real pipes.
#include "scripts/run_script.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "base/utf8_text.h"
#include "install/mervo_paths.h"
#include "scripts/run_script_with_shell.h"
#include "scripts/test_bundle.h"

namespace {

using test::TestBundle;

// Every delivery of one run, with the thread it came on.
struct Delivery {
  std::string text;
  std::thread::id thread;
};

struct Recorded {
  int32_t status = -1;
  std::vector<Delivery> deliveries;
  bool overlapped = false;  // two deliveries ran at the same time

  std::string all() const {
    std::string joined;
    for (const Delivery& delivery : deliveries) joined += delivery.text;
    return joined;
  }
};

// Runs `script` as the bundle's setup script and records what reached the
// handler. `onText`, when given, is called inside the handler.
Recorded runRecorded(const TestBundle& bundle, const std::string& script,
                     const std::vector<std::string>& arguments = {},
                     const std::map<std::string, std::string>& extraEnv = {},
                     std::function<void(const std::string&)> onText = nullptr) {
  bundle.writeSetup(script);
  Recorded recorded;
  std::atomic<bool> inside = false;
  recorded.status =
      runScript(MervoPaths::setupScript(), arguments, extraEnv, [&](const std::string& text) {
        if (inside.exchange(true)) recorded.overlapped = true;
        recorded.deliveries.push_back({text, std::this_thread::get_id()});
        if (onText) onText(text);
        inside = false;
      });
  return recorded;
}

std::string canonical(const std::string& path) { return std::filesystem::canonical(path); }

TEST(RunScript, ChildSeesShellScriptArgumentsRootAndFixedPath) {
  TestBundle bundle;
  test::ScopedEnv inherited("MERVO_INHERITED", "kept");
  test::ScopedEnv replaced("MERVO_REPLACED", "inherited value");
  test::ScopedEnv path("PATH", "/nowhere:/usr/bin:/bin");
  const Recorded run =
      runRecorded(bundle,
                  "printf '%s\\n' \"$BASH\" \"$0\" \"$@\" \"$(pwd -P)\" \"$MERVO_INHERITED\" "
                  "\"$MERVO_REPLACED\" \"$MERVO_ADDED\" \"$PATH\"; env | grep -c "
                  "'^=\\|^MERVO_INHERITED=x' || true\n",
                  {"first arg", "", "third"},
                  {{"MERVO_REPLACED", "from extraEnv"},
                   {"MERVO_ADDED", "a=b c"},
                   {"PATH", "/evil"},
                   {"MERVO_INHERITED=x", "names no environment can hold"},
                   {"", "are left out"}});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.all(), "/bin/bash\n" + bundle.root() + "/setup.sh\nfirst arg\n\nthird\n" +
                           canonical(bundle.root()) + "\nkept\nfrom extraEnv\na=b c\n" +
                           kScriptSearchPath + "\n0\n");
}

TEST(RunScript, LargeOutputArrivesWholeInOrderOneDeliveryAtATime) {
  TestBundle bundle;
  constexpr int kLines = 200000;  // about 1.3 MB: many pipe-fulls
  std::string expected;
  for (int i = 1; i <= kLines; ++i) expected += std::to_string(i) + " é€𝄞\n";
  const Recorded run =
      runRecorded(bundle, "seq 1 " + std::to_string(kLines) + " | sed 's/$/ é€𝄞/'\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_FALSE(run.overlapped);
  EXPECT_GT(run.deliveries.size(), 1u);
  ASSERT_EQ(run.all().size(), expected.size());
  EXPECT_TRUE(run.all() == expected);
}

// A script that writes nothing gets no delivery at all, not even an empty one.
TEST(RunScript, SilentScriptGivesItsStatusAndNoDelivery) {
  TestBundle bundle;
  for (const auto& [script, expected] : std::vector<std::pair<std::string, int32_t>>{
           {"exit 3", 3}, {"kill -KILL $$", 128 + SIGKILL}}) {
    const Recorded run = runRecorded(bundle, script + "\n");
    EXPECT_EQ(run.status, expected) << script;
    EXPECT_TRUE(run.deliveries.empty()) << script;
  }
}

TEST(RunScript, ShellThatCannotStartGives127AndNoOutput) {
  TestBundle bundle;
  bundle.writeSetup("echo should not run\n");
  const std::string script = MervoPaths::setupScript();
  struct Case {
    std::string shell, root;
  };
  for (const Case& c : std::vector<Case>{
           {bundle / "no-such-shell", bundle.root()},
           {"/bin/bash", bundle / "gone"},        // no folder to run in
       }) {
    test::ScopedEnv root("TOVANA_MERVO_ROOT", c.root);
    bool called = false;
    EXPECT_EQ(
        runScriptWithShell(c.shell, script, {}, {}, [&](const std::string&) { called = true; }),
        127)
        << c.shell << " in " << c.root;
    EXPECT_FALSE(called) << c.shell;
    EXPECT_EQ(runScriptWithShell(c.shell, script, {}, {}, nullptr), 127) << c.shell;
  }
}

TEST(RunScript, BackgroundProcessHoldingThePipeDoesNotHangTheCaller) {
  TestBundle bundle;
  const auto started = std::chrono::steady_clock::now();
  const Recorded run = runRecorded(bundle,
                                   "sleep 30 &\n"
                                   "echo $! > holder.pid\n"
                                   "echo before exit; exit 5\n");
  const auto elapsed = std::chrono::steady_clock::now() - started;
  if (auto pid = test::readFile(bundle / "holder.pid")) kill(std::stoi(*pid), SIGKILL);
  EXPECT_EQ(run.status, 5);
  EXPECT_EQ(run.all(), "before exit\n");
  EXPECT_LT(elapsed, std::chrono::seconds(10));  // far below the holder's 30 s
}

TEST(RunScript, RemainderComesOnTheCallingThreadAfterEveryReaderChunk) {
  TestBundle bundle;
  // The script waits until the first line has been delivered, so that one
  // certainly came from the reader thread; the last bytes end inside a
  // character, so a replacement certainly remains for the calling thread.
  const Recorded run = runRecorded(bundle,
                                   "echo first\n"
                                   "while [ ! -e delivered ]; do sleep 0.01; done\n"
                                   "printf 'last \\xe2\\x82'\n",
                                   {}, {}, [&](const std::string& text) {
                                     if (text.find("first") != std::string::npos)
                                       test::writeFile(bundle / "delivered", "");
                                   });
  const std::thread::id caller = std::this_thread::get_id();
  ASSERT_GE(run.deliveries.size(), 2u);
  EXPECT_NE(run.deliveries.front().thread, caller);
  EXPECT_EQ(run.deliveries.back().thread, caller);
  EXPECT_EQ(run.deliveries.back().text.substr(run.deliveries.back().text.size() - 3),
            "\xEF\xBF\xBD");
  bool callerSeen = false;
  for (const Delivery& delivery : run.deliveries) {
    callerSeen = callerSeen || delivery.thread == caller;
    EXPECT_TRUE(!callerSeen || delivery.thread == caller) << "reader chunk after the remainder";
  }
  EXPECT_EQ(run.all(), "first\nlast \xEF\xBF\xBD");
}

}  // namespace
