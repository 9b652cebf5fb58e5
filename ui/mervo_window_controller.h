// The setup assistant's controller: owns the one window and its views and
// walks the user through one pass of setup (bundle check, Full Disk Access
// with polling, the background calendar and contacts prompts, the setup
// script with its live log, the end screen).
//
// Thread safety: show() and append() may be called from any thread; every
// other member is for the UI thread only. Views are touched only on the UI
// thread, by the changes that show() and append() queue.
#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <string>

#include "base/unique_fd.h"
#include "ui/setup_screens.h"

class PendingChanges;
class QSocketNotifier;
class QTimer;
class SetupRun;
class SetupWindow;
class SystemActions;

class MervoWindowController : public QObject {
  Q_OBJECT

 public:
  /// `system` must outlive the controller.
  explicit MervoWindowController(SystemActions& system, QObject* parent = nullptr);
  ~MervoWindowController() override;

  MervoWindowController(const MervoWindowController&) = delete;
  MervoWindowController& operator=(const MervoWindowController&) = delete;

  /// The launch: builds the window, brings it to the front and begins.
  void launch();

  /// Creates the window with its fixed layout and brings it to the front.
  void build();

  /// Queues `screen`; it is applied later on the UI thread, after every
  /// change queued before it, even when called on the UI thread.
  void show(const Screen& screen);

  /// Queues `text` for the log pane, unchanged; applied like show().
  void append(const std::string& text);

  /// Chooses the first screen: missing files, or (after the access check)
  /// the working screen or the access screen with polling; then starts the
  /// calendar and contacts prompts unless the files are missing.
  void begin();

  /// Once per launch: shows the working screen and runs the setup script in
  /// the background; later calls do nothing.
  void startSetup();

  /// Starts the 1.5-second access poll unless it already runs.
  void startPolling();

  /// Opens the Full Disk Access settings link and makes sure the poll runs.
  void openSettings();

  /// The primary button: ends the program once setup has started, otherwise
  /// opens the settings link.
  void primaryTapped();

  /// "Show me the app": shows the program's file in the file manager.
  void revealTapped();

  /// The window, once built.
  SetupWindow* window() const { return window_.get(); }

  /// The running access poll, or nullptr when none runs.
  QTimer* pollTimer() const { return pollTimer_; }

 signals:
  /// A screen has just been applied to the window.
  void screenApplied(const QString& headline);

 private:
  void pollTick();
  void applyPendingChanges();
  void endProgram();

  SystemActions& system_;
  std::shared_ptr<PendingChanges> changes_;
  UniqueFd wakeFd_;  // readable while changes wait to be applied
  std::unique_ptr<QSocketNotifier> wakeNotifier_;
  std::unique_ptr<SetupWindow> window_;
  std::unique_ptr<SetupRun> setupRun_;
  QTimer* pollTimer_ = nullptr;
  bool setupHasStarted_ = false;
};
