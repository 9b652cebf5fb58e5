#include "ui/log_view.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cstdint>

#include "ui/log_buffer.h"

namespace {
constexpr int kPadding = 4;
}  // namespace

LogView::LogView(QWidget* parent) : QAbstractScrollArea(parent) {
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFocusPolicy(Qt::ClickFocus);
}

LogView::~LogView() = default;

LogBuffer& LogView::buffer() {
  // Made with the first output, when font and size are settled: a row is as
  // wide as the pane.
  if (!buffer_) {
    const int textWidth =
        width() - 2 * frameWidth() - verticalScrollBar()->sizeHint().width() - 2 * kPadding;
    const int columnWidth = std::max(1, fontMetrics().horizontalAdvance(QLatin1Char('M')));
    buffer_ = std::make_unique<LogBuffer>(LogBuffer::kCapacityBytes, textWidth / columnWidth);
  }
  return *buffer_;
}

void LogView::append(std::string_view utf8) {
  buffer().append(utf8);
  QScrollBar* bar = verticalScrollBar();
  const int64_t hidden = std::max<int64_t>(0, buffer_->rowCount() - visibleRows());
  bar->setRange(0, static_cast<int>(std::min<int64_t>(hidden, INT32_MAX)));
  bar->setPageStep(visibleRows());
  bar->setValue(bar->maximum());
  viewport()->update();
}

QString LogView::text() const {
  return buffer_ ? QString::fromStdString(buffer_->text()) : QString();
}

void LogView::copy() const { QGuiApplication::clipboard()->setText(text()); }

int LogView::visibleRows() const {
  return std::max(1, (viewport()->height() - kPadding) / fontMetrics().lineSpacing());
}

void LogView::paintEvent(QPaintEvent*) {
  if (!buffer_) return;
  QPainter painter(viewport());
  painter.setPen(palette().color(QPalette::Text));
  const QFontMetrics metrics = fontMetrics();
  int baseline = kPadding + metrics.ascent();
  for (const LogRow& row : buffer_->rows(verticalScrollBar()->value(), visibleRows() + 1)) {
    painter.drawText(kPadding, baseline,
                     QString::fromStdString(LogBuffer::withTabsExpanded(row.text)));
    baseline += metrics.lineSpacing();
  }
}

void LogView::keyPressEvent(QKeyEvent* event) {
  if (event == QKeySequence::Copy)
    copy();
  else
    QAbstractScrollArea::keyPressEvent(event);
}

void LogView::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  menu.addAction(tr("Copy"), this, &LogView::copy)->setEnabled(buffer_ != nullptr);
  menu.exec(event->globalPos());
}

void LogView::scrollContentsBy(int, int) { viewport()->update(); }
