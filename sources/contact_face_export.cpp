// --contact-face: writes one contact's picture to a file. The failures are
// tested in a fixed order, each with its own reason. Runs on the main thread
// and ends the process.
#include <cstdint>

#include "sources/contacts_modes.h"
#include "sources/face_file.h"
#include "sources/native_sources.h"
#include "sources/result_writer.h"
#include "base/utf8_text.h"

namespace {

constexpr const char* kNeedsBoth = "a face needs both an identifier and somewhere to put it";
constexpr const char* kNoContact = "no contact with that identifier";
constexpr const char* kNoFace = "that contact has no face after all";
constexpr const char* kCouldNotWrite = "could not write the face to ";

}  // namespace

nlohmann::json contactFaceResult(const ContactsModeSources& sources, const std::string& identifier,
                                 const std::string& outPath) {
  if (identifier.empty() || outPath.empty()) return failureResult(kNeedsBoth);
  if (!sources.requestAccess()) return failureResult(kContactsAccessRefused);
  std::unique_ptr<ContactsStore> store = sources.makeStore();
  const std::optional<ContactPictures> pictures = store ? store->unifiedContactPictures(identifier) : std::nullopt;
  if (!pictures) return failureResult(kNoContact);
  // The thumbnail stands in only for a missing picture, not an empty one.
  const bool full = pictures->imageData.has_value();
  const std::optional<std::string>& chosen = full ? pictures->imageData : pictures->thumbnailImageData;
  if (!chosen || chosen->empty()) return failureResult(kNoFace);
  if (!writeFaceFile(outPath, *chosen)) return failureResult(kCouldNotWrite + toValidUtf8(outPath));
  return {{"ok", true}, {"bytes", static_cast<int64_t>(chosen->size())}, {"kind", full ? "full" : "thumbnail"}};
}

namespace NativeSources {

void dumpContactFace(const std::string& identifier, const std::string& outPath) {
  emit(contactFaceResult(machineContactsSources(), identifier, outPath));
}

}  // namespace NativeSources
