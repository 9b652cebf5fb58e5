// Feeds arbitrary bytes to the vCard reader with every part of a card asked
// for, and decodes every inline picture, checking that all text that comes
// out is valid UTF-8 and that a picture said to be there (as the faces scan
// sees it) decodes to bytes (as the face export sees it), and the other way.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "base/utf8_text.h"
#include "sources/vcard/vcard_photo.h"
#include "sources/vcard/vcard_reader.h"

namespace {

void requireValid(const std::string& text) {
  if (!isValidUtf8(text)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const VCardNeeds everything{.names = true, .handles = true, .photos = true};
  const PictureFolders noFolders({});
  readVCards(text, everything, [&](VCardCard& card) {
    requireValid(card.uid);
    requireValid(card.fullName);
    for (const std::string& number : card.phoneNumbers) requireValid(number);
    for (const std::string& address : card.emailAddresses) requireValid(address);
    for (const PhotoSource& photo : card.photos) {
      // Local files named by the input are not the reader's concern here.
      if (photo.kind == PhotoSource::Kind::file) continue;
      if (photoAvailable(photo, noFolders) != photoBytes(photo, noFolders).has_value()) std::abort();
    }
  });
  return 0;
}
