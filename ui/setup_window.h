// The setup assistant's one window: a headline, a body text, a busy
// indicator, the primary button, "Show me the app" and the log pane, at fixed
// places in a 580 x 460 window that cannot be resized. It only shows what it
// is told; the flow lives in MervoWindowController.
//
// UI thread only.
#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <QTextCursor>
#include <QWidget>

class BusyIndicator;
class QLabel;
class QPushButton;
struct Screen;

/// A frame given with its origin at the bottom-left of the window's content,
/// y growing upwards, turned into Qt's top-left geometry.
QRect frameFromBottomLeft(int x, int y, int width, int height);

class SetupWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kContentWidth = 580;
  static constexpr int kContentHeight = 460;

  SetupWindow();

  /// Replaces both texts, the primary button's title and visibility, the
  /// visibility of "Show me the app" and the busy indicator at once.
  void applyScreen(const Screen& screen);

  /// The most characters (UTF-16 units) one line of the log pane holds.
  /// A longer line is broken for display: laying out a line costs time in
  /// proportion to its length, and it is laid out again whenever it grows,
  /// so output without line breaks would otherwise stall the window for
  /// longer and longer. The break exists only in the view (see logText()).
  static constexpr qsizetype kLongestLogLine = 2000;

  /// Reveals the log pane, adds `text` at its end exactly as given (lines
  /// longer than kLongestLogLine continue on the next display line) and
  /// scrolls to the end.
  void appendLog(const QString& text);

  /// Everything appended, in order, without the display breaks.
  QString logText() const;

  /// Centres the window on its screen, shows it and brings it to the front.
  void present();

  QLabel* headline() const { return headline_; }
  QLabel* body() const { return body_; }
  BusyIndicator* spinner() const { return spinner_; }
  QPushButton* primaryButton() const { return primaryButton_; }
  QPushButton* secondaryButton() const { return secondaryButton_; }
  QPlainTextEdit* logView() const { return logView_; }

 signals:
  /// The primary button was pressed, by click or by Return.
  void primaryTapped();
  /// "Show me the app" was pressed.
  void revealTapped();
  /// The window was closed.
  void closed();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildViews();
  void insertLog(const QString& text, qsizetype from, qsizetype to);

  QLabel* headline_ = nullptr;
  QLabel* body_ = nullptr;
  BusyIndicator* spinner_ = nullptr;
  QPushButton* primaryButton_ = nullptr;
  QPushButton* secondaryButton_ = nullptr;
  QPlainTextEdit* logView_ = nullptr;
  QTextCursor logEnd_;
};
