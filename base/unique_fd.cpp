// Descriptor ownership, pipes and reading to the end; see unique_fd.h.
#include "base/unique_fd.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    reset();
    fd_ = other.release();
  }
  return *this;
}

void UniqueFd::reset() {
  // close() is not retried after EINTR: on Linux the descriptor is gone
  // either way, and a retry could close one that another thread just opened.
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

int UniqueFd::release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

std::optional<Pipe> makePipe() {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return std::nullopt;
  return Pipe{UniqueFd(ends[0]), UniqueFd(ends[1])};
}

std::optional<std::string> readToEnd(const UniqueFd& file) {
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) return bytes;
    bytes.append(buffer, static_cast<size_t>(got));
  }
}
