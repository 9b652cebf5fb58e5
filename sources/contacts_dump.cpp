// --contacts-dump: the result is written as JSON text while the store is
// walked, so a large address book never becomes a tree of values. Runs on the
// main thread and ends the process.
#include "sources/contacts_dump.h"

#include "sources/access_requests.h"

namespace {

void writePerson(JsonText& out, const std::string& name, const Contact& contact) {
  out.beginObject();
  out.key("name");
  out.value(name);
  out.key("handles");
  writeHandles(out, contact);
  out.endObject();
}

}  // namespace

ResultText contactsDumpResult(const ContactsModeSources& sources) {
  if (!sources.requestAccess()) return failureResult(kContactsAccessRefused);
  JsonText out;
  out.beginObject();
  out.key("ok");
  out.value(true);
  out.key("people");
  out.beginArray();
  if (std::unique_ptr<ContactsStore> store = sources.makeStore()) {
    // A walk that fails part-way still gives what it found.
    (void)store->enumerateContacts({.fullName = true, .handles = true}, [&](const Contact& contact) {
      const std::string& name = contact.fullName ? *contact.fullName : std::string();
      if (name.empty() || !hasHandles(contact)) return;
      writePerson(out, name, contact);
    });
  }
  out.endArray();
  out.endObject();
  return {out.take(), true};
}

namespace NativeSources {

void dumpContacts() {
  emit([] { return contactsDumpResult(machineContactsSources()); });
}

}  // namespace NativeSources
