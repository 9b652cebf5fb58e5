// Benchmark: how long the UI thread is held while the setup script floods
// the log, and whether every byte arrives. Runs the real controller, runner
// and window twice side by side: a baseline script that writes nothing for
// the same length of time, and a script that writes 20 MiB in 64-byte lines,
// each its own write. A 5 ms timer on the UI thread records the longest gap
// between its ticks (wall clock), and the most CPU time the UI thread spent
// between two ticks (its thread clock, which a busy machine's scheduling does
// not inflate). Prints the figures and their ratios.
#include <stdlib.h>
#include <time.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "ui/mervo_window_controller.h"
#include "ui/setup_screens.h"
#include "ui/setup_window.h"
#include "ui/system_actions.h"

namespace {

constexpr long kLines = 20L * 1024 * 1024 / 64;

class QuietSystem final : public SystemActions {
 public:
  void openUrl(const QUrl&) override {}
  void revealProgramFile() override {}
  void requestSourceAccess() override {}
  void endProgram() override {}
};

struct Figures {
  double seconds = 0;
  qint64 longestGapMs = 0;
  double longestBusyMs = 0;
  std::string log;
};

/// One 64-byte line, the same in the script and here.
std::string floodLine(long i) {
  char line[65];
  std::snprintf(line, sizeof line, "flood line %010ld .........................................\n", i);
  return std::string(line, 64);
}

double threadCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

Figures runSetup(const std::string& root, const std::string& script) {
  std::ofstream(root + "/setup.sh") << script;
  QuietSystem system;
  MervoWindowController controller(system);
  QEventLoop loop;
  QObject::connect(&controller, &MervoWindowController::screenApplied, &loop,
                   [&loop](const QString& headline) {
                     if (headline == SetupScreens::success().headline ||
                         headline == SetupScreens::failure().headline)
                       loop.quit();
                   });
  Figures figures;
  QElapsedTimer total;
  QElapsedTimer sinceTick;
  QTimer ticker;
  ticker.setTimerType(Qt::PreciseTimer);
  ticker.setInterval(5);
  double cpuAtTick = threadCpuMs();
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    figures.longestGapMs = std::max(figures.longestGapMs, sinceTick.restart());
    const double cpu = threadCpuMs();
    figures.longestBusyMs = std::max(figures.longestBusyMs, cpu - cpuAtTick);
    cpuAtTick = cpu;
  });
  total.start();
  sinceTick.start();
  ticker.start();
  controller.launch();
  loop.exec();
  ticker.stop();
  figures.seconds = total.elapsed() / 1000.0;
  figures.log = controller.window()->logView()->toPlainText().toStdString();
  return figures;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  namespace fs = std::filesystem;
  std::string pattern = (fs::temp_directory_path() / "mervo-flood-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return 1;
  const std::string home = pattern;
  const std::string root = home + "/bundle";
  fs::create_directories(root);
  fs::create_directories(home + "/Library/Messages");
  std::ofstream(home + "/Library/Messages/chat.db");
  setenv("HOME", home.c_str(), 1);
  setenv("TOVANA_MERVO_ROOT", root.c_str(), 1);

  const std::string flood =
      "awk 'BEGIN { for (i = 0; i < " + std::to_string(kLines) +
      "; i++) { printf \"flood line %010d .........................................\\n\", i; "
      "fflush() } }'\n";
  const Figures flooded = runSetup(root, flood);
  const std::string idleScript = "sleep " + std::to_string(flooded.seconds) + "\n";
  const Figures idle = runSetup(root, idleScript);

  std::string expected;
  expected.reserve(kLines * 64);
  for (long i = 0; i < kLines; ++i) expected += floodLine(i);
  const bool whole = flooded.log == expected;

  std::printf("baseline (script silent for %.2f s): longest UI-thread gap %lld ms, "
              "most UI-thread CPU between ticks %.1f ms\n",
              idle.seconds, static_cast<long long>(idle.longestGapMs), idle.longestBusyMs);
  std::printf("flood (20 MiB in %ld writes of 64 bytes): %.2f s, %.1f MiB/s, longest UI-thread gap "
              "%lld ms, most UI-thread CPU between ticks %.1f ms\n",
              kLines, flooded.seconds, 20.0 / flooded.seconds,
              static_cast<long long>(flooded.longestGapMs), flooded.longestBusyMs);
  std::printf("log holds %zu of %zu bytes, %s\n", flooded.log.size(), expected.size(),
              whole ? "identical to what was written" : "DIFFERENT from what was written");
  std::printf("ratios: longest gap / 50 ms goal = %.2f; most CPU between ticks / 50 ms goal = %.2f; "
              "flood gap / baseline gap = %.2f\n",
              flooded.longestGapMs / 50.0, flooded.longestBusyMs / 50.0,
              static_cast<double>(flooded.longestGapMs) / std::max<qint64>(1, idle.longestGapMs));
  fs::remove_all(home);
  return whole ? 0 : 1;
}
