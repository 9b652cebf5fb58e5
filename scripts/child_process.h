// One started child process, from posix_spawn to its reaped exit status.
// The owner waits for the child exactly once; a ChildProcess that is dropped
// before wait() still reaps its child, so no zombie outlives the owner.
// Copies are forbidden. One owner is used by one thread at a time.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/// The status of a script whose shell could not be started, or whose exit
/// status was lost, as a shell reports a command it cannot run.
inline constexpr int32_t kCannotStartStatus = 127;

/// Everything needed to start one child.
struct ChildLaunch {
  std::string program;                   ///< full path of the executable
  std::vector<std::string> arguments;    ///< argv, argv[0] included
  std::vector<std::string> environment;  ///< "NAME=value" entries, complete
  std::string workingDirectory;          ///< absolute
  int outputFd = -1;                     ///< when not -1, the child's standard output and error
};

/// A running (or ended but not yet reaped) child process.
class ChildProcess {
 public:
  /// Starts `launch`, or gives nothing when the program cannot be started
  /// (missing or not executable, working directory unusable, no resources).
  /// The child gets an empty signal mask and every signal's default action,
  /// whatever this process blocks or ignores, and standard input from this
  /// process. A SIGCHLD that this process ignores is first set back to its
  /// default action, so that wait() can report the child's status.
  static std::optional<ChildProcess> start(const ChildLaunch& launch);

  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ChildProcess(ChildProcess&& other) noexcept : pid_(other.pid_) { other.pid_ = -1; }
  ChildProcess& operator=(ChildProcess&&) = delete;

  /// Blocks until the child ends and returns its exit status, or 128 + the
  /// signal number when a signal ended it. Call once.
  int32_t wait();

 private:
  explicit ChildProcess(pid_t pid) : pid_(pid) {}
  pid_t pid_ = -1;
};
