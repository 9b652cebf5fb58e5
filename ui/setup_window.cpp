#include "ui/setup_window.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "ui/busy_indicator.h"
#include "ui/destroyed_window_watch.h"
#include "ui/log_view.h"
#include "ui/secondary_text_colour.h"
#include "ui/setup_screens.h"
#include "ui/wrapping_label.h"

namespace {

// Font sizes are in the same units as the layout (device-independent
// pixels), as the layout was drawn with them; point sizes would grow the
// text by a third at 96 dpi and clip the body.
constexpr int kHeadlinePixels = 22;
constexpr int kBodyPixels = 13;
constexpr int kLogPixels = 11;
constexpr int kMargin = 28;
constexpr int kFullWidth = SetupWindow::kContentWidth - 2 * kMargin;

/// The platform's secondary text colour (the palette's placeholder text),
/// made legible against the widget's background.
void useSecondaryTextColour(QWidget* widget, QPalette::ColorRole background) {
  QPalette palette = widget->palette();
  const QPalette::ColorRole primary =
      background == QPalette::Base ? QPalette::Text : QPalette::WindowText;
  const QColor secondary = legibleSecondaryColour(
      palette.color(QPalette::PlaceholderText), palette.color(primary), palette.color(background));
  palette.setColor(QPalette::WindowText, secondary);
  palette.setColor(QPalette::Text, secondary);
  widget->setPalette(palette);
}

QFont systemFontOfPixelSize(int pixels, QFont::Weight weight) {
  QFont font = QGuiApplication::font();
  font.setPixelSize(pixels);
  font.setWeight(weight);
  return font;
}

}  // namespace

QRect frameFromBottomLeft(int x, int y, int width, int height) {
  return QRect(x, SetupWindow::kContentHeight - y - height, width, height);
}

SetupWindow::SetupWindow() {
  setWindowTitle(QStringLiteral("Tovana Mervo"));
  setFixedSize(kContentWidth, kContentHeight);
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::WindowMinimizeButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  buildViews();
  destroyedWatch_ = std::make_unique<DestroyedWindowWatch>(*this, [this] { emit closed(); });
}

SetupWindow::~SetupWindow() = default;

void SetupWindow::buildViews() {
  headline_ = new QLabel(this);
  headline_->setGeometry(frameFromBottomLeft(kMargin, 396, kFullWidth, 32));
  headline_->setFont(systemFontOfPixelSize(kHeadlinePixels, QFont::DemiBold));
  headline_->setTextFormat(Qt::PlainText);

  // The missing-files body holds a path, which may be one long word.
  body_ = new WrappingLabel(this);
  body_->setGeometry(frameFromBottomLeft(kMargin, 296, kFullWidth, 96));
  body_->setFont(systemFontOfPixelSize(kBodyPixels, QFont::Normal));
  body_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  useSecondaryTextColour(body_, QPalette::Window);

  spinner_ = new BusyIndicator(this);
  spinner_->setGeometry(frameFromBottomLeft(kMargin, 262, 20, 20));

  primaryButton_ = new QPushButton(this);
  primaryButton_->setGeometry(frameFromBottomLeft(kMargin, 250, 240, 32));
  connect(primaryButton_, &QPushButton::clicked, this, &SetupWindow::primaryTapped);

  secondaryButton_ = new QPushButton(QStringLiteral("Show me the app"), this);
  secondaryButton_->setGeometry(frameFromBottomLeft(276, 250, 160, 32));
  secondaryButton_->hide();
  connect(secondaryButton_, &QPushButton::clicked, this, &SetupWindow::revealTapped);

  logView_ = new LogView(this);
  logView_->setGeometry(frameFromBottomLeft(kMargin, 24, kFullWidth, 214));
  logView_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  QFont logFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  logFont.setPixelSize(kLogPixels);
  logFont.setWeight(QFont::Normal);
  logView_->setFont(logFont);
  useSecondaryTextColour(logView_, QPalette::Base);
  logView_->hide();
}

void SetupWindow::applyScreen(const Screen& screen) {
  headline_->setText(screen.headline);
  body_->setText(screen.body);
  primaryButton_->setText(screen.button.value_or(QString()));
  primaryButton_->setVisible(screen.button.has_value());
  secondaryButton_->setVisible(screen.secondary);
  if (screen.busy)
    spinner_->start();
  else
    spinner_->stop();
}

void SetupWindow::appendLog(std::string_view utf8) {
  logView_->show();
  logView_->append(utf8);
}

QString SetupWindow::logText() const { return logView_->text(); }

void SetupWindow::present() {
  if (QScreen* screen = this->screen()) {
    QRect area = screen->availableGeometry();
    move(area.center() - QPoint(kContentWidth / 2, kContentHeight / 2));
  }
  show();
  raise();
  activateWindow();
}

void SetupWindow::keyPressEvent(QKeyEvent* event) {
  // Return is the primary button's key, whichever view has the focus; a
  // plain window has no default button to do this for us.
  const bool isReturn = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  const bool plain =
      event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier;
  if (isReturn && plain) {
    if (!primaryButton_->isHidden()) primaryButton_->click();
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void SetupWindow::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  emit closed();
}
