// The vCard contacts store; see vcard_contacts_store.h.
#include "sources/vcard/vcard_contacts_store.h"

#include <cstdint>
#include <cstdio>
#include <system_error>
#include <thread>

#include "sources/vcard/contacts_locations.h"
#include "sources/vcard/vcard_file_reader.h"
#include "sources/vcard/vcard_photo.h"

namespace {

/// FNV-1a: a short stable digest of a path, so that derived identifiers stay
/// valid text whatever bytes the path holds.
uint64_t digestOf(const std::string& text) {
  uint64_t hash = 14695981039346656037ull;
  for (const unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return hash;
}

Contact contactOf(const VCardCard& card, const std::string& path, const ContactKeys& keys) {
  Contact contact;
  contact.identifier = contactIdentifier(card, path);
  if (keys.fullName && !card.fullName.empty()) contact.fullName = card.fullName;
  if (keys.handles) {
    contact.phoneNumbers = card.phoneNumbers;
    contact.emailAddresses = card.emailAddresses;
  }
  if (keys.imageDataAvailable)
    for (const PhotoSource& photo : card.photos)
      if (photoAvailable(photo)) {
        contact.imageDataAvailable = true;
        break;
      }
  return contact;
}

}  // namespace

std::string contactIdentifier(const VCardCard& card, const std::string& path) {
  if (!card.uid.empty()) return card.uid;
  char derived[64];
  std::snprintf(derived, sizeof derived, "vcard-%016llx-%zu", static_cast<unsigned long long>(digestOf(path)),
                card.position);
  return derived;
}

VCardContactsStore::VCardContactsStore(std::vector<std::string> locations) : locations_(std::move(locations)) {}

void VCardContactsStore::requestAccess(std::function<void(bool granted)> completion) {
  try {
    std::thread([locations = locations_, completion] { completion(locationsReadable(locations)); }).detach();
  } catch (const std::system_error&) {
    completion(locationsReadable(locations_));
  }
}

bool VCardContactsStore::walkCards(const VCardNeeds& needs,
                                   const std::function<void(const VCardCard&, const std::string&)>& visit) {
  bool complete = true;
  for (const std::string& location : locations_) {
    for (const std::string& path : vCardFilesOf(location, complete)) {
      if (!readVCardFile(path, needs, [&](VCardCard& card) { visit(card, path); })) complete = false;
    }
  }
  return complete;
}

bool VCardContactsStore::enumerateContacts(const ContactKeys& keys,
                                           const std::function<void(const Contact&)>& visit) {
  const VCardNeeds needs{keys.fullName, keys.handles, keys.imageDataAvailable};
  return walkCards(needs, [&](const VCardCard& card, const std::string& path) { visit(contactOf(card, path, keys)); });
}

std::optional<ContactPictures> VCardContactsStore::unifiedContactPictures(const std::string& identifier) {
  std::optional<ContactPictures> found;
  walkCards({.photos = true}, [&](const VCardCard& card, const std::string& path) {
    if (found || contactIdentifier(card, path) != identifier) return;
    found = ContactPictures{firstPhotoBytes(card), std::nullopt};
  });
  return found;
}
