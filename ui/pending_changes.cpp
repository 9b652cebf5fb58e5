#include "ui/pending_changes.h"

#include <algorithm>
#include <utility>

#include "base/utf8_text.h"

namespace {

std::size_t outputSize(const WindowChange& change) {
  const auto* log = std::get_if<LogText>(&change);
  return log ? log->text.size() : 0;
}

}  // namespace

std::size_t utf8PrefixLength(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text.size();
  std::size_t length = maxBytes;
  while (length > 0 && isUtf8ContinuationByte(text[length])) --length;
  if (length > 0) return length;
  // Budget smaller than the first character: take that character whole.
  length = 1;
  while (length < text.size() && isUtf8ContinuationByte(text[length])) ++length;
  return length;
}

void PendingChanges::attach(std::function<void()> wake) {
  std::lock_guard lock(mutex_);
  wake_ = std::move(wake);
  attached_ = true;
  batchAskedFor_ = false;
  if (!queue_.empty()) wakeLocked();
}

void PendingChanges::detach() {
  {
    std::lock_guard lock(mutex_);
    attached_ = false;
    wake_ = nullptr;
    queue_.clear();
    outputBytes_ = 0;
  }
  outputTaken_.notify_all();
}

void PendingChanges::addScreen(Screen screen) {
  std::lock_guard lock(mutex_);
  addLocked(std::move(screen));
}

void PendingChanges::addOutput(const std::string& text) {
  std::lock_guard lock(mutex_);
  addOutputLocked(text);
}

void PendingChanges::addOutputWaiting(const std::string& text, std::size_t limitBytes) {
  std::unique_lock lock(mutex_);
  outputTaken_.wait(lock, [&] { return !attached_ || outputBytes_ <= limitBytes; });
  addOutputLocked(text);
}

void PendingChanges::addSetupEnded(int32_t status) {
  std::lock_guard lock(mutex_);
  addLocked(SetupEnded{status});
}

std::vector<WindowChange> PendingChanges::takeBatch(std::size_t budgetBytes) {
  std::vector<WindowChange> batch;
  {
    std::lock_guard lock(mutex_);
    std::size_t taken = 0;
    while (!queue_.empty() && taken < budgetBytes) {
      taken += outputSize(queue_.front());
      batch.push_back(std::move(queue_.front()));
      queue_.pop_front();
    }
    outputBytes_ -= taken;
    batchAskedFor_ = false;
    if (!queue_.empty()) wakeLocked();
  }
  outputTaken_.notify_all();
  return batch;
}

std::size_t PendingChanges::outputBytesWaiting() const {
  std::lock_guard lock(mutex_);
  return outputBytes_;
}

void PendingChanges::addLocked(WindowChange change) {
  if (!attached_) return;
  queue_.push_back(std::move(change));
  wakeLocked();
}

void PendingChanges::addOutputLocked(const std::string& text) {
  if (!attached_) return;
  // An empty piece still counts: it reveals the log pane.
  if (text.empty()) {
    addLocked(LogText{});
    return;
  }
  std::string_view rest = text;
  while (!rest.empty()) {
    auto* last = queue_.empty() ? nullptr : std::get_if<LogText>(&queue_.back());
    const std::size_t room = last ? kPieceBytes - std::min(kPieceBytes, last->text.size()) : 0;
    const std::size_t fits = room > 0 ? utf8PrefixLength(rest, room) : 0;
    std::size_t length;
    if (fits > 0 && fits <= room) {
      length = fits;
      last->text.append(rest.substr(0, length));
    } else {
      length = utf8PrefixLength(rest, kPieceBytes);
      queue_.push_back(LogText{std::string(rest.substr(0, length))});
    }
    rest.remove_prefix(length);
    outputBytes_ += length;
  }
  wakeLocked();
}

void PendingChanges::wakeLocked() {
  if (batchAskedFor_ || !wake_) return;
  batchAskedFor_ = true;
  wake_();
}
