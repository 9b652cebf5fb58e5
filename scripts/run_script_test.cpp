// runScript against real bash, real scripts and real pipes.
#include "scripts/run_script.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "install/mervo_paths.h"
#include "tests/test_support.h"

namespace {

using test::TestHome;

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
Recorded runRecorded(const TestHome& home, const std::string& script,
                     const std::map<std::string, std::string>& extraEnv = {},
                     std::function<void(const std::string&)> onText = nullptr) {
  home.writeSetup(script);
  Recorded recorded;
  std::atomic<bool> inside = false;
  recorded.status = runScript(MervoPaths::setupScript(), extraEnv, [&](const std::string& text) {
    if (inside.exchange(true)) recorded.overlapped = true;
    recorded.deliveries.push_back({text, std::this_thread::get_id()});
    if (onText) onText(text);
    inside = false;
  });
  return recorded;
}

TEST(RunScript, LargeOutputArrivesWholeInOrderOneDeliveryAtATime) {
  TestHome home;
  constexpr int kLines = 200000;  // about 1.3 MB: many pipe-fulls
  std::string expected;
  for (int i = 1; i <= kLines; ++i) expected += std::to_string(i) + " é€𝄞\n";
  const Recorded run =
      runRecorded(home, "seq 1 " + std::to_string(kLines) + " | sed 's/$/ é€𝄞/'\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_FALSE(run.overlapped);
  EXPECT_GT(run.deliveries.size(), 1u);
  ASSERT_EQ(run.all().size(), expected.size());
  EXPECT_TRUE(run.all() == expected);
}

// A script that writes nothing gets no delivery at all, not even an empty one;
// one that cannot be started (here: its root folder is gone) gets none either.
TEST(RunScript, SilentOrUnstartableScriptGivesItsStatusAndNoDelivery) {
  TestHome home;
  const Recorded silent = runRecorded(home, "exit 3\n");
  EXPECT_EQ(silent.status, 3);
  EXPECT_TRUE(silent.deliveries.empty());
  test::ScopedEnv gone("TOVANA_MERVO_ROOT", home.path("gone"));
  const Recorded unstarted = runRecorded(home, "echo should not run\n");
  EXPECT_EQ(unstarted.status, 127);
  EXPECT_TRUE(unstarted.deliveries.empty());
  EXPECT_EQ(runScript(MervoPaths::setupScript()), 127);
}

TEST(RunScript, BackgroundProcessHoldingThePipeDoesNotHangTheCaller) {
  TestHome home;
  const auto started = std::chrono::steady_clock::now();
  const Recorded run = runRecorded(home,
                                   "sleep 30 &\n"
                                   "echo $! > holder.pid\n"
                                   "echo before exit; exit 5\n");
  const auto elapsed = std::chrono::steady_clock::now() - started;
  if (auto pid = test::readFile(home.root() + "/holder.pid")) kill(std::stoi(*pid), SIGKILL);
  EXPECT_EQ(run.status, 5);
  EXPECT_EQ(run.all(), "before exit\n");
  EXPECT_LT(elapsed, std::chrono::seconds(10));  // far below the holder's 30 s
}

TEST(RunScript, RemainderComesOnTheCallingThreadAfterEveryReaderChunk) {
  TestHome home;
  // The script waits until the first line has been delivered, so that one
  // certainly came from the reader thread; the last bytes end inside a
  // character, so a replacement certainly remains for the calling thread.
  const Recorded run = runRecorded(home,
                                   "echo first\n"
                                   "while [ ! -e delivered ]; do sleep 0.01; done\n"
                                   "printf 'last \\xe2\\x82'\n",
                                   {}, [&](const std::string& text) {
                                     if (text.find("first") != std::string::npos)
                                       test::writeFile(home.root() + "/delivered", "");
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
