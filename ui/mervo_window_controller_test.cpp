// Tests of the setup window, driving the real controller (real bundle check,
// access probe, script runner and window) with a temporary home and capture
// bundle; only the desktop, the prompts and the program's end are faked.
#include <QtTest>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTimer>

#include <memory>
#include <string>
#include <thread>

#include "install/access.h"
#include "tests/test_support.h"
#include "ui/busy_indicator.h"
#include "ui/mervo_window_controller.h"
#include "ui/setup_screens.h"
#include "ui/setup_window.h"
#include "ui/system_actions.h"

namespace {

class FakeSystem final : public SystemActions {
 public:
  void openUrl(const QUrl& url) override { openedUrls.append(url); }
  void revealProgramFile() override { ++reveals; }
  void requestSourceAccess() override { ++accessRequests; }
  void endProgram() override { ++endings; }

  QList<QUrl> openedUrls;
  int reveals = 0;
  int accessRequests = 0;
  int endings = 0;
};

/// A temporary home with a capture bundle root inside it, set as HOME and
/// TOVANA_MERVO_ROOT for as long as it lives.
class TestHome {
 public:
  TestHome() : home_("HOME", dir_.path()), root_("TOVANA_MERVO_ROOT", dir_ / "bundle") {}

  std::string path(const std::string& relative) const { return dir_ / relative; }
  std::string root() const { return dir_ / "bundle"; }
  void writeSetupScript(const std::string& body) const { test::writeFile(root() + "/setup.sh", body); }
  void grantAccess() const { test::writeFile(dir_ / "Library/Messages/chat.db", ""); }
  void touch(const std::string& relative) const { test::writeFile(path(relative), ""); }

 private:
  test::ScopedTempDir dir_;
  test::ScopedEnv home_;
  test::ScopedEnv root_;
};

/// A setup script line that waits until the test creates $HOME/<file>, or
/// until the temporary home is gone (a script the program has left running).
std::string waitFor(const std::string& file) {
  return "while [ ! -e \"$HOME/" + file + "\" ] && [ -d \"$HOME\" ]; do sleep 0.02; done\n";
}

QStringList headlines(const QSignalSpy& spy) {
  QStringList list;
  for (const QList<QVariant>& call : spy) list.append(call.at(0).toString());
  return list;
}

/// Checks every view of `window` against `screen`.
void verifyShows(SetupWindow* window, const Screen& screen) {
  QCOMPARE(window->headline()->text(), screen.headline);
  QCOMPARE(window->body()->text(), screen.body);
  QCOMPARE(window->primaryButton()->isVisible(), screen.button.has_value());
  QCOMPARE(window->primaryButton()->text(), screen.button.value_or(QString()));
  QCOMPARE(window->secondaryButton()->isVisible(), screen.secondary);
  QCOMPARE(window->spinner()->isRunning(), screen.busy);
  QCOMPARE(window->spinner()->isVisible(), screen.busy);
}

int pollTimerCount(const MervoWindowController& controller) {
  return static_cast<int>(controller.findChildren<QTimer*>(QStringLiteral("pollTimer")).size());
}

const QUrl settingsUrl(QString::fromUtf8(Access::settingsURL.data(),
                                         static_cast<qsizetype>(Access::settingsURL.size())));

}  // namespace

class tst_MervoWindowController : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    // The fake decides what ending the program means here.
    QApplication::setQuitOnLastWindowClosed(false);
  }

  void buildsTheFixedLayout() {
    FakeSystem system;
    MervoWindowController controller(system);
    controller.build();
    SetupWindow* window = controller.window();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QCOMPARE(window->windowTitle(), QStringLiteral("Tovana Mervo"));
    QCOMPARE(window->minimumSize(), QSize(580, 460));
    QCOMPARE(window->maximumSize(), QSize(580, 460));
    // Frames are laid out from the bottom-left; in Qt they read from the top.
    QCOMPARE(window->headline()->geometry(), QRect(28, 32, 524, 32));
    QCOMPARE(window->body()->geometry(), QRect(28, 68, 524, 96));
    QCOMPARE(window->spinner()->geometry(), QRect(28, 178, 20, 20));
    QCOMPARE(window->primaryButton()->geometry(), QRect(28, 178, 240, 32));
    QCOMPARE(window->secondaryButton()->geometry(), QRect(276, 178, 160, 32));
    QCOMPARE(window->logView()->geometry(), QRect(28, 222, 524, 214));
    QCOMPARE(window->headline()->font().pixelSize(), 22);
    QCOMPARE(window->headline()->font().weight(), QFont::DemiBold);
    QCOMPARE(window->body()->font().pixelSize(), 13);
    QVERIFY(window->body()->wordWrap());
    QCOMPARE(window->logView()->font().pixelSize(), 11);
    QVERIFY(QFontInfo(window->logView()->font()).fixedPitch());
    QVERIFY(window->logView()->isReadOnly());
    QVERIFY(!window->logView()->isUndoRedoEnabled());
    // Before the first screen: an empty visible primary button, all else hidden.
    QVERIFY(window->primaryButton()->isVisible());
    QCOMPARE(window->primaryButton()->text(), QString());
    QCOMPARE(window->secondaryButton()->text(), QStringLiteral("Show me the app"));
    QVERIFY(!window->secondaryButton()->isVisible());
    QVERIFY(!window->spinner()->isVisible());
    QVERIFY(!window->logView()->isVisible());
  }

  void missingFilesScreenIsFinal() {
    TestHome home;
    FakeSystem system;
    MervoWindowController controller(system);
    controller.launch();
    const Screen expected = SetupScreens::missingFiles(QString::fromStdString(home.root()));
    QVERIFY(expected.body.contains(QString::fromStdString(home.root()) + "."));
    QTRY_COMPARE(controller.window()->headline()->text(), expected.headline);
    verifyShows(controller.window(), expected);
    QVERIFY(!controller.window()->logView()->isVisible());
    QCOMPARE(controller.pollTimer(), nullptr);
    QCOMPARE(system.accessRequests, 0);
    QVERIFY(!controller.setupHasStarted());
    QTest::keyClick(controller.window(), Qt::Key_Return);
    QCOMPARE(system.openedUrls.size(), 0);
    QCOMPARE(system.endings, 0);
  }

  void accessScreenPollsUntilGrantedThenWorks() {
    TestHome home;
    home.writeSetupScript("echo started\n" + waitFor("release") + "echo done\n");
    FakeSystem system;
    MervoWindowController controller(system);
    controller.launch();
    QTRY_COMPARE(controller.window()->headline()->text(), SetupScreens::access().headline);
    verifyShows(controller.window(), SetupScreens::access());
    QVERIFY(!controller.window()->logView()->isVisible());
    QCOMPARE(system.accessRequests, 1);
    QTimer* timer = controller.pollTimer();
    QVERIFY(timer && timer->isActive());
    QCOMPARE(timer->interval(), 1500);

    for (int press = 1; press <= 3; ++press) {
      QTest::mouseClick(controller.window()->primaryButton(), Qt::LeftButton);
      QCOMPARE(system.openedUrls.size(), press);
      QCOMPARE(system.openedUrls.last(), settingsUrl);
      QCOMPARE(controller.pollTimer(), timer);
      QCOMPARE(pollTimerCount(controller), 1);
    }
    QTest::mouseClick(controller.window()->secondaryButton(), Qt::LeftButton);
    QCOMPARE(system.reveals, 1);

    home.grantAccess();
    QTRY_COMPARE(controller.window()->headline()->text(), SetupScreens::working().headline);
    verifyShows(controller.window(), SetupScreens::working());
    QCOMPARE(controller.pollTimer(), nullptr);
    QTRY_COMPARE(pollTimerCount(controller), 0);
    QVERIFY(controller.setupHasStarted());
    QCOMPARE(system.accessRequests, 1);
    QTRY_COMPARE(controller.window()->logView()->toPlainText(), QStringLiteral("started\n"));
    QVERIFY(controller.window()->logView()->isVisible());

    home.touch("release");
    QTRY_COMPARE(controller.window()->headline()->text(), SetupScreens::success().headline);
    verifyShows(controller.window(), SetupScreens::success());
    QCOMPARE(controller.window()->logView()->toPlainText(), QStringLiteral("started\ndone\n"));
    QTest::mouseClick(controller.window()->primaryButton(), Qt::LeftButton);
    QCOMPARE(system.endings, 1);
    QCOMPARE(system.openedUrls.size(), 3);
  }

  void grantedAtLaunchRunsAtOnceAndLogsOutputUnchanged() {
    TestHome home;
    home.grantAccess();
    home.writeSetupScript(
        "printf 'one'\nsleep 0.05\nprintf ' two\\n'\nprintf 'caf\\xc3\\xa9 \\t tab  '\n"
        "echo 'to stderr' >&2\nprintf 'last'\n");
    FakeSystem system;
    MervoWindowController controller(system);
    QSignalSpy applied(&controller, &MervoWindowController::screenApplied);
    controller.launch();
    QCOMPARE(controller.pollTimer(), nullptr);
    QCOMPARE(system.accessRequests, 1);
    QTRY_COMPARE(controller.window()->headline()->text(), SetupScreens::success().headline);
    QCOMPARE(headlines(applied),
             QStringList({SetupScreens::working().headline, SetupScreens::success().headline}));
    QCOMPARE(controller.window()->logView()->toPlainText(),
             QString::fromUtf8("one two\ncaf\xc3\xa9 \t tab  to stderr\nlast"));
    QVERIFY(controller.window()->logView()->isVisible());
    QCOMPARE(pollTimerCount(controller), 0);
  }

  void endScreenFollowsExitStatus_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<QString>("log");
    QTest::newRow("0 with output") << "echo fine" << true << "fine\n";
    QTest::newRow("0 silent keeps log hidden") << "exit 0" << true << "";
    QTest::newRow("1") << "echo stopped here; exit 1" << false << "stopped here\n";
    QTest::newRow("2") << "exit 2" << false << "";
    QTest::newRow("255") << "printf x; exit 255" << false << "x";
    QTest::newRow("killed by a signal") << "echo bye; kill -KILL $$" << false << "bye\n";
  }

  void endScreenFollowsExitStatus() {
    QFETCH(QString, script);
    QFETCH(bool, succeeds);
    QFETCH(QString, log);
    TestHome home;
    home.grantAccess();
    home.writeSetupScript(script.toStdString() + "\n");
    FakeSystem system;
    MervoWindowController controller(system);
    controller.launch();
    const Screen expected = succeeds ? SetupScreens::success() : SetupScreens::failure();
    QTRY_COMPARE(controller.window()->headline()->text(), expected.headline);
    verifyShows(controller.window(), expected);
    QTRY_COMPARE(controller.window()->logView()->toPlainText(), log);
    QCOMPARE(controller.window()->logView()->isVisible(), !log.isEmpty());
    // Return is the end screen's button too, also while the log has the focus.
    QWidget* focus = log.isEmpty() ? static_cast<QWidget*>(controller.window())
                                   : controller.window()->logView();
    QTest::keyClick(focus, Qt::Key_Return);
    QCOMPARE(system.endings, 1);
  }

  void returnPressesThePrimaryButtonWhereverTheFocusIs() {
    TestHome home;
    home.writeSetupScript("exit 0\n");
    FakeSystem system;
    MervoWindowController controller(system);
    controller.launch();
    SetupWindow* window = controller.window();
    QTRY_COMPARE(window->headline()->text(), SetupScreens::access().headline);
    QTest::keyClick(window, Qt::Key_Return);
    QTest::keyClick(window->secondaryButton(), Qt::Key_Return);
    QTest::keyClick(window->primaryButton(), Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(system.openedUrls.size(), 3);
    QCOMPARE(system.reveals, 0);
    QCOMPARE(pollTimerCount(controller), 1);
    QTest::keyClick(window, Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(system.openedUrls.size(), 3);
  }

  void startSetupTwiceChangesNothing() {
    TestHome home;
    home.grantAccess();
    home.writeSetupScript("echo run >> \"$HOME/runs\"\n" + waitFor("release"));
    FakeSystem system;
    MervoWindowController controller(system);
    QSignalSpy applied(&controller, &MervoWindowController::screenApplied);
    controller.launch();
    QTRY_COMPARE(applied.count(), 1);
    controller.startSetup();
    controller.startSetup();
    QCoreApplication::processEvents();
    QTRY_COMPARE(test::readFile(home.path("runs")).value_or(""), std::string("run\n"));
    QCOMPARE(applied.count(), 1);
    home.touch("release");
    QTRY_COMPARE(controller.window()->headline()->text(), SetupScreens::success().headline);
    QCOMPARE(test::readFile(home.path("runs")).value_or(""), std::string("run\n"));
    QCOMPARE(headlines(applied),
             QStringList({SetupScreens::working().headline, SetupScreens::success().headline}));
  }

  void closingTheWindowEndsTheProgramInEveryState_data() {
    QTest::addColumn<bool>("bundle");
    QTest::addColumn<bool>("granted");
    QTest::addColumn<QString>("headline");
    QTest::newRow("missing files") << false << false << SetupScreens::missingFiles("").headline;
    QTest::newRow("access") << true << false << SetupScreens::access().headline;
    QTest::newRow("script still running") << true << true << SetupScreens::working().headline;
  }

  void closingTheWindowEndsTheProgramInEveryState() {
    QFETCH(bool, bundle);
    QFETCH(bool, granted);
    QFETCH(QString, headline);
    TestHome home;
    if (bundle) home.writeSetupScript("echo waiting\n" + waitFor("release"));
    if (granted) home.grantAccess();
    FakeSystem system;
    auto controller = std::make_unique<MervoWindowController>(system);
    controller->launch();
    QTRY_COMPARE(controller->window()->headline()->text(), headline);
    if (granted) QTRY_VERIFY(controller->window()->logView()->isVisible());
    controller->window()->close();
    QCOMPARE(system.endings, 1);
    // Ending does not wait for a script that still runs.
    controller.reset();
    home.touch("release");
  }

  void showAndAppendApplyLaterInCallOrder() {
    FakeSystem system;
    MervoWindowController controller(system);
    controller.build();
    QSignalSpy applied(&controller, &MervoWindowController::screenApplied);
    SetupWindow* window = controller.window();
    controller.show(SetupScreens::access());
    controller.append("");
    QCOMPARE(window->headline()->text(), QString());  // not yet: applied later
    QVERIFY(!window->logView()->isVisible());
    controller.append("a");
    controller.show(SetupScreens::failure());
    controller.append("b\n");
    controller.append("c");
    QTRY_COMPARE(applied.count(), 2);
    QCOMPARE(headlines(applied),
             QStringList({SetupScreens::access().headline, SetupScreens::failure().headline}));
    verifyShows(window, SetupScreens::failure());
    QCOMPARE(window->logView()->toPlainText(), QStringLiteral("ab\nc"));
    QVERIFY(window->logView()->isVisible());
  }

  void emptyFirstAppendRevealsTheLog() {
    FakeSystem system;
    MervoWindowController controller(system);
    controller.build();
    controller.append("");
    QTRY_VERIFY(controller.window()->logView()->isVisible());
    QCOMPARE(controller.window()->logView()->toPlainText(), QString());
  }

  void appendsFromAnotherThreadKeepEveryPieceInOrder() {
    FakeSystem system;
    MervoWindowController controller(system);
    controller.build();
    std::string expected;
    for (int i = 0; i < 3000; ++i) expected += std::to_string(i) + (i % 7 ? " \xc3\xa9 " : "\n");
    std::thread writer([&controller] {
      for (int i = 0; i < 3000; ++i)
        controller.append(std::to_string(i) + (i % 7 ? " \xc3\xa9 " : "\n"));
    });
    writer.join();
    QTRY_COMPARE(controller.window()->logView()->toPlainText().toStdString(), expected);
    QScrollBar* bar = controller.window()->logView()->verticalScrollBar();
    QCOMPARE(bar->value(), bar->maximum());
  }

  void floodOfScriptOutputReachesTheLogWhole() {
    TestHome home;
    home.grantAccess();
    home.writeSetupScript(
        "for i in $(seq 1 20000); do echo \"line $i of the flood, in many small writes\"; done\n");
    std::string expected;
    for (int i = 1; i <= 20000; ++i)
      expected += "line " + std::to_string(i) + " of the flood, in many small writes\n";
    FakeSystem system;
    MervoWindowController controller(system);
    controller.launch();
    QTRY_COMPARE_WITH_TIMEOUT(controller.window()->headline()->text(),
                              SetupScreens::success().headline, 60000);
    QVERIFY(controller.window()->logView()->toPlainText().toStdString() == expected);
  }
};

QTEST_MAIN(tst_MervoWindowController)
#include "mervo_window_controller_test.moc"
