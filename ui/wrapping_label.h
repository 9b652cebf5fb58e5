// A plain-text label that wraps at word boundaries and, where a word is wider
// than the label (a long path), anywhere inside it, so no text runs past the
// right edge. QLabel's own word wrap never breaks inside a word. The text
// itself is unchanged: text() gives back what was set.
// UI thread only.
#pragma once

#include <QLabel>

class WrappingLabel : public QLabel {
  Q_OBJECT

 public:
  explicit WrappingLabel(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};
