// A small spinning busy indicator: a rotating arc. It is drawn only while it
// runs, and its frame timer ticks only while it runs and is visible.
// UI thread only.
#pragma once

#include <QTimer>
#include <QWidget>

class BusyIndicator : public QWidget {
  Q_OBJECT

 public:
  explicit BusyIndicator(QWidget* parent = nullptr);

  /// Shows the indicator and starts turning it.
  void start();

  /// Stops turning and hides the indicator (a stopped one is not drawn).
  void stop();

  /// Whether the indicator has been started and not stopped since.
  bool isRunning() const { return running_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void advance();

  QTimer frameTimer_;
  int angle_ = 0;
  bool running_ = false;
};
