// For tools/screenshots: runs the setup window as the program does (same
// controller, desktop actions, icon) and writes to standard output, once it
// is on the X server, each screen's headline ("screen: ...") and, after each
// repaint of the log, the log's last line ("log: ..."), so a screenshot is
// taken of exactly what a user sees. Built on demand, never installed.
#include <xcb/xcb.h>

#include <QApplication>
#include <QEvent>
#include <QIcon>
#include <QTimer>

#include <cstdio>

#include "ui/desktop_actions.h"
#include "ui/log_view.h"
#include "ui/mervo_window_controller.h"
#include "ui/setup_window.h"

namespace {

/// Writes `line` once the X server has handled everything sent before it.
void announce(const QString& line) {
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  if (xcb_connection_t* connection = x11 ? x11->connection() : nullptr)
    free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
  std::printf("%s\n", qPrintable(line));
  std::fflush(stdout);
}

/// Announces the log's last line after each of its repaints.
class LogPaintWatch : public QObject {
 public:
  explicit LogPaintWatch(SetupWindow& window) : window_(window) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint)
      QTimer::singleShot(0, this, [this] {
        announce("log: " + window_.logText().trimmed().section(QLatin1Char('\n'), -1));
      });
    return false;
  }

 private:
  SetupWindow& window_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QGuiApplication::setDesktopFileName(QStringLiteral("tovana-mervo"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("tovana-mervo")));
  DesktopActions desktop;
  MervoWindowController controller(desktop);
  QObject::connect(&controller, &MervoWindowController::screenApplied,
                   [&controller](const QString& headline) {
                     controller.window()->repaint();
                     announce("screen: " + headline);
                   });
  controller.build();
  LogPaintWatch logPaints(*controller.window());
  controller.window()->logView()->viewport()->installEventFilter(&logPaints);
  controller.begin();
  return app.exec();
}
