// The setup window's log pane: the script's output in a LogBuffer, drawn one
// row per line in the monospaced font, following its end as output arrives.
// Only the rows in sight are drawn, so neither a flood of short lines nor one
// endless line costs more than the pane shows. The mouse selects as in any
// read-only text pane: press and drag (scrolling past the top or bottom),
// Shift+click to extend, double-click for a word, triple-click for a row,
// Ctrl+A for everything. Ctrl+C, or Copy in its menu, puts the selection on
// the clipboard exactly as written, or the whole log when nothing is
// selected; on X11 a selection also becomes the primary selection.
//
// UI thread only.
#pragma once

#include <QAbstractScrollArea>
#include <QPoint>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "ui/log_selection.h"

class LogBuffer;
struct LogRow;

class LogView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit LogView(QWidget* parent = nullptr);
  ~LogView() override;

  /// Adds `utf8` (whole characters) at the end and scrolls to the end,
  /// unless a drag is selecting.
  void append(std::string_view utf8);

  /// Everything the pane keeps (see LogBuffer::text()).
  QString text() const;

  /// The selected text; empty when nothing is selected.
  QString selectedText() const;

  /// Puts selectedText() on the clipboard, or text() when nothing is selected.
  void copy() const;

  /// Selects everything the pane keeps.
  void selectAll();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  LogBuffer& buffer();
  int visibleRows() const;
  double widthOf(std::string_view rowPrefix) const;
  /// The row drawn at the height of `point` (held inside the pane), or none
  /// below the last row.
  std::optional<LogRow> rowAt(QPoint point) const;
  /// The character boundary nearest to `point`, as an offset of the output.
  uint64_t offsetAt(QPoint point) const;
  /// Whether `press` follows a double-click closely enough in time and place.
  bool isThirdClick(const QMouseEvent& press) const;
  void paintSelection(QPainter& painter, const LogRow& row, const QString& drawn, int top) const;
  void scrollTowardsDrag();
  void endDrag();
  /// Offers the selection as X11's primary selection; repaints.
  void selectionChanged();

  std::unique_ptr<LogBuffer> buffer_;
  LogSelection selection_;
  bool dragging_ = false;
  QPoint dragPoint_;
  QTimer dragScroll_;  // runs while a drag is above or below the pane
  // Where and when the last double-click was, to know a third click.
  QPoint doubleClickPoint_;
  std::optional<uint64_t> doubleClickTime_;
};
