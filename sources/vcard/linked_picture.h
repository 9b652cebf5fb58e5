// A picture that a card names by a `file:` link. Cards come from shared and
// synced books, so a link is untrusted: it counts only when it names a
// regular file on a disk file system, of at most 20 MB, whose first bytes are
// a picture. The file is checked through a handle that does not open it, so a
// link to a device, a FIFO or a kernel file (/proc, /sys) is never opened;
// the file that was checked is then opened through that handle. The scan and
// the export decide through the same check. Any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

/// The largest picture a link may name.
inline constexpr size_t kMaxLinkedPictureBytes = size_t{20} << 20;

/// Whether `head`, the first bytes of a file, starts like a JPEG, PNG, GIF,
/// WebP, HEIC/HEIF, BMP or TIFF picture.
bool hasPictureSignature(std::string_view head);

/// Whether the file at `path` counts as a picture (see above).
bool isLinkedPicture(const std::string& path);

/// The bytes of the picture at `path`, read in one buffer of at most
/// kMaxLinkedPictureBytes; nothing when it does not count as a picture, or
/// changes size while it is read.
std::optional<std::string> readLinkedPicture(const std::string& path);
