// What the three contacts modes share; see contacts_modes.h.
#include "sources/contacts_modes.h"

#include "sources/access_requests.h"

ContactsModeSources machineContactsSources() {
  return {[] { return NativeSources::requestContacts(); }, [] { return makeContactsStore(); }};
}

nlohmann::json handleList(const Contact& contact) {
  nlohmann::json handles = nlohmann::json::array();
  for (const std::string& number : contact.phoneNumbers) handles.push_back(number);
  for (const std::string& address : contact.emailAddresses) handles.push_back(address);
  return handles;
}

nlohmann::json failureResult(const std::string& reason) { return {{"ok", false}, {"reason", reason}}; }
