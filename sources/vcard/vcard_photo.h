// The bytes behind a PHOTO: whether there are any, known without decoding a
// payload, and the decoded bytes for the one picture that is exported.
// Pure apart from reading the named local file; any thread.
#pragma once

#include <optional>
#include <string>

#include "sources/vcard/vcard_card.h"

/// Whether `photo` yields bytes: an inline payload that is not empty, or a
/// readable local file that is not empty.
bool photoAvailable(const PhotoSource& photo);

/// The picture bytes of `photo`, or nothing when it yields none.
std::optional<std::string> photoBytes(const PhotoSource& photo);

/// The first photo of `card` that yields bytes, or nothing.
std::optional<std::string> firstPhotoBytes(const VCardCard& card);
