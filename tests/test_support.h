// Helpers shared by the tests: temporary folders, a temporary home with a
// capture bundle, environment and working-directory changes that undo
// themselves, small file operations, and starting and waiting for processes
// (the built program, any executable, or a forked copy of the test). Used by
// one test thread.
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace test {

/// A fresh folder under $TMPDIR, removed with everything in it on destruction.
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  const std::string& path() const { return path_; }
  /// path() + "/" + relative.
  std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

 private:
  std::string path_;
};

/// Sets (or, with nothing, unsets) one environment variable and restores the
/// old value on destruction.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, std::optional<std::string> value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

/// Changes the working directory and changes it back on destruction.
class ScopedCurrentDirectory {
 public:
  explicit ScopedCurrentDirectory(const std::string& path);
  ~ScopedCurrentDirectory();
  ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
  ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;

 private:
  std::string old_;
};

/// Writes `content` to `path`, creating the folders on the way.
void writeFile(const std::string& path, const std::string& content);

/// The whole content of `path`, or nothing when it cannot be read.
std::optional<std::string> readFile(const std::string& path);

/// A temporary home folder, set as HOME, with the capture bundle root
/// "bundle" inside it, set as TOVANA_MERVO_ROOT, for as long as it lives.
/// Nothing is created in it until a test writes there.
class TestHome {
 public:
  TestHome() : home_("HOME", dir_.path()), root_("TOVANA_MERVO_ROOT", root()) {}

  std::string path(const std::string& file) const { return dir_ / file; }
  void write(const std::string& file, const std::string& text = "") const { writeFile(path(file), text); }
  /// Makes the home an ordinary desktop one, which the access probe grants.
  void grantAccess() const { write(".local/share/.keep"); }

  std::string root() const { return path("bundle"); }
  /// Writes the bundle's setup.sh, which also makes the bundle count as installed.
  void writeSetup(const std::string& script) const { write("bundle/setup.sh", script); }
  void writeTick(const std::string& script) const { write("bundle/bin/mervo-tick.sh", script); }

 private:
  ScopedTempDir dir_;
  ScopedEnv home_;
  ScopedEnv root_;
};

/// A process the test started. It is waited for exactly once: by wait(), or
/// on destruction after SIGKILL, so that a failing test neither hangs on it
/// nor leaves it behind.
class StartedProcess {
 public:
  explicit StartedProcess(pid_t pid) : pid_(pid) {}
  ~StartedProcess();
  StartedProcess(const StartedProcess&) = delete;
  StartedProcess& operator=(const StartedProcess&) = delete;

  pid_t pid() const { return pid_; }
  /// Waits for the process to end: its exit status, or 128 + the signal
  /// that ended it; -1 when none was started or it was already waited for.
  int wait();

 private:
  pid_t pid_;
};

/// Runs `work` in a forked copy of this test process, with every signal's
/// default action and no core file; the copy exits 0 when `work` returns
/// true, 1 otherwise.
StartedProcess startInChild(const std::function<bool()>& work);

/// What one run of a program left behind.
struct ProgramRun {
  int status = -1;  ///< exit status, or 128 + signal
  std::string out;
  std::string err;
};

/// How a program is started beyond its arguments.
struct RunOptions {
  /// Applied to this process's environment (nothing unsets the variable).
  std::map<std::string, std::optional<std::string>> env = {};
  /// Where standard output goes: captured into ProgramRun::out, a device
  /// that refuses every write, or no descriptor at all.
  enum class Output { captured, deviceFull, closed } output = Output::captured;
  /// When this process is root, the program runs as the unprivileged user
  /// kNobody instead, so that file permissions hold for it; otherwise it runs
  /// as this user.
  bool unprivileged = false;
  /// The largest file the program may write (RLIMIT_FSIZE), in bytes.
  std::optional<unsigned long> fileSizeLimit = std::nullopt;
};

/// The user and group an unprivileged run takes when the tests run as root.
inline constexpr unsigned kNobody = 65534;

/// Gives `path` and everything under it to the user of unprivileged runs
/// when this process is root, and makes the folders on the way to it
/// reachable (not readable) for that user. Does nothing for other users.
void handToUnprivilegedUser(const std::string& path);

/// Runs the built tovana-mervo with `args`, its environment being this
/// process's with `env` applied (a value of nothing unsets the variable), and
/// standard input from /dev/null.
ProgramRun runProgram(const std::vector<std::string>& args,
                      const std::map<std::string, std::optional<std::string>>& env = {});

/// The same with every option of RunOptions.
ProgramRun runProgramWith(const std::vector<std::string>& args, const RunOptions& options);

/// The same for any executable given by full path.
ProgramRun runExecutable(const std::string& path, const std::vector<std::string>& args,
                         const std::map<std::string, std::optional<std::string>>& env = {});

/// The folder of this source tree, and of the shared real-world corpus.
std::string sourceDir();
std::string corpusDir();

}  // namespace test
