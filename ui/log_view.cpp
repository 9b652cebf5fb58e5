#include "ui/log_view.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <utility>

#include "ui/log_buffer.h"

namespace {
constexpr int kPadding = 4;
}  // namespace

LogView::LogView(QWidget* parent) : QAbstractScrollArea(parent) {
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFocusPolicy(Qt::ClickFocus);
  viewport()->setCursor(Qt::IBeamCursor);
}

LogView::~LogView() = default;

LogBuffer& LogView::buffer() {
  // Made on the first output, when the font and the size are settled: the
  // rows are as wide as the pane.
  if (!buffer_) {
    const int textWidth = width() - 2 * frameWidth() - verticalScrollBar()->sizeHint().width() -
                          2 * kPadding;
    buffer_ = std::make_unique<LogBuffer>(LogBuffer::kCapacityBytes, textWidth / columnWidth());
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

QString LogView::selectedText() const {
  if (!buffer_) return QString();
  const auto [from, to] = std::minmax(selectionAnchor_, selectionEnd_);
  return QString::fromStdString(buffer_->text(from, to));
}

int LogView::visibleRows() const {
  return std::max(1, (viewport()->height() - kPadding) / fontMetrics().lineSpacing());
}

int LogView::columnWidth() const {
  return std::max(1, fontMetrics().horizontalAdvance(QLatin1Char('M')));
}

void LogView::paintEvent(QPaintEvent*) {
  if (!buffer_) return;
  QPainter painter(viewport());
  const QFontMetrics metrics = fontMetrics();
  const auto [from, to] = std::minmax(selectionAnchor_, selectionEnd_);
  int y = kPadding;
  for (const LogRow& row : buffer_->rows(verticalScrollBar()->value(), visibleRows() + 1)) {
    const uint64_t rowEnd = row.offset + row.text.size();
    QRect selected;
    if (from < to && from <= rowEnd && to > row.offset) {
      const auto columnOf = [&row](uint64_t offset) {
        return LogBuffer::columnsOf(row.text, std::clamp(offset, row.offset, row.offset + row.text.size()) - row.offset);
      };
      const int left = columnOf(from), right = to > rowEnd ? columnOf(rowEnd) + 1 : columnOf(to);
      selected = QRect(kPadding + left * columnWidth(), y, (right - left) * columnWidth(),
                       metrics.lineSpacing());
    }
    const QString drawn = QString::fromStdString(LogBuffer::withTabsExpanded(row.text));
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(kPadding, y + metrics.ascent(), drawn);
    if (!selected.isEmpty()) {
      painter.fillRect(selected, palette().color(QPalette::Highlight));
      painter.setClipRect(selected);
      painter.setPen(palette().color(QPalette::HighlightedText));
      painter.drawText(kPadding, y + metrics.ascent(), drawn);
      painter.setClipping(false);
    }
    y += metrics.lineSpacing();
  }
}

uint64_t LogView::offsetAt(const QPoint& position) const {
  const int64_t row = verticalScrollBar()->value() +
                      std::max(0, position.y() - kPadding) / fontMetrics().lineSpacing();
  const int column = std::max(0, position.x() - kPadding + columnWidth() / 2) / columnWidth();
  return buffer_->offsetAt(row, column);
}

void LogView::mousePressEvent(QMouseEvent* event) {
  if (!buffer_ || event->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(event);
  selectionAnchor_ = selectionEnd_ = offsetAt(event->position().toPoint());
  viewport()->update();
}

void LogView::mouseMoveEvent(QMouseEvent* event) {
  if (!buffer_ || !(event->buttons() & Qt::LeftButton)) return;
  selectionEnd_ = offsetAt(event->position().toPoint());
  viewport()->update();
}

void LogView::keyPressEvent(QKeyEvent* event) {
  if (event == QKeySequence::Copy)
    copySelection();
  else if (event == QKeySequence::SelectAll)
    selectAll();
  else
    QAbstractScrollArea::keyPressEvent(event);
}

void LogView::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  menu.addAction(tr("Copy"), this, &LogView::copySelection)->setEnabled(selectionAnchor_ != selectionEnd_);
  menu.addAction(tr("Select All"), this, &LogView::selectAll)->setEnabled(buffer_ != nullptr);
  menu.exec(event->globalPos());
}

void LogView::scrollContentsBy(int, int) { viewport()->update(); }

void LogView::copySelection() const {
  if (selectionAnchor_ != selectionEnd_) QGuiApplication::clipboard()->setText(selectedText());
}

void LogView::selectAll() {
  if (!buffer_) return;
  selectionAnchor_ = 0;
  selectionEnd_ = buffer_->endOffset();
  viewport()->update();
}
