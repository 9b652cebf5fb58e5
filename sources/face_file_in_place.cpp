// Rewriting a picture file where it is; see face_file_in_place.h.
#include "sources/face_file_in_place.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

#include "base/unique_fd.h"

bool rewriteInPlace(const std::string& path, std::string_view bytes, ExportSignalGuard& guard) {
  // O_NOFOLLOW: a link at the path is never written through. O_NONBLOCK: a
  // FIFO put there since the export looked must not hang it.
  const UniqueFd file(open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  struct stat info {};
  if (!file.isOpen() || fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  // Without the old bytes in hand a failure could not be undone.
  const std::optional<std::string> oldBytes = readToEnd(file);
  if (!oldBytes) return false;
  guard.restoreOnSignal(file.get(), *oldBytes);
  // Writing over the old bytes before cutting the file keeps their blocks, so
  // on a full disk the old content still fits back.
  const bool written = replaceContent(file.get(), bytes.data(), bytes.size()) && fsync(file.get()) == 0;
  if (!written && replaceContent(file.get(), oldBytes->data(), oldBytes->size())) fsync(file.get());
  guard.disarm();
  return written;
}
