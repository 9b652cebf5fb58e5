#include "tests/test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace test {
namespace fs = std::filesystem;

ScopedTempDir::ScopedTempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/mervo-test-XXXXXX";
  if (!mkdtemp(pattern.data())) std::abort();
  path_ = pattern;
}

ScopedTempDir::~ScopedTempDir() {
  std::error_code ignored;
  // Tests may leave folders without write permission behind.
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  for (auto it = fs::recursive_directory_iterator(path_, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored))
    if (it->is_directory(ignored) && !it->is_symlink(ignored))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

ScopedEnv::ScopedEnv(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
  if (const char* old = std::getenv(name_.c_str())) old_ = old;
  if (value)
    setenv(name_.c_str(), value->c_str(), 1);
  else
    unsetenv(name_.c_str());
}

ScopedEnv::~ScopedEnv() {
  if (old_)
    setenv(name_.c_str(), old_->c_str(), 1);
  else
    unsetenv(name_.c_str());
}

ScopedCurrentDirectory::ScopedCurrentDirectory(const std::string& path) {
  char* old = getcwd(nullptr, 0);
  if (!old || chdir(path.c_str()) != 0) std::abort();
  old_ = old;
  std::free(old);
}

ScopedCurrentDirectory::~ScopedCurrentDirectory() {
  if (chdir(old_.c_str()) != 0) std::abort();
}

void writeFile(const std::string& path, const std::string& content) {
  fs::path parent = fs::path(path).parent_path();
  if (!parent.empty()) fs::create_directories(parent);
  std::ofstream(path, std::ios::binary) << content;
}

std::optional<std::string> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

StartedProcess::~StartedProcess() {
  if (pid_ > 0) kill(pid_, SIGKILL);
  wait();
}

int StartedProcess::wait() {
  if (pid_ <= 0) return -1;
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

StartedProcess startInChild(const std::function<bool()>& work) {
  const pid_t child = fork();
  if (child != 0) return StartedProcess(child);
  for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) signal(signalNumber, SIG_DFL);
  const rlimit noCore{0, 0};
  setrlimit(RLIMIT_CORE, &noCore);
  _exit(work() ? 0 : 1);
}

void handToUnprivilegedUser(const std::string& path) {
  if (geteuid() != 0) return;
  std::error_code ignored;
  if (lchown(path.c_str(), kNobody, kNobody) != 0) std::abort();
  if (fs::is_directory(fs::symlink_status(path, ignored)))
    for (const auto& entry : fs::recursive_directory_iterator(path))
      if (lchown(entry.path().c_str(), kNobody, kNobody) != 0) std::abort();
  // mkdtemp makes its folder 0700; the user must be able to pass through.
  for (fs::path folder = fs::path(path).parent_path(); folder.has_relative_path(); folder = folder.parent_path())
    fs::permissions(folder, fs::perms::others_exec, fs::perm_options::add, ignored);
}

namespace {

std::vector<std::string> environmentWith(const std::map<std::string, std::optional<std::string>>& env) {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry; ++entry) {
    const std::string text = *entry;
    if (!env.contains(text.substr(0, text.find('=')))) entries.push_back(text);
  }
  for (const auto& [name, value] : env)
    if (value) entries.push_back(name + "=" + *value);
  return entries;
}

/// The command line that starts `path` as `options` ask: through prlimit for
/// a file size limit, through setpriv to leave root.
std::vector<std::string> commandLine(const std::string& path, const std::vector<std::string>& args,
                                     const RunOptions& options) {
  std::vector<std::string> command;
  if (options.fileSizeLimit) {
    const std::string limit = std::to_string(*options.fileSizeLimit);
    // No core file either, when the limit's signal ends the program.
    command.insert(command.end(), {"/usr/bin/prlimit", "--fsize=" + limit + ":" + limit, "--core=0:0", "--"});
  }
  if (options.unprivileged && geteuid() == 0) {
    const std::string id = std::to_string(kNobody);
    command.insert(command.end(), {"/usr/bin/setpriv", "--reuid=" + id, "--regid=" + id, "--clear-groups", "--"});
  }
  command.push_back(path);
  command.insert(command.end(), args.begin(), args.end());
  return command;
}

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (auto& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

ProgramRun run(const std::string& path, const std::vector<std::string>& args, const RunOptions& options) {
  ScopedTempDir streams;
  const std::string outPath = streams / "out", errPath = streams / "err";
  std::vector<std::string> envText = environmentWith(options.env);
  std::vector<std::string> argText = commandLine(path, args, options);
  std::vector<char*> envp = pointersTo(envText), argv = pointersTo(argText);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (options.output == RunOptions::Output::captured)
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  else if (options.output == RunOptions::Output::deviceFull)
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/full", O_WRONLY, 0);
  else
    posix_spawn_file_actions_addclose(&actions, 1);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = -1;
  const bool started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0;
  posix_spawn_file_actions_destroy(&actions);
  ProgramRun ran;
  ran.status = StartedProcess(started ? pid : -1).wait();
  ran.out = readFile(outPath).value_or("");
  ran.err = readFile(errPath).value_or("");
  return ran;
}

}  // namespace

ProgramRun runExecutable(const std::string& path, const std::vector<std::string>& args,
                         const std::map<std::string, std::optional<std::string>>& env) {
  return run(path, args, RunOptions{.env = env});
}

ProgramRun runProgram(const std::vector<std::string>& args,
                      const std::map<std::string, std::optional<std::string>>& env) {
  return run(MERVO_BINARY, args, RunOptions{.env = env});
}

ProgramRun runProgramWith(const std::vector<std::string>& args, const RunOptions& options) {
  if (!options.unprivileged || geteuid() != 0) return run(MERVO_BINARY, args, options);
  // The build folder may lie under one that other users cannot enter (a
  // checkout under /root): the unprivileged run gets the program and its
  // modules copied to a folder of their own that it can reach.
  ScopedTempDir reachable;
  const fs::path built(MERVO_BINARY);
  for (const fs::directory_entry& entry : fs::directory_iterator(built.parent_path()))
    if (entry.path() == built || entry.path().extension() == ".so")
      fs::copy_file(entry.path(), reachable / entry.path().filename().string());
  handToUnprivilegedUser(reachable.path());
  return run(reachable / built.filename().string(), args, options);
}

std::string sourceDir() { return MERVO_SOURCE_DIR; }
std::string corpusDir() { return MERVO_CORPUS_DIR; }

}  // namespace test
