// The window module's one entry: runs the setup assistant until the program
// ends. Called once, on the program's main thread, by the windowed mode.
#include <unistd.h>

#include <QApplication>
#include <QIcon>

#include "base/write_all.h"
#include "ui/desktop_actions.h"
#include "ui/display_check.h"
#include "ui/mervo_window_controller.h"
#include "ui/quiet_streams.h"

namespace {

constexpr const char* kNoDisplayMessage =
    "tovana-mervo: no display to show the setup window on (neither DISPLAY nor WAYLAND_DISPLAY is "
    "set); run it from a desktop session, or use --setup in a terminal\n";

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
  controller.launch();
  return app.exec();
}
