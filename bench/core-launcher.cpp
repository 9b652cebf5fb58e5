// A second baseline for the tick start-up benchmark: the least a C++ program
// does to run a script the way --tick does (start /bin/bash with the script,
// wait, exit with its status), built with the program's own compiler and
// flags. It shows how much of --tick's time any C++ launcher must pay.
#include <spawn.h>
#include <sys/wait.h>

#include <string>

extern char** environ;

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::string script = argv[1];
  char* args[] = {const_cast<char*>("/bin/bash"), script.data(), nullptr};
  pid_t pid = -1;
  if (posix_spawn(&pid, "/bin/bash", nullptr, nullptr, args, environ) != 0) return 127;
  int status = 0;
  if (waitpid(pid, &status, 0) < 0) return 127;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
