// Undoing an export on a signal; see face_file_signals.h.
#include "sources/face_file_signals.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <iterator>

namespace {

enum class Undo { nothing, removeFile, restoreBytes };

// What the handler undoes. The fields of a kind are written before `undo`
// names it (release), and read after the handler has seen it (acquire).
std::atomic<Undo> undo{Undo::nothing};
char removalPath[PATH_MAX];
std::atomic<int> restoreFd{-1};
std::atomic<const char*> restoreData{nullptr};
std::atomic<size_t> restoreSize{0};
// The thread that writes the file. The undo runs there, so that it never
// races with the export's own writes.
std::atomic<pid_t> exportingThread{0};

void undoExport(int signalNumber) {
  const int savedErrno = errno;
  const pid_t exporter = exportingThread.load();
  if (exporter != 0 && exporter != gettid()) {
    tgkill(getpid(), exporter, signalNumber);
    errno = savedErrno;
    return;
  }
  switch (undo.load(std::memory_order_acquire)) {
    case Undo::removeFile:
      unlink(removalPath);
      break;
    case Undo::restoreBytes:
      if (replaceContent(restoreFd.load(), restoreData.load(), restoreSize.load())) fsync(restoreFd.load());
      break;
    case Undo::nothing:
      break;
  }
  // The signal is blocked while its handler runs: raised again with the
  // default action, it ends the process as soon as the handler returns.
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
  errno = savedErrno;
}

}  // namespace

bool replaceContent(int fd, const char* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t written = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<size_t>(written);
  }
  return ftruncate(fd, static_cast<off_t>(size)) == 0;
}

ExportSignalGuard::ExportSignalGuard() {
  exportingThread.store(gettid());
  struct sigaction action {};
  action.sa_handler = undoExport;
  sigemptyset(&action.sa_mask);
  // One undo at a time: the other signals wait until the process has ended.
  for (int signalNumber : kSignals) sigaddset(&action.sa_mask, signalNumber);
  for (size_t i = 0; i < std::size(kSignals); ++i) {
    if (sigaction(kSignals[i], nullptr, &previous_[i]) != 0 || previous_[i].sa_handler == SIG_IGN) continue;
    installed_[i] = sigaction(kSignals[i], &action, nullptr) == 0;
  }
}

ExportSignalGuard::~ExportSignalGuard() {
  disarm();
  for (size_t i = 0; i < std::size(kSignals); ++i)
    if (installed_[i]) sigaction(kSignals[i], &previous_[i], nullptr);
  exportingThread.store(0);
}

bool ExportSignalGuard::removeOnSignal(const std::string& path) {
  disarm();
  if (path.size() >= sizeof removalPath) return false;
  std::memcpy(removalPath, path.c_str(), path.size() + 1);
  undo.store(Undo::removeFile, std::memory_order_release);
  return true;
}

void ExportSignalGuard::restoreOnSignal(int fd, std::string_view oldBytes) {
  disarm();
  restoreFd.store(fd);
  restoreData.store(oldBytes.data());
  restoreSize.store(oldBytes.size());
  undo.store(Undo::restoreBytes, std::memory_order_release);
}

void ExportSignalGuard::disarm() { undo.store(Undo::nothing, std::memory_order_release); }
