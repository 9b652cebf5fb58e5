// Tests of the display check that keeps the toolkit from aborting when the
// program runs without a desktop session.
#include <QtTest>

#include "ui/display_check.h"

class tst_DisplayCheck : public QObject {
  Q_OBJECT

 private slots:
  void decidesFromTheEnvironment_data() {
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("wayland");
    QTest::addColumn<QString>("platform");
    QTest::addColumn<bool>("expected");
    QTest::newRow("nothing set") << "" << "" << "" << false;
    QTest::newRow("x11") << ":0" << "" << "" << true;
    QTest::newRow("wayland") << "" << "wayland-0" << "" << true;
    QTest::newRow("offscreen") << "" << "" << "offscreen" << true;
    QTest::newRow("offscreen with options") << "" << "" << "offscreen:fontengine=freetype" << true;
    QTest::newRow("list ending in linuxfb") << "" << "" << "xcb;linuxfb" << true;
    QTest::newRow("xcb without display") << "" << "" << "xcb" << false;
    QTest::newRow("wayland without socket name") << "" << "" << "wayland" << false;
    QTest::newRow("name that only starts like one") << "" << "" << "offscreenx" << false;
    QTest::newRow("empty entries") << "" << "" << ";;" << false;
  }

  void decidesFromTheEnvironment() {
    QFETCH(QString, display);
    QFETCH(QString, wayland);
    QFETCH(QString, platform);
    QFETCH(bool, expected);
    const DisplayEnvironment environment{display.toStdString(), wayland.toStdString(),
                                         platform.toStdString()};
    QCOMPARE(hasDisplayToOpen(environment), expected);
  }
};

QTEST_GUILESS_MAIN(tst_DisplayCheck)
#include "display_check_test.moc"
