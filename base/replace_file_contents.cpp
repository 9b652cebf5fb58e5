// Replacing a file's contents; see replace_file_contents.h.
#include "base/replace_file_contents.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "base/permission_error.h"
#include "base/unique_fd.h"
#include "base/write_all.h"

namespace {

/// Holds back, on this thread and while it lives, the signals that end a
/// process part-way through (from a user, or the file size limit); one that
/// came meanwhile is taken when it goes.
class HeldSignals {
 public:
  HeldSignals() {
    sigset_t held;
    sigemptyset(&held);
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP, SIGXFSZ}) sigaddset(&held, signalNumber);
    pthread_sigmask(SIG_BLOCK, &held, &previous_);
  }
  ~HeldSignals() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  HeldSignals(const HeldSignals&) = delete;
  HeldSignals& operator=(const HeldSignals&) = delete;

 private:
  sigset_t previous_;
};

/// The first temporary name that `claim` takes (false with EEXIST: taken),
/// short whatever the target's name is; empty when `claim` fails otherwise.
template <typename Claim>
std::string claimTemporaryName(Claim claim) {
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    std::string name = ".tovana-mervo-" + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".tmp";
    if (claim(name)) return name;
    if (errno != EEXIST) break;
  }
  return {};
}

/// Where the new bytes go before they take the target's place.
struct NewFile {
  UniqueFd fd;
  std::string name;  ///< empty while the file has none
};

/// A new file in `folder`, unnamed where the file system allows; else named,
/// with the signals held from before the name exists.
NewFile makeNewFile(int folder, std::optional<HeldSignals>& held) {
  NewFile file{UniqueFd(openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666)), {}};
  if (file.fd.isOpen()) return file;
  held.emplace();
  file.name = claimTemporaryName([&](const std::string& name) {
    file.fd = UniqueFd(openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666));
    return file.fd.isOpen();
  });
  return file;
}

/// Writes `bytes` to a new file, durably, that then takes the place of
/// `target` in `folder`, with `mode` when given. Nothing of it is left on
/// failure, and `error` holds the errno of the step that failed.
bool replaceThroughNewFile(int folder, const std::string& target, std::string_view bytes,
                           std::optional<mode_t> mode, int& error) {
  std::optional<HeldSignals> held;
  NewFile file = makeNewFile(folder, held);
  if (!file.fd.isOpen()) return error = errno, false;
  if (mode) fchmod(file.fd.get(), *mode);
  bool placed = writeAll(file.fd.get(), bytes) && fsync(file.fd.get()) == 0;
  if (placed && file.name.empty()) {
    held.emplace();
    // An unnamed file is linked into its folder through its /proc entry.
    const std::string self = "/proc/self/fd/" + std::to_string(file.fd.get());
    file.name = claimTemporaryName([&](const std::string& name) {
      return linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
    });
    placed = !file.name.empty();
  }
  placed = placed && renameat(folder, file.name.c_str(), folder, target.c_str()) == 0;
  error = errno;
  if (!placed && !file.name.empty()) unlinkat(folder, file.name.c_str(), 0);
  return placed;
}

/// Writes `bytes` over the start of the file `fd` and cuts it there. Writing
/// over the old bytes before cutting keeps their blocks, so on a full disk
/// the old content still fits back.
bool overwrite(int fd, std::string_view bytes) {
  return lseek(fd, 0, SEEK_SET) == 0 && writeAll(fd, bytes) &&
         ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 && fsync(fd) == 0;
}

/// Rewrites the regular file at `path` where it is; puts its old bytes back
/// when that fails.
bool rewriteInPlace(const std::string& path, std::string_view bytes) {
  // O_NOFOLLOW: a link put at the path meanwhile is not written through.
  // O_NONBLOCK: nor does a FIFO put there hang the call.
  const UniqueFd file(open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  struct stat info {};
  if (!file.isOpen() || fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  const std::optional<std::string> oldBytes = readToEnd(file);
  if (!oldBytes) return false;
  const HeldSignals held;
  if (overwrite(file.get(), bytes)) return true;
  overwrite(file.get(), *oldBytes);
  return false;
}

}  // namespace

bool replaceFileContents(const std::string& path, std::string_view bytes) {
  struct stat existing {};
  const bool exists = lstat(path.c_str(), &existing) == 0;
  const bool isRegular = exists && S_ISREG(existing.st_mode);
  // A device, FIFO, socket or folder at the path is not a file to replace.
  if (exists && !isRegular && !S_ISLNK(existing.st_mode)) return false;
  const size_t nameStart = path.rfind('/') + 1;  // 0 without a slash
  const std::string folderPath = nameStart == 0 ? "." : path.substr(0, nameStart);
  const UniqueFd folder(open(folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!folder.isOpen()) return false;
  const std::optional<mode_t> mode = isRegular ? std::optional<mode_t>(existing.st_mode & 07777) : std::nullopt;
  int error = 0;
  if (replaceThroughNewFile(folder.get(), path.substr(nameStart), bytes, mode, error)) return true;
  // A folder that takes no new file, or a sticky one that lets only a file's
  // owner replace it, may still let the file itself be written.
  return isRegular && isPermissionError(error) && rewriteInPlace(path, bytes);
}
