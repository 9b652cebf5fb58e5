#include "ui/log_view.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>

#include <algorithm>
#include <functional>
#include <vector>

#include "ui/log_buffer.h"

namespace {
constexpr int kPadding = 4;
constexpr int kDragScrollMs = 50;
}  // namespace

LogView::LogView(QWidget* parent) : QAbstractScrollArea(parent) {
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFocusPolicy(Qt::ClickFocus);
  viewport()->setCursor(Qt::IBeamCursor);
  dragScroll_.setInterval(kDragScrollMs);
  connect(&dragScroll_, &QTimer::timeout, this, &LogView::scrollTowardsDrag);
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
  selection_.keepWithin(*buffer_);
  QScrollBar* bar = verticalScrollBar();
  const int64_t hidden = std::max<int64_t>(0, buffer_->rowCount() - visibleRows());
  bar->setRange(0, static_cast<int>(std::min<int64_t>(hidden, INT32_MAX)));
  bar->setPageStep(visibleRows());
  // Following the end under a drag would pull the text away from the mouse.
  if (!dragging_) bar->setValue(bar->maximum());
  viewport()->update();
}

QString LogView::text() const {
  return buffer_ ? QString::fromStdString(buffer_->text()) : QString();
}

QString LogView::selectedText() const {
  return buffer_ ? QString::fromStdString(selection_.text(*buffer_)) : QString();
}

void LogView::copy() const {
  QGuiApplication::clipboard()->setText(selection_.isEmpty() ? text() : selectedText());
}

void LogView::selectAll() {
  if (!buffer_) return;
  selection_.select(buffer_->firstOffset(), buffer_->endOffset());
  selectionChanged();
}

void LogView::selectionChanged() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!selection_.isEmpty() && clipboard->supportsSelection())
    clipboard->setText(selectedText(), QClipboard::Selection);
  viewport()->update();
}

int LogView::visibleRows() const {
  return std::max(1, (viewport()->height() - kPadding) / fontMetrics().lineSpacing());
}

double LogView::widthOf(std::string_view rowPrefix) const {
  return fontMetrics().horizontalAdvance(
      QString::fromStdString(LogBuffer::withTabsExpanded(rowPrefix)));
}

std::optional<LogRow> LogView::rowAt(QPoint point) const {
  const int y = std::clamp(point.y(), kPadding, std::max(kPadding, viewport()->height() - 1));
  const int64_t row = verticalScrollBar()->value() + (y - kPadding) / fontMetrics().lineSpacing();
  std::vector<LogRow> rows = buffer_->rows(row, 1);
  if (rows.empty()) return std::nullopt;
  return std::move(rows.front());
}

uint64_t LogView::offsetAt(QPoint point) const {
  const std::optional<LogRow> row = rowAt(point);
  if (!row) return buffer_->endOffset();
  return LogSelection::offsetAt(*row, point.x() - kPadding,
                                std::bind_front(&LogView::widthOf, this));
}

void LogView::paintEvent(QPaintEvent*) {
  if (!buffer_) return;
  QPainter painter(viewport());
  painter.setPen(palette().color(QPalette::Text));
  const QFontMetrics metrics = fontMetrics();
  int top = kPadding;
  for (const LogRow& row : buffer_->rows(verticalScrollBar()->value(), visibleRows() + 1)) {
    const QString drawn = QString::fromStdString(LogBuffer::withTabsExpanded(row.text));
    painter.drawText(kPadding, top + metrics.ascent(), drawn);
    if (!selection_.isEmpty() && selection_.from() < row.end && selection_.to() > row.offset)
      paintSelection(painter, row, drawn, top);
    top += metrics.lineSpacing();
  }
}

void LogView::paintSelection(QPainter& painter, const LogRow& row, const QString& drawn,
                             int top) const {
  const uint64_t textEnd = row.offset + row.text.size();
  const auto xOf = [&](uint64_t offset) {
    const uint64_t inRow = std::clamp(offset, row.offset, textEnd) - row.offset;
    return kPadding + widthOf(std::string_view(row.text).substr(0, inRow));
  };
  // A selection that goes on past the row's text (its line feed, or the
  // rest of a long line) is drawn to the pane's edge.
  const double right = selection_.to() > textEnd ? viewport()->width() : xOf(selection_.to());
  const QRectF band(QPointF(xOf(selection_.from()), top),
                    QPointF(right, top + fontMetrics().lineSpacing()));
  painter.save();
  painter.fillRect(band, palette().color(QPalette::Highlight));
  painter.setClipRect(band);
  painter.setPen(palette().color(QPalette::HighlightedText));
  painter.drawText(kPadding, top + fontMetrics().ascent(), drawn);
  painter.restore();
}

bool LogView::isThirdClick(const QMouseEvent& press) const {
  const QStyleHints* hints = QGuiApplication::styleHints();
  const auto interval = static_cast<uint64_t>(hints->mouseDoubleClickInterval());
  return doubleClickTime_ && press.timestamp() - *doubleClickTime_ < interval &&
         (press.position().toPoint() - doubleClickPoint_).manhattanLength() <
             hints->startDragDistance();
}

void LogView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !buffer_)
    return QAbstractScrollArea::mousePressEvent(event);
  const QPoint point = event->position().toPoint();
  const bool thirdClick = isThirdClick(*event);
  doubleClickTime_.reset();
  dragging_ = !thirdClick;
  if (thirdClick) {
    if (const std::optional<LogRow> row = rowAt(point)) selection_.select(row->offset, row->end);
  } else if (event->modifiers() & Qt::ShiftModifier) {
    selection_.extendTo(offsetAt(point));
  } else {
    selection_.start(offsetAt(point));
  }
  viewport()->update();
}

void LogView::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return QAbstractScrollArea::mouseMoveEvent(event);
  dragPoint_ = event->position().toPoint();
  selection_.extendTo(offsetAt(dragPoint_));
  const bool outside = dragPoint_.y() < 0 || dragPoint_.y() >= viewport()->height();
  if (!outside)
    dragScroll_.stop();
  else if (!dragScroll_.isActive())
    dragScroll_.start();
  viewport()->update();
}

void LogView::scrollTowardsDrag() {
  // The farther out the mouse, the faster: a row, plus one per row's height.
  const int beyond =
      dragPoint_.y() < 0 ? dragPoint_.y() : dragPoint_.y() - viewport()->height() + 1;
  const int rows = beyond / fontMetrics().lineSpacing() + (beyond < 0 ? -1 : 1);
  verticalScrollBar()->setValue(verticalScrollBar()->value() + rows);
  selection_.extendTo(offsetAt(dragPoint_));
  viewport()->update();
}

void LogView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !buffer_)
    return QAbstractScrollArea::mouseReleaseEvent(event);
  endDrag();
  selectionChanged();
}

void LogView::endDrag() {
  dragging_ = false;
  dragScroll_.stop();
}

void LogView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !buffer_) return;
  const QPoint point = event->position().toPoint();
  dragging_ = false;
  doubleClickTime_ = event->timestamp();
  doubleClickPoint_ = point;
  if (const std::optional<LogRow> row = rowAt(point))
    selection_.selectWordAt(*row, point.x() - kPadding, std::bind_front(&LogView::widthOf, this));
  viewport()->update();
}

void LogView::keyPressEvent(QKeyEvent* event) {
  if (event == QKeySequence::Copy)
    copy();
  else if (event == QKeySequence::SelectAll)
    selectAll();
  else
    QAbstractScrollArea::keyPressEvent(event);
}

void LogView::contextMenuEvent(QContextMenuEvent* event) {
  endDrag();  // the menu takes the mouse, and with it a drag's release
  QMenu menu(this);
  menu.addAction(tr("Copy"), QKeySequence::Copy, this, &LogView::copy)
      ->setEnabled(buffer_ != nullptr);
  menu.addAction(tr("Select All"), QKeySequence::SelectAll, this, &LogView::selectAll)
      ->setEnabled(buffer_ != nullptr);
  menu.exec(event->globalPos());
}

void LogView::scrollContentsBy(int, int) { viewport()->update(); }
