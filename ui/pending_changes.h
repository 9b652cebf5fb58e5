// The window's changes that were asked for but not yet applied: screens,
// pieces of script output and the end of the setup run, kept in the order in
// which they were asked for. Any thread may add to it; the UI thread takes
// them off in batches. It is also the setup run's weak hold on the window:
// once the window detaches, further changes are dropped.
//
// Thread safety: every member may be called from any thread; one mutex
// guards the queue. The wake function runs with that mutex held, so it must
// only post (never apply) and must not call back into this object.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "ui/setup_screens.h"

/// A piece of script output for the log pane, valid UTF-8, unchanged.
struct LogText {
  std::string text;
  bool operator==(const LogText&) const = default;
};

/// The setup script has ended with this status.
struct SetupEnded {
  int32_t status = 0;
  bool operator==(const SetupEnded&) const = default;
};

/// One change to apply on the UI thread.
using WindowChange = std::variant<Screen, LogText, SetupEnded>;

class PendingChanges {
 public:
  /// Consecutive output is merged into pieces of at most this many bytes;
  /// a longer piece is cut at character boundaries.
  static constexpr std::size_t kPieceBytes = 16 * 1024;

  PendingChanges() = default;
  PendingChanges(const PendingChanges&) = delete;
  PendingChanges& operator=(const PendingChanges&) = delete;

  /// Connects the window: `wake` is called (with the lock held) whenever
  /// changes wait and no batch has been asked for yet; it should post one
  /// call of takeBatch to the UI thread.
  void attach(std::function<void()> wake);

  /// Disconnects the window: what is queued is dropped, later changes are
  /// dropped, and producers waiting in addOutputWaiting return at once.
  void detach();

  /// Queues a screen.
  void addScreen(Screen screen);

  /// Queues output, merged with output queued just before it.
  void addOutput(const std::string& text);

  /// As addOutput, but first waits while more than `limitBytes` of output
  /// wait to be applied and the window is attached. For a producer that can
  /// be slowed down (the script's reader), so memory stays bounded.
  void addOutputWaiting(const std::string& text, std::size_t limitBytes);

  /// Queues the end of the setup run.
  void addSetupEnded(int32_t status);

  /// Takes changes off the front, in order, until at least `budgetBytes`
  /// of output are taken or none are left. When some are left, wakes the
  /// window again for the next batch.
  std::vector<WindowChange> takeBatch(std::size_t budgetBytes);

  /// Bytes of output queued and not yet taken.
  std::size_t outputBytesWaiting() const;

 private:
  void addLocked(WindowChange change);
  void addOutputLocked(const std::string& text);
  void wakeLocked();

  mutable std::mutex mutex_;
  std::condition_variable outputTaken_;
  std::deque<WindowChange> queue_;
  std::size_t outputBytes_ = 0;
  std::function<void()> wake_;
  bool attached_ = false;
  bool batchAskedFor_ = false;
};

/// The length of the longest start of `text` that holds at most `maxBytes`
/// and does not end inside a UTF-8 character (at least one character when
/// `maxBytes` is smaller than the first one).
std::size_t utf8PrefixLength(std::string_view text, std::size_t maxBytes);
