#include "ui/busy_indicator.h"

#include <QPainter>
#include <QPen>

namespace {
constexpr int kFrameMilliseconds = 40;
constexpr int kDegreesPerFrame = 18;
constexpr int kArcDegrees = 270;
}  // namespace

BusyIndicator::BusyIndicator(QWidget* parent) : QWidget(parent) {
  frameTimer_.setInterval(kFrameMilliseconds);
  connect(&frameTimer_, &QTimer::timeout, this, &BusyIndicator::advance);
  hide();
}

void BusyIndicator::start() {
  running_ = true;
  show();
  if (isVisible()) frameTimer_.start();
}

void BusyIndicator::stop() {
  running_ = false;
  frameTimer_.stop();
  hide();
}

void BusyIndicator::paintEvent(QPaintEvent*) {
  if (!running_) return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal width = qMax<qreal>(2.0, qMin(this->width(), height()) / 8.0);
  QPen pen(palette().color(QPalette::WindowText), width, Qt::SolidLine, Qt::RoundCap);
  painter.setPen(pen);
  const QRectF bounds = QRectF(rect()).adjusted(width, width, -width, -width);
  // Qt counts arcs in sixteenths of a degree, anticlockwise.
  painter.drawArc(bounds, -angle_ * 16, kArcDegrees * 16);
}

void BusyIndicator::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (running_) frameTimer_.start();
}

void BusyIndicator::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  frameTimer_.stop();
}

void BusyIndicator::advance() {
  angle_ = (angle_ + kDegreesPerFrame) % 360;
  update();
}
