// Tests of the display check that keeps the toolkit from aborting when the
// program runs without a desktop session.
#include <QtTest>

#include <string>

#include "ui/display_check.h"

class tst_DisplayCheck : public QObject {
  Q_OBJECT

 private slots:
  void decidesFromTheEnvironment() {
    struct Case { const char* display; const char* wayland; const char* platform; bool expected; };
    // Any platform in the list may draw without a display; "offscreenx" only
    // starts like one that does.
    const Case cases[] = {{"", "", "", false}, {":0", "", "", true}, {"", "wayland-0", "", true},
                          {"", "", "offscreen:fontengine=freetype", true},
                          {"", "", "xcb;linuxfb", true}, {"", "", "wayland", false},
                          {"", "", "offscreenx", false}, {"", "", ";;", false}};
    for (const Case& c : cases)
      QVERIFY2(hasDisplayToOpen({c.display, c.wayland, c.platform}) == c.expected,
               (std::string("DISPLAY=") + c.display + " WAYLAND_DISPLAY=" + c.wayland +
                " QT_QPA_PLATFORM=" + c.platform).c_str());
  }
};

QTEST_GUILESS_MAIN(tst_DisplayCheck)
#include "display_check_test.moc"
