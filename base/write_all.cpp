#include "base/write_all.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Waits until `fd` takes more bytes, or reports a condition that the next
// write() turns into its real error. False only when poll itself fails.
bool waitUntilWritable(int fd) {
  pollfd watched = {fd, POLLOUT, 0};
  while (::poll(&watched, 1, -1) < 0)
    if (errno != EINTR) return false;
  return true;
}

}  // namespace

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && waitUntilWritable(fd))
      continue;
    // A write that takes nothing would be retried forever.
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}
