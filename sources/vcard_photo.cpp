// Picture bytes of a card; see vcard_photo.h.
#include "sources/vcard_photo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "sources/vcard_lines.h"
#include "sources/vcard_values.h"

namespace {

/// An open descriptor, closed when the holder goes.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

int openRegularForReading(const std::string& path) {
  return open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
}

bool isNonEmptyRegular(int fd) {
  struct stat info {};
  return fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
}

std::optional<std::string> readLocalFile(const std::string& path) {
  FileDescriptor file(openRegularForReading(path));
  if (file.get() < 0 || !isNonEmptyRegular(file.get())) return std::nullopt;
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t got = read(file.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    bytes.append(buffer, static_cast<size_t>(got));
  }
  if (bytes.empty()) return std::nullopt;
  return bytes;
}

}  // namespace

bool photoAvailable(const PhotoSource& photo) {
  switch (photo.kind) {
    case PhotoSource::Kind::inlineBase64:
      return holdsBase64Data(photo.payload);
    case PhotoSource::Kind::inlineText:
      return photo.payload.find_first_not_of(" \t\r\n") != std::string_view::npos;
    case PhotoSource::Kind::file: {
      FileDescriptor file(openRegularForReading(photo.path));
      return file.get() >= 0 && isNonEmptyRegular(file.get());
    }
  }
  return false;
}

std::optional<std::string> photoBytes(const PhotoSource& photo) {
  std::string bytes;
  switch (photo.kind) {
    case PhotoSource::Kind::inlineBase64:
      bytes = decodeBase64(photo.payload);
      break;
    case PhotoSource::Kind::inlineText:
      bytes = percentDecode(unfold(photo.payload));
      break;
    case PhotoSource::Kind::file:
      return readLocalFile(photo.path);
  }
  if (bytes.empty()) return std::nullopt;
  return bytes;
}

std::optional<std::string> firstPhotoBytes(const VCardCard& card) {
  for (const PhotoSource& photo : card.photos)
    if (std::optional<std::string> bytes = photoBytes(photo)) return bytes;
  return std::nullopt;
}
