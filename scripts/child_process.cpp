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
  // A caller on a thread that blocks signals must not pass that on: the
  // script would then ignore an interrupt or a termination request.
  sigset_t none;
  sigemptyset(&none);
  return posix_spawnattr_setsigmask(attributes.get(), &none) == 0 &&
         posix_spawnattr_setflags(attributes.get(), POSIX_SPAWN_SETSIGMASK) == 0;
}

}  // namespace

std::optional<ChildProcess> ChildProcess::start(const ChildLaunch& launch) {
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
  if (reaped < 0) return kCannotStartStatus;  // not our child any more (SIGCHLD ignored): status lost
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WEXITSTATUS(status);
}
