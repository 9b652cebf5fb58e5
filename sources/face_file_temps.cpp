// Naming temporary files and removing abandoned ones; see face_file_temps.h.
#include "sources/face_file_temps.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <memory>
#include <optional>
#include <string_view>

namespace {

constexpr std::string_view kMarker = ".tovana-mervo-";
constexpr std::string_view kEnding = ".tmp";

/// The process that wrote the temporary file `name`, or nothing when the name
/// is not one of ours: "." NAME kMarker PID "-" ATTEMPT kEnding.
std::optional<pid_t> writerOf(std::string_view name) {
  if (!name.starts_with('.') || !name.ends_with(kEnding)) return std::nullopt;
  const size_t marker = name.rfind(kMarker);
  if (marker == std::string_view::npos || marker == 0) return std::nullopt;
  std::string_view rest = name.substr(marker + kMarker.size());
  rest.remove_suffix(kEnding.size());
  pid_t pid = 0;
  unsigned attempt = 0;
  auto [afterPid, pidError] = std::from_chars(rest.data(), rest.data() + rest.size(), pid);
  if (pidError != std::errc() || pid <= 0 || afterPid == rest.data() + rest.size() || *afterPid != '-')
    return std::nullopt;
  auto [end, attemptError] = std::from_chars(afterPid + 1, rest.data() + rest.size(), attempt);
  if (attemptError != std::errc() || end != rest.data() + rest.size()) return std::nullopt;
  return pid;
}

bool processIsGone(pid_t pid) { return kill(pid, 0) != 0 && errno == ESRCH; }

struct DirCloser {
  void operator()(DIR* folder) const { closedir(folder); }
};

}  // namespace

std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string temporaryNameFor(const std::string& path, unsigned attempt) {
  const size_t slash = path.rfind('/');
  const std::string folderPart = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return folderPart + "." + name + std::string(kMarker) + std::to_string(getpid()) + "-" +
         std::to_string(attempt) + std::string(kEnding);
}

void removeAbandonedTemporaries(const std::string& folder) {
  const std::unique_ptr<DIR, DirCloser> entries(opendir(folder.c_str()));
  if (!entries) return;
  const int folderFd = dirfd(entries.get());
  while (const dirent* entry = readdir(entries.get())) {
    const std::optional<pid_t> writer = writerOf(entry->d_name);
    struct stat info {};
    if (!writer || !processIsGone(*writer)) continue;
    if (fstatat(folderFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISREG(info.st_mode) && info.st_uid == geteuid()) unlinkat(folderFd, entry->d_name, 0);
  }
}
