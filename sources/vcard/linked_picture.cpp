// Checking and reading a linked picture file; see linked_picture.h.
#include "sources/vcard/linked_picture.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include "base/unique_fd.h"

namespace {

/// Kernel file systems whose "regular files" are views of the system.
bool isKernelFileSystem(decltype(statfs::f_type) type) {
  constexpr std::array<unsigned long, 14> kernel = {
      PROC_SUPER_MAGIC,   SYSFS_MAGIC,         DEBUGFS_MAGIC,      TRACEFS_MAGIC,  SECURITYFS_MAGIC,
      CGROUP_SUPER_MAGIC, CGROUP2_SUPER_MAGIC, 0x62656570 /* configfs */, EFIVARFS_MAGIC, BPF_FS_MAGIC,
      PSTOREFS_MAGIC,     DEVPTS_SUPER_MAGIC,  BINFMTFS_MAGIC,     0x65735543 /* fusectl */};
  for (const unsigned long magic : kernel)
    if (static_cast<unsigned long>(type) == magic) return true;
  return false;
}

/// Reads up to `count` bytes at `offset`; how many were read, -1 on an error.
ssize_t readAt(int fd, char* into, size_t count, off_t offset) {
  size_t done = 0;
  while (done < count) {
    const ssize_t got = pread(fd, into + done, count - done, offset + static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return static_cast<ssize_t>(done);
}

/// The checked picture file, open for reading, and its size when checked.
struct OpenPicture {
  UniqueFd file;
  size_t size = 0;
};

/// The path of the file behind the /proc entry `self` of a descriptor, every
/// link resolved, as the kernel names it; empty when it cannot be told.
std::string resolvedPathOf(const std::string& self) {
  char path[PATH_MAX];
  const ssize_t length = readlink(self.c_str(), path, sizeof path);
  return length > 0 && static_cast<size_t>(length) < sizeof path ? std::string(path, length) : std::string();
}

std::optional<OpenPicture> openLinkedPicture(const std::string& path, const PictureFolders& folders) {
  if (path.empty() || path.find('\0') != std::string::npos) return std::nullopt;
  // O_PATH resolves the name, links included, without opening the file
  // itself: a device's driver or a FIFO's writer never sees it.
  const UniqueFd handle(open(path.c_str(), O_PATH | O_CLOEXEC));
  if (!handle.isOpen()) return std::nullopt;
  struct stat checked {};
  struct statfs fileSystem {};
  if (fstat(handle.get(), &checked) != 0 || !S_ISREG(checked.st_mode) || checked.st_size <= 0 ||
      static_cast<unsigned long long>(checked.st_size) > kMaxLinkedPictureBytes)
    return std::nullopt;
  if (fstatfs(handle.get(), &fileSystem) != 0 || isKernelFileSystem(fileSystem.f_type)) return std::nullopt;
  const std::string self = "/proc/self/fd/" + std::to_string(handle.get());
  if (!folders.hold(resolvedPathOf(self))) return std::nullopt;
  // The file that was checked, whatever has happened to its name since.
  OpenPicture picture{UniqueFd(open(self.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)),
                      static_cast<size_t>(checked.st_size)};
  struct stat opened {};
  if (!picture.file.isOpen() || fstat(picture.file.get(), &opened) != 0 || opened.st_dev != checked.st_dev ||
      opened.st_ino != checked.st_ino)
    return std::nullopt;
  return picture;
}

}  // namespace

PictureFolders::PictureFolders(const std::vector<std::string>& folders) {
  for (const std::string& folder : folders) {
    const std::unique_ptr<char, decltype(&std::free)> resolved(realpath(folder.c_str(), nullptr), &std::free);
    if (!resolved) continue;
    resolved_.emplace_back(resolved.get());
    if (!resolved_.back().ends_with('/')) resolved_.back().push_back('/');
  }
}

namespace {

/// Whether `below`, a path under one of the folders, passes through no hidden
/// file or folder. A listed card file can make the whole home a picture
/// folder, and its hidden names hold keys and settings (~/.ssh, ~/.gnupg,
/// ~/.config), never an address book's pictures.
bool passesNoHiddenName(std::string_view below) {
  return !below.starts_with('.') && below.find("/.") == std::string_view::npos;
}

}  // namespace

bool PictureFolders::hold(std::string_view resolvedPath) const {
  for (const std::string& folder : resolved_)
    if (resolvedPath.starts_with(folder) && passesNoHiddenName(resolvedPath.substr(folder.size()))) return true;
  return false;
}

bool isLinkedPicture(const std::string& path, const PictureFolders& folders) {
  return openLinkedPicture(path, folders).has_value();
}

std::optional<std::string> readLinkedPicture(const std::string& path, const PictureFolders& folders) {
  std::optional<OpenPicture> picture = openLinkedPicture(path, folders);
  if (!picture) return std::nullopt;
  // One byte more than was checked tells a file that grew since; a file that
  // changes while it is read is no picture this time.
  std::string bytes(picture->size + 1, '\0');
  const ssize_t got = readAt(picture->file.get(), bytes.data(), bytes.size(), 0);
  if (got < 0 || static_cast<size_t>(got) != picture->size) return std::nullopt;
  bytes.resize(picture->size);
  return bytes;
}
