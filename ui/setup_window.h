// The setup assistant's one window: a headline, a body text, a busy
// indicator, the primary button, "Show me the app" and the log pane, at fixed
// places in a 580 x 460 window that cannot be resized. It only shows what it
// is told; the flow lives in MervoWindowController.
//
// UI thread only.
#pragma once

#include <QString>
#include <QWidget>

#include <memory>
#include <string_view>

class BusyIndicator;
class DestroyedWindowWatch;
class LogView;
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
  ~SetupWindow() override;

  /// Replaces both texts, the primary button's title and visibility, the
  /// visibility of "Show me the app" and the busy indicator at once.
  void applyScreen(const Screen& screen);

  /// Reveals the log pane, adds `utf8` (whole characters) at its end
  /// exactly as given and scrolls to the end.
  void appendLog(std::string_view utf8);

  /// What the log pane keeps: all output, or its newest 64 MiB.
  QString logText() const;

  /// Centres the window on its screen, shows it and brings it to the front.
  void present();

  QLabel* headline() const { return headline_; }
  QLabel* body() const { return body_; }
  BusyIndicator* spinner() const { return spinner_; }
  QPushButton* primaryButton() const { return primaryButton_; }
  QPushButton* secondaryButton() const { return secondaryButton_; }
  LogView* logView() const { return logView_; }

 signals:
  /// The primary button was pressed, by click or by Return.
  void primaryTapped();
  /// "Show me the app" was pressed.
  void revealTapped();
  /// The window was closed, or destroyed by another program.
  void closed();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildViews();

  QLabel* headline_ = nullptr;
  QLabel* body_ = nullptr;
  BusyIndicator* spinner_ = nullptr;
  QPushButton* primaryButton_ = nullptr;
  QPushButton* secondaryButton_ = nullptr;
  LogView* logView_ = nullptr;
  std::unique_ptr<DestroyedWindowWatch> destroyedWatch_;
};
