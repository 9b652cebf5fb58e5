// The setup window's log pane: the script's output in a LogBuffer, drawn one
// row per line in the monospaced font, following its end as output arrives.
// Only the rows in sight are drawn, so neither a flood of short lines nor one
// endless line costs more than the pane shows. Ctrl+C, or Copy in its menu,
// puts the whole log on the clipboard, exactly as written.
//
// UI thread only.
#pragma once

#include <QAbstractScrollArea>
#include <QString>

#include <memory>
#include <string_view>

class LogBuffer;

class LogView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit LogView(QWidget* parent = nullptr);
  ~LogView() override;

  /// Adds `utf8` (whole characters) at the end and scrolls to the end.
  void append(std::string_view utf8);

  /// Everything the pane keeps (see LogBuffer::text()).
  QString text() const;

  /// Puts text() on the clipboard.
  void copy() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  LogBuffer& buffer();
  int visibleRows() const;

  std::unique_ptr<LogBuffer> buffer_;
};
