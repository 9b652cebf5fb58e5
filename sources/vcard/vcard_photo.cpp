// Picture bytes of a card; see vcard_photo.h.
#include "sources/vcard/vcard_photo.h"

#include "sources/vcard/vcard_lines.h"
#include "sources/vcard/vcard_values.h"

bool photoAvailable(const PhotoSource& photo, const PictureFolders& folders) {
  switch (photo.kind) {
    case PhotoSource::Kind::inlineBase64:
      return base64YieldsBytes(photo.payload);
    case PhotoSource::Kind::inlineText:
      return !unfoldsToNothing(photo.payload);
    case PhotoSource::Kind::file:
      return isLinkedPicture(photo.path, folders);
  }
  return false;
}

std::optional<std::string> photoBytes(const PhotoSource& photo, const PictureFolders& folders) {
  std::string bytes;
  switch (photo.kind) {
    case PhotoSource::Kind::inlineBase64:
      bytes = decodeBase64(photo.payload);
      break;
    case PhotoSource::Kind::inlineText:
      bytes = percentDecode(unfold(photo.payload));
      break;
    case PhotoSource::Kind::file:
      return readLinkedPicture(photo.path, folders);
  }
  if (bytes.empty()) return std::nullopt;
  return bytes;
}

std::optional<std::string> firstPhotoBytes(const VCardCard& card, const PictureFolders& folders) {
  for (const PhotoSource& photo : card.photos)
    if (std::optional<std::string> bytes = photoBytes(photo, folders)) return bytes;
  return std::nullopt;
}
