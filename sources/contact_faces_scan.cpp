// --contact-faces-scan: how many contacts there are and which have a picture
// and handles, by identifier. Picture bytes are never read. Runs on the main
// thread and ends the process.
#include <cstdint>

#include "sources/contacts_modes.h"
#include "sources/native_sources.h"
#include "sources/result_writer.h"

nlohmann::json contactFacesScanResult(const ContactsModeSources& sources) {
  if (!sources.requestAccess()) return failureResult(kContactsAccessRefused);
  int64_t contacts = 0;
  nlohmann::json faces = nlohmann::json::array();
  if (std::unique_ptr<ContactsStore> store = sources.makeStore()) {
    (void)store->enumerateContacts({.handles = true, .imageDataAvailable = true}, [&](const Contact& contact) {
      ++contacts;
      if (!contact.imageDataAvailable) return;
      nlohmann::json handles = handleList(contact);
      if (handles.empty()) return;
      faces.push_back({{"id", contact.identifier}, {"handles", std::move(handles)}});
    });
  }
  const auto withFace = static_cast<int64_t>(faces.size());
  return {{"ok", true}, {"contacts", contacts}, {"withFace", withFace}, {"faces", std::move(faces)}};
}

namespace NativeSources {

void dumpContactFaceScan() { emit(contactFacesScanResult(machineContactsSources())); }

}  // namespace NativeSources
