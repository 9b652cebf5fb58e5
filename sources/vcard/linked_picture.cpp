// Checking and reading a linked picture file; see linked_picture.h.
#include "sources/vcard/linked_picture.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "base/unique_fd.h"

namespace {

/// Enough of a file's start to tell every signature apart.
constexpr size_t kHeadBytes = 12;

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

std::optional<OpenPicture> openLinkedPicture(const std::string& path) {
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
  // The file that was checked, whatever has happened to its name since.
  const std::string self = "/proc/self/fd/" + std::to_string(handle.get());
  OpenPicture picture{UniqueFd(open(self.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)),
                      static_cast<size_t>(checked.st_size)};
  struct stat opened {};
  if (!picture.file.isOpen() || fstat(picture.file.get(), &opened) != 0 || opened.st_dev != checked.st_dev ||
      opened.st_ino != checked.st_ino)
    return std::nullopt;
  char head[kHeadBytes];
  const ssize_t got = readAt(picture.file.get(), head, sizeof head, 0);
  if (got <= 0 || !hasPictureSignature({head, static_cast<size_t>(got)})) return std::nullopt;
  return picture;
}

}  // namespace

bool hasPictureSignature(std::string_view head) {
  const auto at = [&](size_t offset, std::string_view magic) {
    return offset <= head.size() && head.substr(offset).starts_with(magic);
  };
  constexpr std::array<std::string_view, 10> heifBrands = {"heic", "heix", "hevc", "hevx", "heim",
                                                           "heis", "hevm", "hevs", "mif1", "msf1"};
  if (at(0, "\xFF\xD8\xFF") || at(0, "\x89PNG\r\n\x1A\n") || at(0, "GIF87a") || at(0, "GIF89a") || at(0, "BM") ||
      at(0, std::string_view("II*\0", 4)) || at(0, std::string_view("MM\0*", 4)))
    return true;
  if (at(0, "RIFF") && at(8, "WEBP")) return true;
  if (at(4, "ftyp"))
    for (const std::string_view brand : heifBrands)
      if (at(8, brand)) return true;
  return false;
}

bool isLinkedPicture(const std::string& path) { return openLinkedPicture(path).has_value(); }

std::optional<std::string> readLinkedPicture(const std::string& path) {
  std::optional<OpenPicture> picture = openLinkedPicture(path);
  if (!picture) return std::nullopt;
  // One byte more than was checked tells a file that grew since; a file that
  // changes while it is read is no picture this time.
  std::string bytes(picture->size + 1, '\0');
  const ssize_t got = readAt(picture->file.get(), bytes.data(), bytes.size(), 0);
  if (got < 0 || static_cast<size_t>(got) != picture->size) return std::nullopt;
  bytes.resize(picture->size);
  if (!hasPictureSignature(bytes)) return std::nullopt;
  return bytes;
}
