// Picture bytes of a card; see vcard_photo.h.
#include "sources/vcard/vcard_photo.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "base/unique_fd.h"
#include "sources/vcard/vcard_lines.h"
#include "sources/vcard/vcard_values.h"

namespace {

int openRegularForReading(const std::string& path) {
  return open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
}

bool isNonEmptyRegular(int fd) {
  struct stat info {};
  return fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
}

std::optional<std::string> readLocalFile(const std::string& path) {
  const UniqueFd file(openRegularForReading(path));
  if (!file.isOpen() || !isNonEmptyRegular(file.get())) return std::nullopt;
  std::optional<std::string> bytes = readToEnd(file);
  if (!bytes || bytes->empty()) return std::nullopt;
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
      const UniqueFd file(openRegularForReading(photo.path));
      return file.isOpen() && isNonEmptyRegular(file.get());
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
