// Tests of the setup window on a real X server (a private Xvfb): the window
// destroyed by another program counts as closed, the secondary texts are
// legible whatever the palette, a long path wraps inside the body, and the
// log's text can be selected and copied exactly.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QtTest>

#include <QClipboard>
#include <QLabel>

#include <algorithm>
#include <string>

#include "ui/log_view.h"
#include "ui/secondary_text_colour.h"
#include "ui/setup_screens.h"
#include "ui/setup_window.h"

namespace {

/// An Xvfb server of its own for as long as it lives; it names its display
/// once it accepts connections.
class VirtualDisplay {
 public:
  VirtualDisplay() {
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ready[1], 3);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const char* argv[] = {"Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0", "1024x768x24", nullptr};
    if (posix_spawnp(&pid_, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(ready[1]);
    // The server writes the number and the line feed apart, and fails when
    // the pipe is closed in between: read up to the line feed.
    std::string number;
    char c;
    while (read(ready[0], &c, 1) == 1 && c != '\n') number += c;
    close(ready[0]);
    if (!number.empty()) name_ = ":" + number;
  }
  ~VirtualDisplay() {
    if (pid_ > 0) kill(pid_, SIGTERM), waitpid(pid_, nullptr, 0);
  }
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;

  const std::string& name() const { return name_; }

 private:
  pid_t pid_ = -1;
  std::string name_;
};

QPalette darkPalette() {
  QPalette dark(QColor(0x2b, 0x2b, 0x2b), QColor(0x35, 0x35, 0x35));
  dark.setColor(QPalette::WindowText, Qt::white);
  dark.setColor(QPalette::Text, Qt::white);
  dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
  dark.setColor(QPalette::PlaceholderText, QColor(255, 255, 255, 100));
  return dark;
}

}  // namespace

class tst_SetupWindow : public QObject {
  Q_OBJECT

 private slots:
  void destroyedByAnotherProgramCountsAsClosed() {
    SetupWindow window;
    QSignalSpy closed(&window, &SetupWindow::closed);
    window.present();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // What `xdotool windowclose` does: XDestroyWindow, no close request.
    xcb_connection_t* other = xcb_connect(nullptr, nullptr);
    QVERIFY(!xcb_request_check(other, xcb_destroy_window_checked(other, window.winId())));
    xcb_disconnect(other);
    QTRY_COMPARE(closed.count(), 1);
  }

  void secondaryTextIsLegibleOnItsBackground_data() {
    QTest::addColumn<QPalette>("palette");
    QTest::addColumn<bool>("keepsPlaceholder");
    QTest::newRow("Fusion") << QApplication::palette() << false;
    QTest::newRow("dark") << darkPalette() << false;
    QPalette legible = QApplication::palette();
    legible.setColor(QPalette::PlaceholderText, QColor(0x40, 0x40, 0x40));
    QTest::newRow("legible already, kept") << legible << true;
  }

  void secondaryTextIsLegibleOnItsBackground() {
    QFETCH(QPalette, palette);
    QFETCH(bool, keepsPlaceholder);
    const QPalette original = QApplication::palette();
    QApplication::setPalette(palette);
    SetupWindow window;
    QApplication::setPalette(original);
    const QPalette body = window.body()->palette(), log = window.logView()->palette();
    const double bodyRatio = contrastRatio(body.color(QPalette::WindowText), body.color(QPalette::Window));
    const double logRatio = contrastRatio(log.color(QPalette::Text), log.color(QPalette::Base));
    qInfo("body %.2f:1, log %.2f:1 (placeholder alone %.2f:1)", bodyRatio, logRatio,
          contrastRatio(legibleSecondaryColour(palette.color(QPalette::PlaceholderText), palette.color(QPalette::Window), palette.color(QPalette::Window), 1.0), palette.color(QPalette::Window)));
    QVERIFY(bodyRatio >= kLegibleContrast && logRatio >= kLegibleContrast);
    if (keepsPlaceholder) QCOMPARE(body.color(QPalette::WindowText), palette.color(QPalette::PlaceholderText));
  }

  void bodyWithALongPathWrapsInsteadOfRunningOffTheEdge() {
    // One segment with nowhere to break between words.
    const QString root =
        QStringLiteral("/home/ana/") + QStringLiteral("TovanaCaptureBundle").repeated(8);
    SetupWindow window;
    window.applyScreen(SetupScreens::missingFiles(root));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.body()->text(), SetupScreens::missingFiles(root).body);
    const QImage image = window.body()->grab().toImage();
    QMap<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) ++counts[image.pixel(x, y)];
    const QRgb background = std::max_element(counts.constKeyValueBegin(), counts.constKeyValueEnd(),
                                             [](auto a, auto b) { return a.second < b.second; })
                                ->first;
    int inkedLines = 0;
    bool inLine = false;
    for (int y = 0; y < image.height(); ++y) {
      bool inked = false;
      for (int x = 0; x < image.width(); ++x) inked = inked || image.pixel(x, y) != background;
      inkedLines += inked && !inLine;
      inLine = inked;
      for (int x = image.width() - 2; x < image.width(); ++x)
        QVERIFY2(image.pixel(x, y) == background,
                 qPrintable(QStringLiteral("ink at the right edge, row %1").arg(y)));
    }
    // The opening words, the path over two lines or more, the closing words.
    QVERIFY2(inkedLines >= 5, qPrintable(QString::number(inkedLines)));
  }

  void selectedLogTextIsCopiedExactly() {
    SetupWindow window;
    window.present();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.appendLog("first line\n\tcaf\xc3\xa9 second\n");
    LogView* log = window.logView();
    const QFontMetrics metrics(log->font());
    const int column = metrics.horizontalAdvance(QLatin1Char('M'));
    // From the third character of the first row to the tenth column of the
    // second, which the tab fills up to the eighth.
    const auto at = [&](int x, int row) { return QPoint(4 + x * column, 4 + row * metrics.lineSpacing() + 2); };
    QTest::mousePress(log->viewport(), Qt::LeftButton, Qt::NoModifier, at(2, 0));
    QMouseEvent drag(QEvent::MouseMove, at(10, 1), log->viewport()->mapToGlobal(at(10, 1)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(log->viewport(), &drag);
    QTest::keyClick(log, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromUtf8("rst line\n\tca"));
    QTest::keyClick(log, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(log->selectedText(), window.logText());
  }
};

int main(int argc, char** argv) {
  VirtualDisplay display;
  if (display.name().empty()) qFatal("Xvfb did not start");
  setenv("DISPLAY", display.name().c_str(), 1);
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  QApplication app(argc, argv);
  tst_SetupWindow test;
  return QTest::qExec(&test, argc, argv);
}

#include "setup_window_test.moc"
