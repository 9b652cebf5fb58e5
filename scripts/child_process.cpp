#include "scripts/child_process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace {

// The spawn attribute objects, destroyed on every way out of start().
class SpawnActions {
 public:
  SpawnActions() { posix_spawn_file_actions_init(&actions_); }
  ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
  posix_spawn_file_actions_t* get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

class SpawnAttributes {
 public:
  SpawnAttributes() { posix_spawnattr_init(&attributes_); }
  ~SpawnAttributes() { posix_spawnattr_destroy(&attributes_); }
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;
  posix_spawnattr_t* get() { return &attributes_; }

 private:
  posix_spawnattr_t attributes_;
};

// The NULL-terminated pointer array that exec expects; points into `texts`.
std::vector<char*> pointerArray(const std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  pointers.reserve(texts.size() + 1);
  for (const std::string& text : texts) pointers.push_back(const_cast<char*>(text.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

bool prepareActions(const ChildLaunch& launch, SpawnActions& actions) {
  if (launch.outputFd >= 0) {
    // One descriptor for both streams keeps the bytes in the order written.
    if (posix_spawn_file_actions_adddup2(actions.get(), launch.outputFd, STDOUT_FILENO) != 0 ||
        posix_spawn_file_actions_adddup2(actions.get(), launch.outputFd, STDERR_FILENO) != 0)
      return false;
  }
  return posix_spawn_file_actions_addchdir_np(actions.get(), launch.workingDirectory.c_str()) == 0;
}

bool prepareAttributes(SpawnAttributes& attributes) {
  // A script starts as a shell started from a terminal would: whatever this
  // process or its caller ignores, blocks or handles (a caller that ignores
  // SIGCHLD or SIGINT passes that on through exec) is not passed on, so an
  // interrupt or termination request still ends the script and the shell's
  // own children can be waited for.
  sigset_t none;
  sigemptyset(&none);
  sigset_t all;
  sigfillset(&all);
  sigdelset(&all, SIGKILL);
  sigdelset(&all, SIGSTOP);
  return posix_spawnattr_setsigmask(attributes.get(), &none) == 0 &&
         posix_spawnattr_setsigdefault(attributes.get(), &all) == 0 &&
         posix_spawnattr_setflags(attributes.get(),
                                  POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) == 0;
}

// waitpid() can only report a child's status while SIGCHLD is not ignored
// (and not set to reap children on its own); a caller that ignored it passed
// that on to this program. Only that case is undone: a handler someone
// installed on purpose stays.
void makeChildrenWaitable() {
  struct sigaction current {};
  if (sigaction(SIGCHLD, nullptr, &current) != 0) return;
  const bool ignored = !(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_IGN;
  if (!ignored && !(current.sa_flags & SA_NOCLDWAIT)) return;
  struct sigaction standard {};
  standard.sa_handler = SIG_DFL;
  sigemptyset(&standard.sa_mask);
  sigaction(SIGCHLD, &standard, nullptr);
}

}  // namespace

std::optional<ChildProcess> ChildProcess::start(const ChildLaunch& launch) {
  makeChildrenWaitable();
  SpawnActions actions;
  SpawnAttributes attributes;
  if (!prepareActions(launch, actions) || !prepareAttributes(attributes)) return std::nullopt;
  const std::vector<char*> argv = pointerArray(launch.arguments);
  const std::vector<char*> envp = pointerArray(launch.environment);
  pid_t pid = -1;
  // glibc reports a failed chdir or exec in the child as the result here.
  if (posix_spawn(&pid, launch.program.c_str(), actions.get(), attributes.get(), argv.data(),
                  envp.data()) != 0)
    return std::nullopt;
  return ChildProcess(pid);
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) wait();
}

int32_t ChildProcess::wait() {
  int status = 0;
  pid_t reaped;
  do {
    reaped = ::waitpid(pid_, &status, 0);
  } while (reaped < 0 && errno == EINTR);
  pid_ = -1;
  if (reaped < 0) return kCannotStartStatus;  // reaped by someone else: the status is lost
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WEXITSTATUS(status);
}
