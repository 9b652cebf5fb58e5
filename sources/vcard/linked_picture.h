// A picture that a card names by a `file:` link. Cards come from shared and
// synced books, so a link is untrusted: it counts only when its target, every
// link resolved, lies inside the folders that its store keeps cards and
// pictures in, below them under no hidden name (none starting with "."), and
// is a regular file on a disk file system, of at most 20 MB.
// Inside those folders a linked picture counts as inline data does, whatever
// its format. The file is checked through a handle that does not open it, so
// a link to a device, a FIFO or a kernel file (/proc, /sys) is never opened;
// the file that was checked is then opened through that handle. The scan and
// the export decide through the same check. Any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// The largest picture a link may name.
inline constexpr size_t kMaxLinkedPictureBytes = size_t{20} << 20;

/// The folders a store keeps its cards and pictures in, each resolved once
/// when made (every link in it followed); one that does not exist holds
/// nothing.
class PictureFolders {
 public:
  explicit PictureFolders(const std::vector<std::string>& folders);

  /// Whether `resolvedPath`, a path without links, lies inside one of them
  /// and under no hidden name there.
  bool hold(std::string_view resolvedPath) const;

 private:
  std::vector<std::string> resolved_;  ///< each ending in "/"
};

/// Whether the file at `path` counts as a picture inside `folders`.
bool isLinkedPicture(const std::string& path, const PictureFolders& folders);

/// The bytes of the picture at `path`, read in one buffer of at most
/// kMaxLinkedPictureBytes; nothing when it does not count as a picture inside
/// `folders`, or changes size while it is read.
std::optional<std::string> readLinkedPicture(const std::string& path, const PictureFolders& folders);
