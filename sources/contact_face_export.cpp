// --contact-face: the picture replaces the file at the path whole; the
// thumbnail stands in only for a missing picture. Runs on the main thread and
// ends the process.
#include "sources/contact_face_export.h"

#include <cstdint>

#include "base/replace_file_contents.h"
#include "sources/access_requests.h"

namespace {

constexpr const char* kNeedsBoth = "a face needs both an identifier and somewhere to put it";
constexpr const char* kNoContact = "no contact with that identifier";
constexpr const char* kNoFace = "that contact has no face after all";
constexpr const char* kCouldNotWrite = "could not write the face to ";

ResultText written(size_t bytes, bool full) {
  JsonText out;
  out.beginObject();
  out.key("bytes");
  out.value(static_cast<int64_t>(bytes));
  out.key("kind");
  out.value(full ? "full" : "thumbnail");
  out.key("ok");
  out.value(true);
  out.endObject();
  return {out.take(), true};
}

}  // namespace

ResultText contactFaceResult(const ContactsModeSources& sources, const std::string& identifier,
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
  if (!replaceFileContents(outPath, *chosen)) return failureResult(kCouldNotWrite + outPath);
  return written(chosen->size(), full);
}

namespace NativeSources {

void dumpContactFace(const std::string& identifier, const std::string& outPath) {
  emit([&] { return contactFaceResult(machineContactsSources(), identifier, outPath); });
}

}  // namespace NativeSources
