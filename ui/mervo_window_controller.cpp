#include "ui/mervo_window_controller.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>

#include <cstdint>
#include <type_traits>
#include <variant>

#include "install/access.h"
#include "install/mervo_paths.h"
#include "ui/pending_changes.h"
#include "ui/setup_run.h"
#include "ui/setup_window.h"
#include "ui/system_actions.h"

namespace {

constexpr int kPollMilliseconds = 1500;

/// The most output applied in one turn of the event loop: small enough that
/// a flood of output never holds the UI thread for long.
constexpr std::size_t kOutputBytesPerTurn = 16 * 1024;

}  // namespace

MervoWindowController::MervoWindowController(SystemActions& system, QObject* parent)
    : QObject(parent),
      system_(system),
      changes_(std::make_shared<PendingChanges>()),
      wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  // Changes wake the UI thread through a descriptor of its own: a write on
  // any thread, a read in the event loop. The hand-over is then one the
  // kernel orders, with nothing allocated on one thread and read on another.
  if (!wakeFd_.isOpen()) {
    changes_->attach([this] {
      QMetaObject::invokeMethod(this, &MervoWindowController::applyPendingChanges,
                                Qt::QueuedConnection);
    });
    return;
  }
  wakeNotifier_ = std::make_unique<QSocketNotifier>(wakeFd_.get(), QSocketNotifier::Read);
  connect(wakeNotifier_.get(), &QSocketNotifier::activated, this, [this] {
    uint64_t wakes = 0;
    if (read(wakeFd_.get(), &wakes, sizeof wakes) == sizeof wakes) applyPendingChanges();
  });
  changes_->attach([fd = wakeFd_.get()] {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(fd, &one, sizeof one);
  });
}

MervoWindowController::~MervoWindowController() {
  // Detached first: a setup run still going drops its output from here on
  // and never waits for this controller again.
  changes_->detach();
  setupRun_.reset();
}

void MervoWindowController::launch() {
  build();
  begin();
}

void MervoWindowController::build() {
  window_ = std::make_unique<SetupWindow>();
  connect(window_.get(), &SetupWindow::primaryTapped, this, &MervoWindowController::primaryTapped);
  connect(window_.get(), &SetupWindow::revealTapped, this, &MervoWindowController::revealTapped);
  // Closing the window ends the program in every state.
  connect(window_.get(), &SetupWindow::closed, this, &MervoWindowController::endProgram);
  window_->present();
}

void MervoWindowController::show(const Screen& screen) { changes_->addScreen(screen); }

void MervoWindowController::append(const std::string& text) { changes_->addOutput(text); }

void MervoWindowController::begin() {
  if (!MervoPaths::installed()) {
    show(SetupScreens::missingFiles(QString::fromStdString(MervoPaths::root())));
    return;
  }
  if (Access::check().isGranted()) {
    startSetup();
  } else {
    show(SetupScreens::access());
    startPolling();
  }
  system_.requestSourceAccess();
}

void MervoWindowController::startSetup() {
  if (setupHasStarted_) return;
  setupHasStarted_ = true;
  show(SetupScreens::working());
  setupRun_ = std::make_unique<SetupRun>(changes_);
}

void MervoWindowController::startPolling() {
  if (pollTimer_) return;
  // A child of the controller: it cannot outlive it.
  pollTimer_ = new QTimer(this);
  pollTimer_->setInterval(kPollMilliseconds);
  connect(pollTimer_, &QTimer::timeout, this, &MervoWindowController::pollTick);
  pollTimer_->start();
}

void MervoWindowController::pollTick() {
  if (!Access::check().isGranted()) return;
  pollTimer_->stop();
  pollTimer_->deleteLater();
  pollTimer_ = nullptr;
  startSetup();
}

void MervoWindowController::openSettings() {
  const QUrl url(QString::fromUtf8(Access::settingsURL.data(),
                                   static_cast<qsizetype>(Access::settingsURL.size())),
                 QUrl::StrictMode);
  if (url.isValid()) system_.openUrl(url);
  startPolling();
}

void MervoWindowController::primaryTapped() {
  if (setupHasStarted_)
    endProgram();
  else
    openSettings();
}

void MervoWindowController::revealTapped() { system_.revealProgramFile(); }

void MervoWindowController::endProgram() { system_.endProgram(); }

void MervoWindowController::applyPendingChanges() {
  if (!window_) return;
  std::string output;
  bool hasOutput = false;  // an empty piece still counts: it reveals the log
  auto flushOutput = [&] {
    if (!hasOutput) return;
    window_->appendLog(output);
    output.clear();
    hasOutput = false;
  };
  for (WindowChange& change : changes_->takeBatch(kOutputBytesPerTurn)) {
    std::visit(
        [&](auto& item) {
          using Item = std::decay_t<decltype(item)>;
          if constexpr (std::is_same_v<Item, LogText>) {
            // Joined with the output just before it, so one batch is one
            // insertion and one scroll; an empty piece still reveals the log.
            hasOutput = true;
            output += item.text;
          } else if constexpr (std::is_same_v<Item, Screen>) {
            flushOutput();
            window_->applyScreen(item);
            emit screenApplied(item.headline);
          } else {
            flushOutput();
            // The end screen is chosen here, on the UI thread, and shown
            // after every change already queued.
            show(SetupScreens::forExitStatus(item.status));
          }
        },
        change);
  }
  flushOutput();
}
