// The bytes behind a PHOTO: whether there are any, known without decoding a
// payload, and the decoded bytes for the one picture that is exported.
// Pure apart from reading a linked picture file; any thread.
#pragma once

#include <optional>
#include <string>

#include "sources/vcard/linked_picture.h"
#include "sources/vcard/vcard_card.h"

/// Whether `photo` yields bytes: an inline payload that decodes to some, or a
/// linked file that counts as a picture inside `folders` (see
/// linked_picture.h).
bool photoAvailable(const PhotoSource& photo, const PictureFolders& folders);

/// The picture bytes of `photo`, or nothing when it yields none.
std::optional<std::string> photoBytes(const PhotoSource& photo, const PictureFolders& folders);

/// The first photo of `card` that yields bytes, or nothing.
std::optional<std::string> firstPhotoBytes(const VCardCard& card, const PictureFolders& folders);
