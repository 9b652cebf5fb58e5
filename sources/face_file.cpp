// Replacing a picture file through a temporary one; see face_file.h.
#include "sources/face_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/permission_error.h"
#include "base/unique_fd.h"
#include "base/write_all.h"
#include "sources/face_file_in_place.h"
#include "sources/face_file_signals.h"
#include "sources/face_file_temps.h"

namespace {

/// A descriptor opened for writing, closed when the holder goes.
class WritableFile {
 public:
  explicit WritableFile(int fd) : fd_(fd) {}

  bool isOpen() const { return fd_.isOpen(); }
  int fd() const { return fd_.get(); }

  bool writeAll(std::string_view bytes) { return ::writeAll(fd_.get(), bytes); }

  /// Makes the bytes durable and closes; false when either fails.
  bool finish() {
    const bool synced = fsync(fd_.get()) == 0;
    // Closed here rather than by the owner, whose close cannot report that
    // the bytes never reached the disk.
    const int fd = fd_.release();
    return close(fd) == 0 && synced;
  }

 private:
  UniqueFd fd_;
};

/// Creates a new, empty temporary file beside `path`, its name in `tempPath`;
/// from before it exists, `guard` removes it on a signal.
int createTemporaryBeside(const std::string& path, std::string& tempPath, ExportSignalGuard& guard) {
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    tempPath = temporaryNameFor(path, attempt);
    if (!guard.removeOnSignal(tempPath)) return -1;
    const int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

/// The temporary file, written whole and durable, takes the place of `path`;
/// it is gone whatever the outcome. Sets `renameError` when only the rename
/// failed.
bool replaceThrough(WritableFile& temp, const std::string& tempPath, const std::string& path,
                    std::string_view bytes, int& renameError) {
  const bool replaced = temp.writeAll(bytes) && temp.finish() &&
                        (rename(tempPath.c_str(), path.c_str()) == 0 || (renameError = errno, false));
  if (!replaced) unlink(tempPath.c_str());
  return replaced;
}

}  // namespace

bool writeFaceFile(const std::string& path, std::string_view bytes) {
  struct stat existing {};
  const bool exists = lstat(path.c_str(), &existing) == 0;
  const bool isRegular = exists && S_ISREG(existing.st_mode);
  // A device, FIFO, socket or folder at the path is not a picture to replace.
  if (exists && !isRegular && !S_ISLNK(existing.st_mode)) return false;
  removeAbandonedTemporaries(folderOf(path));

  ExportSignalGuard guard;
  std::string tempPath;
  WritableFile temp(createTemporaryBeside(path, tempPath, guard));
  if (!temp.isOpen()) {
    guard.disarm();
    // No new file can be made beside it: an existing picture file may still
    // be rewritten where it is.
    return isRegular && rewriteInPlace(path, bytes, guard);
  }
  // Keeps the permissions of the picture being replaced.
  if (isRegular) fchmod(temp.fd(), existing.st_mode & 07777);
  int renameError = 0;
  const bool replaced = replaceThrough(temp, tempPath, path, bytes, renameError);
  guard.disarm();
  if (replaced) return true;
  // A sticky folder lets only a file's owner replace it, though its mode may
  // let others write it.
  return isRegular && isPermissionError(renameError) && rewriteInPlace(path, bytes, guard);
}
