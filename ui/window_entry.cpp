// The window module's one entry: runs the setup assistant until the program
// ends. Called once, on the program's main thread, by the windowed mode.
#include <unistd.h>

#include <QApplication>
#include <QtGlobal>

#include <chrono>
#include <cstdlib>
#include <string>

#include "base/write_all.h"
#include "ui/desktop_actions.h"
#include "ui/display_check.h"
#include "ui/mervo_window_controller.h"

namespace {

constexpr const char* kNoDisplayMessage =
    "tovana-mervo: no display to show the setup window on (neither DISPLAY nor WAYLAND_DISPLAY is "
    "set); run it from a desktop session, or use --setup in a terminal\n";

/// The display variables that are set, as "NAME=value" joined by spaces.
std::string describeDisplay(const DisplayEnvironment& environment) {
  std::string text;
  auto add = [&text](const char* name, const std::string& value) {
    if (value.empty()) return;
    text += (text.empty() ? "" : " ") + std::string(name) + "=" + value;
  };
  add("DISPLAY", environment.display);
  add("WAYLAND_DISPLAY", environment.waylandDisplay);
  add("QT_QPA_PLATFORM", environment.qtPlatform);
  return text;
}

/// While the toolkit starts: its chatter is held back, and a fatal failure
/// (a display that is named but cannot be reached) ends the program with one
/// line and status 1 instead of an abort and a core dump.
void quietStartHandler(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type != QtFatalMsg) return;
  // Qt's text runs to several sentences and lines; the first says what failed.
  const QString what =
      message.section(QLatin1Char('\n'), 0, 0).section(QLatin1String(". "), 0, 0);
  writeAll(STDERR_FILENO, "tovana-mervo: the setup window cannot be shown (" +
                                  describeDisplay(currentDisplayEnvironment()) +
                                  "): " + what.toStdString() + "\n");
  _exit(1);
}

/// For the benchmark and the screenshot tool: with
/// TOVANA_MERVO_TRACE_SCREENS set, each applied screen is written to standard
/// error as the wall-clock time in microseconds and the headline.
void traceScreensWhenAsked(MervoWindowController& controller) {
  const char* trace = std::getenv("TOVANA_MERVO_TRACE_SCREENS");
  if (!trace || !*trace) return;
  QObject::connect(&controller, &MervoWindowController::screenApplied, [](const QString& headline) {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(now).count();
    writeAll(STDERR_FILENO, std::to_string(micros) + " " + headline.toStdString() + "\n");
  });
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int tovanaMervoRunWindow(int argc, char** argv) {
  if (!hasDisplayToOpen(currentDisplayEnvironment())) {
    writeAll(STDERR_FILENO, kNoDisplayMessage);
    return 1;
  }
  int qtArgc = argc;
  QtMessageHandler previous = qInstallMessageHandler(quietStartHandler);
  QApplication app(qtArgc, argv);
  qInstallMessageHandler(previous);

  DesktopActions desktop;
  MervoWindowController controller(desktop);
  traceScreensWhenAsked(controller);
  controller.launch();
  return app.exec();
}
