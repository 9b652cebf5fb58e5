// What the three contacts modes share; see contacts_modes.h.
#include "sources/contacts_modes.h"

#include "sources/access_requests.h"
#include "sources/machine_stores.h"

ContactsModeSources machineContactsSources() {
  return {[] { return NativeSources::requestContacts(); }, [] { return makeContactsStore(); }};
}

bool hasHandles(const Contact& contact) { return !contact.phoneNumbers.empty() || !contact.emailAddresses.empty(); }

void writeHandles(JsonText& out, const Contact& contact) {
  out.beginArray();
  for (const std::string& number : contact.phoneNumbers) out.value(number);
  for (const std::string& address : contact.emailAddresses) out.value(address);
  out.endArray();
}
