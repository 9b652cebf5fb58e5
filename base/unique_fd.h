// Ownership of one file descriptor, the close-on-exec pipe built from two of
// them, and reading what is left in one. An owner closes its descriptor
// exactly once; copies are forbidden, moves hand the descriptor over. One
// owner is used by one thread at a time.
#pragma once

#include <optional>
#include <string>

/// Owns one open file descriptor (or none, as -1) and closes it on destruction.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { reset(); }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;

  int get() const { return fd_; }
  bool isOpen() const { return fd_ >= 0; }

  /// Closes the descriptor now, if one is held.
  void reset();

  /// Gives up ownership without closing and returns the descriptor.
  int release();

 private:
  int fd_ = -1;
};

/// Both ends of one pipe, each close-on-exec so that no other child inherits
/// them by accident.
struct Pipe {
  UniqueFd readEnd;
  UniqueFd writeEnd;
};

/// A new close-on-exec pipe, or nothing when the system refuses one (no free
/// descriptors).
std::optional<Pipe> makePipe();

/// Everything from the descriptor's position to its end, retrying reads that
/// a signal interrupts; nothing when a read fails.
std::optional<std::string> readToEnd(const UniqueFd& file);
