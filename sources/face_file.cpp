// Replacing a picture file through a temporary one; see face_file.h.
#include "sources/face_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "base/permission_error.h"
#include "base/unique_fd.h"
#include "base/write_all.h"

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

/// Where the bytes finally go: the target of a symbolic link, else `path`.
std::string destinationOf(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved)) return resolved;
  return path;  // a dangling link: the rename replaces the link itself
}

std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string fileNameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

/// Creates a new, empty, hidden file beside `path`; its name goes to `tempPath`.
int createTemporaryBeside(const std::string& path, std::string& tempPath, int& error) {
  const std::string stem = folderOf(path) + "/." + fileNameOf(path) + ".";
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    tempPath = stem + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".tmp";
    const int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd >= 0) return fd;
    error = errno;
    if (error != EEXIST) return -1;
  }
  return -1;
}

/// Keeps the permissions of the file being replaced.
void copyModeFrom(const std::string& path, int fd) {
  struct stat info {};
  if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) fchmod(fd, info.st_mode & 07777);
}

bool writeInPlace(const std::string& path, std::string_view bytes) {
  WritableFile file(open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY));
  return file.isOpen() && file.writeAll(bytes) && file.finish();
}

/// Refused for lack of permission, or on a read-only file system.
bool isRefusal(int error) { return isPermissionError(error) || error == EROFS; }

}  // namespace

bool writeFaceFile(const std::string& path, std::string_view bytes) {
  const std::string destination = destinationOf(path);
  std::string tempPath;
  int error = 0;
  WritableFile temp(createTemporaryBeside(destination, tempPath, error));
  if (!temp.isOpen()) {
    // The folder takes no new file; an existing, writable picture file can
    // still be rewritten where it is.
    return isRefusal(error) && writeInPlace(destination, bytes);
  }
  copyModeFrom(destination, temp.fd());
  const bool written =
      temp.writeAll(bytes) && temp.finish() && rename(tempPath.c_str(), destination.c_str()) == 0;
  if (!written) unlink(tempPath.c_str());
  return written;
}
