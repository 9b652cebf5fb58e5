// Leaving no trace of a face export cut short by a signal. While a guard
// lives, SIGTERM, SIGINT, SIGHUP and SIGXFSZ (a file grown past the size
// limit) first undo what the export has done so far (remove its temporary
// file, or put the old bytes back into a file being rewritten in place) and
// then end the process as the signal would have. Signals the process ignores
// stay ignored.
// Thread rule: one guard at a time, made, armed and dropped on the exporting
// thread. A handler run on another thread passes the signal on to the
// exporting thread, where the undo runs, so it never races with the export's
// own writes. The handler reads only what was prepared before arming and
// calls only async-signal-safe functions.
#pragma once

#include <signal.h>

#include <cstddef>
#include <string>
#include <string_view>

/// Writes `size` bytes from `data` over the file `fd` from its start and cuts
/// the file to that length; false when a write or the cut fails.
/// Async-signal-safe.
bool replaceContent(int fd, const char* data, size_t size);

/// Installs the handlers for its lifetime; disarmed at first.
class ExportSignalGuard {
 public:
  ExportSignalGuard();
  ~ExportSignalGuard();
  ExportSignalGuard(const ExportSignalGuard&) = delete;
  ExportSignalGuard& operator=(const ExportSignalGuard&) = delete;

  /// From now on a signal removes the file named `path`. False (and
  /// disarmed) when the name is too long to be kept ready.
  bool removeOnSignal(const std::string& path);

  /// From now on a signal puts `oldBytes` back as the whole content of the
  /// file `fd`. Both must stay valid until disarm().
  void restoreOnSignal(int fd, std::string_view oldBytes);

  /// From now on a signal only ends the process.
  void disarm();

 private:
  static constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGXFSZ};
  struct sigaction previous_[sizeof kSignals / sizeof kSignals[0]] = {};
  bool installed_[sizeof kSignals / sizeof kSignals[0]] = {};
};
