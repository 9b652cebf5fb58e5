// The window module's one entry: runs the setup assistant until the program
// ends. Called once, on the program's main thread, by the windowed mode.
#include <unistd.h>

#include <QApplication>
#include <QIcon>

#include <chrono>
#include <cstdlib>
#include <string>

#include "base/write_all.h"
#include "ui/desktop_actions.h"
#include "ui/display_check.h"
#include "ui/mervo_window_controller.h"
#include "ui/quiet_streams.h"

namespace {

constexpr const char* kNoDisplayMessage =
    "tovana-mervo: no display to show the setup window on (neither DISPLAY nor WAYLAND_DISPLAY is "
    "set); run it from a desktop session, or use --setup in a terminal\n";

/// For the benchmark and the screenshot tool: with
/// TOVANA_MERVO_TRACE_SCREENS set, each applied screen is written to `fd`
/// (the program's own standard error) as the wall-clock time in microseconds
/// and the headline.
void traceScreensWhenAsked(MervoWindowController& controller, int fd) {
  const char* trace = std::getenv("TOVANA_MERVO_TRACE_SCREENS");
  if (!trace || !*trace) return;
  QObject::connect(&controller, &MervoWindowController::screenApplied,
                   [fd](const QString& headline) {
                     const auto now = std::chrono::system_clock::now().time_since_epoch();
                     const auto micros =
                         std::chrono::duration_cast<std::chrono::microseconds>(now).count();
                     writeAll(fd, std::to_string(micros) + " " + headline.toStdString() + "\n");
                   });
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int tovanaMervoRunWindow(int argc, char** argv) {
  if (!hasDisplayToOpen(currentDisplayEnvironment())) {
    writeAll(STDERR_FILENO, kNoDisplayMessage);
    return 1;
  }
  // The toolkit gets the program's name and nothing else: the arguments are
  // the program's (unknown ones are ignored), and options such as -platform
  // or -qwindowtitle must not change or hide the window.
  int qtArgc = argc > 0 ? 1 : 0;
  char* qtArgv[] = {argc > 0 ? argv[0] : nullptr, nullptr};
  // Quiet from before the toolkit starts until after it has gone.
  QuietStreams quiet;
  QApplication app(qtArgc, qtArgv);
  // Named as the menu entry and the installed icon are, so that the desktop
  // shows the window under its menu entry, with its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("tovana-mervo"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("tovana-mervo")));

  DesktopActions desktop;
  MervoWindowController controller(desktop);
  traceScreensWhenAsked(controller, quiet.ownErrorFd());
  controller.launch();
  return app.exec();
}
