// Placeholders so the program links while the sources are being built.
#include <cstdlib>

#include "sources/access_requests.h"
#include "sources/contacts_store.h"
#include "sources/native_sources.h"

namespace NativeSources {
void dumpCalendar(double, double) { std::exit(2); }
void dumpContacts() { std::exit(2); }
void dumpContactFaceScan() { std::exit(2); }
void dumpContactFace(const std::string&, const std::string&) { std::exit(2); }
bool waitForGrant(double, const std::function<void(GrantCompletion)>&) { return false; }
bool requestCalendar(double) { return false; }
bool requestContacts(double) { return false; }
}  // namespace NativeSources

namespace PromptableSources {
void request() {}
}  // namespace PromptableSources

std::unique_ptr<ContactsStore> makeContactsStore() { return nullptr; }
