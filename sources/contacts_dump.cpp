// --contacts-dump: every contact with a full name and at least one handle, in
// the store's order. The result is written as JSON text while the store is
// walked, so a large address book never becomes a tree of values. Runs on the
// main thread and ends the process.
#include "sources/contacts_modes.h"
#include "sources/json_text.h"
#include "sources/native_sources.h"
#include "sources/result_writer.h"

namespace {

void writePerson(JsonText& out, const std::string& name, const Contact& contact) {
  out.beginObject();
  out.key("name");
  out.value(name);
  out.key("handles");
  out.beginArray();
  for (const std::string& number : contact.phoneNumbers) out.value(number);
  for (const std::string& address : contact.emailAddresses) out.value(address);
  out.endArray();
  out.endObject();
}

}  // namespace

ResultText contactsDumpResult(const ContactsModeSources& sources) {
  if (!sources.requestAccess()) return {failureResult(kContactsAccessRefused).dump(), false};
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
      if (name.empty() || (contact.phoneNumbers.empty() && contact.emailAddresses.empty())) return;
      writePerson(out, name, contact);
    });
  }
  out.endArray();
  out.endObject();
  return {out.take(), true};
}

namespace NativeSources {

void dumpContacts() {
  const ResultText result = contactsDumpResult(machineContactsSources());
  emitText(result.json, result.ok);
}

}  // namespace NativeSources
