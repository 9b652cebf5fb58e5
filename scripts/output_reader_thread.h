// The thread that delivers a script's output while the caller of runScript
// waits for the script. The call that starts it owns it: stop() (or the
// destructor) makes it return after its current delivery and joins it, so no
// delivery happens once stop() has returned. Copies are forbidden.
#pragma once

#include <optional>
#include <thread>

#include "base/unique_fd.h"
#include "scripts/script_output.h"

/// Runs ScriptOutput::deliverUntilEndOrStop on a thread of its own.
class OutputReaderThread {
 public:
  /// Starts the thread; check isRunning(), since the system may refuse it.
  explicit OutputReaderThread(ScriptOutput& output);
  ~OutputReaderThread() { stop(); }
  OutputReaderThread(const OutputReaderThread&) = delete;
  OutputReaderThread& operator=(const OutputReaderThread&) = delete;

  bool isRunning() const { return thread_.joinable(); }

  /// Asks the thread to return once its current delivery is done, and waits
  /// for it. Safe to call more than once.
  void stop();

 private:
  // Closing the write end wakes the thread: the read end then hangs up.
  std::optional<Pipe> stopSignal_;
  std::thread thread_;
};
