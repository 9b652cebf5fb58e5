// The one background run of the capture bundle's setup script for the
// window. Its thread runs the script through runScript, hands every piece of
// output and finally the exit status to the window's PendingChanges, and
// touches no widget.
//
// Ending: the owner (the controller, on the UI thread) destroys a SetupRun
// when the program ends. A run whose script has ended is joined. A run whose
// script still runs is left to finish on its own (the thread is detached):
// the program does not wait for the script or stop it. This is safe because
// the thread holds nothing of the window but its shared PendingChanges,
// which the controller detaches first, so the thread's later output is
// dropped and it never waits on the window again; the window module is never
// unloaded, so the thread's code stays mapped until the process ends.
//
// Thread safety: construct and destroy on one thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <thread>

class PendingChanges;

class SetupRun {
 public:
  /// The most output that may wait for the window before the script's reader
  /// is slowed down; a script that writes faster than the window can show
  /// waits in its pipe instead of filling memory.
  static constexpr std::size_t kOutputWaitingLimit = 4 * 1024 * 1024;

  /// Starts the setup script (MervoPaths::setupScript(), read on the new
  /// thread). When no thread can be started, the run ends at once with 127,
  /// as a shell that fails to start does.
  explicit SetupRun(std::shared_ptr<PendingChanges> changes);

  /// Joins an ended run; leaves a running one to end on its own (see above).
  ~SetupRun();

  SetupRun(const SetupRun&) = delete;
  SetupRun& operator=(const SetupRun&) = delete;

 private:
  std::shared_ptr<std::atomic<bool>> ended_;
  std::thread thread_;
};
