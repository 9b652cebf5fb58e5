// Benchmark: how long the UI thread is held while the setup script floods
// the log, and whether every byte arrives. Runs the real controller, runner
// and window three times side by side: a script that writes 20 MiB in 64-byte
// lines, each its own write; a script that writes the same 20 MiB in 64-byte
// writes without a single line break (one line, as a progress display might);
// and a baseline script that writes nothing for as long as the first took.
// A 5 ms timer on the UI thread records the longest gap between its ticks
// (wall clock), and the most CPU time the UI thread spent between two ticks
// (its thread clock, which a busy machine's scheduling does not inflate).
// Prints the figures and their ratios.
//
// With `bound MIB` it runs one script that prints MIB MiB of "y" lines (as
// `yes` would, stuck) and prints the process's peak memory and what the log
// kept; bench/run-window compares a flood at the log's bound with one four
// times larger.
#include <stdlib.h>
#include <time.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "ui/log_buffer.h"
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
  double uiCpuSeconds = 0;  // all the UI thread's CPU time of the run
  double peakMiB = 0;       // the process's peak memory at the end screen
  std::string log;
};

/// One 64-byte write, the same in the script and here: a line, or with
/// `oneLine` the same length without its line feed.
std::string floodPiece(long i, bool oneLine) {
  char piece[65];
  std::snprintf(piece, sizeof piece, "flood line %010ld .........................................%c",
                i, oneLine ? '.' : '\n');
  return std::string(piece, 64);
}

/// The script that writes those pieces, each with its own write.
std::string floodScript(bool oneLine) {
  return "awk 'BEGIN { for (i = 0; i < " + std::to_string(kLines) +
         "; i++) { printf \"flood line %010d .........................................%s\", i, " +
         (oneLine ? "\".\"" : "\"\\n\"") + "; fflush() } }'\n";
}

std::string floodText(bool oneLine) {
  std::string text;
  text.reserve(kLines * 64);
  for (long i = 0; i < kLines; ++i) text += floodPiece(i, oneLine);
  return text;
}

double threadCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

/// The process's peak resident memory so far, in MiB.
double peakMemoryMiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  return 0;
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
  const double cpuAtStart = threadCpuMs();
  total.start();
  sinceTick.start();
  ticker.start();
  controller.launch();
  loop.exec();
  ticker.stop();
  figures.seconds = total.elapsed() / 1000.0;
  figures.uiCpuSeconds = (threadCpuMs() - cpuAtStart) / 1000.0;
  figures.peakMiB = peakMemoryMiB();  // before the log is copied out
  figures.log = controller.window()->logText().toStdString();
  return figures;
}

/// `mib` MiB of "y\n" through the window; prints what it cost and kept.
int runBound(const std::string& root, long mib) {
  const Figures flood =
      runSetup(root, "yes | head -c " + std::to_string(mib * 1024 * 1024) + "\n");
  const std::size_t expected = std::min<std::size_t>(mib * 1024 * 1024, LogBuffer::kCapacityBytes);
  bool onlyLines = flood.log.size() % 2 == 0;
  for (std::size_t i = 0; onlyLines && i < flood.log.size(); i += 2)
    onlyLines = flood.log[i] == 'y' && flood.log[i + 1] == '\n';
  const bool kept = flood.log.size() == expected && onlyLines;
  std::printf("%ld MiB of \"y\" lines: %.2f s to the end screen, peak memory %.0f MiB, longest "
              "UI-thread gap %lld ms, most UI-thread CPU between ticks %.1f ms, log %zu bytes (%s)\n",
              mib, flood.seconds, flood.peakMiB, static_cast<long long>(flood.longestGapMs),
              flood.longestBusyMs, flood.log.size(),
              kept ? "the newest 64 MiB or all, whole lines" : "NOT what was written");
  return kept ? 0 : 1;
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
  fs::create_directories(home + "/.local/share");
  setenv("HOME", home.c_str(), 1);
  setenv("TOVANA_MERVO_ROOT", root.c_str(), 1);

  if (argc == 3 && std::strcmp(argv[1], "bound") == 0) {
    const int status = runBound(root, std::atol(argv[2]));
    fs::remove_all(home);
    return status;
  }

  const Figures flooded = runSetup(root, floodScript(false));
  const Figures oneLine = runSetup(root, floodScript(true));
  const std::string idleScript = "sleep " + std::to_string(flooded.seconds) + "\n";
  const Figures idle = runSetup(root, idleScript);
  const bool whole = flooded.log == floodText(false) && oneLine.log == floodText(true);

  std::printf("baseline (script silent for %.2f s): longest UI-thread gap %lld ms, "
              "most UI-thread CPU between ticks %.1f ms\n",
              idle.seconds, static_cast<long long>(idle.longestGapMs), idle.longestBusyMs);
  const auto report = [](const char* name, const Figures& figures) {
    std::printf("%s (20 MiB in %ld writes of 64 bytes): %.2f s to the end screen, %.1f MiB/s, "
                "UI-thread CPU %.2f s, longest UI-thread gap %lld ms, most UI-thread CPU between "
                "ticks %.1f ms, log %zu bytes\n",
                name, kLines, figures.seconds, 20.0 / figures.seconds, figures.uiCpuSeconds,
                static_cast<long long>(figures.longestGapMs), figures.longestBusyMs,
                figures.log.size());
  };
  report("flood of lines", flooded);
  report("one-line flood", oneLine);
  std::printf("both logs %s\n",
              whole ? "identical to what was written" : "DIFFERENT from what was written");
  std::printf("ratios: longest gap / 50 ms goal = %.2f (lines), %.2f (one line); most CPU between "
              "ticks / 50 ms goal = %.2f (lines), %.2f (one line); flood gap / baseline gap = "
              "%.2f; one line / lines: time to the end screen %.2f, longest gap %.2f\n",
              flooded.longestGapMs / 50.0, oneLine.longestGapMs / 50.0,
              flooded.longestBusyMs / 50.0, oneLine.longestBusyMs / 50.0,
              static_cast<double>(flooded.longestGapMs) / std::max<qint64>(1, idle.longestGapMs),
              oneLine.seconds / flooded.seconds,
              static_cast<double>(oneLine.longestGapMs) / std::max<qint64>(1, flooded.longestGapMs));
  fs::remove_all(home);
  return whole ? 0 : 1;
}
