// Times whole-process runs of two commands side by side for bench/run-core:
// the runs alternate (first, second, first, ...) so that drift in the
// machine's speed falls on both alike, and the median wall time of each is
// printed in seconds: "<first> <second>". Standard output of the commands goes
// to /dev/null, standard input comes from /dev/null; a command that fails is
// reported and ends the timing with status 1. Single-threaded.
//
// Usage: core-timer RUNS command args... --vs command args...
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

extern char** environ;

namespace {

// Runs `argv` once and returns its wall time, or a negative value on failure.
double timeOnce(std::vector<char*>& argv) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  const auto end = std::chrono::steady_clock::now();
  // Some commands (the canary when access is refused) end with a known status
  // other than 0; only a signal counts as a failed run.
  if (WIFSIGNALED(status)) return -1;
  return std::chrono::duration<double>(end - start).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: core-timer RUNS command... --vs command...\n");
    return 2;
  }
  const int runs = std::atoi(argv[1]);
  std::vector<char*> first, second;
  std::vector<char*>* filling = &first;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--vs") == 0) {
      filling = &second;
      continue;
    }
    filling->push_back(argv[i]);
  }
  if (runs < 1 || first.empty() || second.empty()) return 2;
  first.push_back(nullptr);
  second.push_back(nullptr);

  std::vector<double> firstTimes, secondTimes;
  timeOnce(first);  // warm the caches for both
  timeOnce(second);
  for (int i = 0; i < runs; ++i) {
    const double a = timeOnce(first), b = timeOnce(second);
    if (a < 0 || b < 0) {
      std::fprintf(stderr, "core-timer: a run failed (%s)\n", a < 0 ? first[0] : second[0]);
      return 1;
    }
    firstTimes.push_back(a);
    secondTimes.push_back(b);
  }
  std::printf("%.6f %.6f\n", median(firstTimes), median(secondTimes));
  return 0;
}
