// --contact-faces-scan: the faces are written while the store is walked, the
// counts around them once it is done. Runs on the main thread and ends the
// process.
#include "sources/contact_faces_scan.h"

#include <cstdint>

#include "sources/access_requests.h"

ResultText contactFacesScanResult(const ContactsModeSources& sources) {
  if (!sources.requestAccess()) return failureResult(kContactsAccessRefused);
  int64_t contacts = 0;
  int64_t withFace = 0;
  JsonText faces;
  faces.beginArray();
  if (std::unique_ptr<ContactsStore> store = sources.makeStore()) {
    (void)store->enumerateContacts({.handles = true, .imageDataAvailable = true}, [&](const Contact& contact) {
      ++contacts;
      if (!contact.imageDataAvailable || !hasHandles(contact)) return;
      ++withFace;
      faces.beginObject();
      faces.key("handles");
      writeHandles(faces, contact);
      faces.key("id");
      faces.value(contact.identifier);
      faces.endObject();
    });
  }
  faces.endArray();
  JsonText out;
  out.beginObject();
  out.key("contacts");
  out.value(contacts);
  out.key("faces");
  out.writtenValue(faces.take());
  out.key("ok");
  out.value(true);
  out.key("withFace");
  out.value(withFace);
  out.endObject();
  return {out.take(), true};
}

namespace NativeSources {

void dumpContactFaceScan() {
  emit([] { return contactFacesScanResult(machineContactsSources()); });
}

}  // namespace NativeSources
