// The vCard contacts store; see vcard_contacts_store.h.
#include "sources/vcard/vcard_contacts_store.h"

#include <sys/stat.h>

#include "sources/store/files_read.h"
#include "sources/store/store_access.h"
#include "sources/vcard/contacts_locations.h"
#include "sources/vcard/vcard_file_reader.h"
#include "sources/vcard/vcard_identifiers.h"
#include "sources/vcard/vcard_photo.h"

namespace {

/// The folders of `locations`: a folder itself, a listed file's own folder.
PictureFolders pictureFoldersOf(const std::vector<std::string>& locations) {
  std::vector<std::string> folders;
  for (const std::string& location : locations) {
    struct stat info {};
    const size_t slash = location.rfind('/');
    if (stat(location.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
      folders.push_back(location);
    else
      folders.push_back(slash == std::string::npos ? "." : location.substr(0, slash + 1));
  }
  return PictureFolders(folders);
}

}  // namespace

Contact contactOf(const VCardCard& card, std::string identifier, const ContactKeys& keys,
                  const PictureFolders& folders) {
  Contact contact;
  contact.identifier = std::move(identifier);
  if (keys.fullName && !card.fullName.empty()) contact.fullName = card.fullName;
  if (keys.handles) {
    contact.phoneNumbers = card.phoneNumbers;
    contact.emailAddresses = card.emailAddresses;
  }
  if (keys.imageDataAvailable)
    for (const PhotoSource& photo : card.photos)
      if (photoAvailable(photo, folders)) {
        contact.imageDataAvailable = true;
        break;
      }
  return contact;
}

VCardContactsStore::VCardContactsStore(std::vector<std::string> locations) : locations_(std::move(locations)) {}

void VCardContactsStore::requestAccess(std::function<void(bool granted)> completion) {
  answerAccessOnOwnThread(locations_, locationsReadable, std::move(completion));
}

bool VCardContactsStore::walkCards(const VCardNeeds& needs,
                                   const std::function<void(const VCardCard&, std::string)>& visit) {
  bool complete = true;
  FilesRead filesRead;
  VCardIdentifiers identifiers;
  for (const std::string& location : locations_) {
    for (const std::string& path : vCardFilesOf(location, complete)) {
      struct stat info {};
      if (stat(path.c_str(), &info) == 0 && !filesRead.isFirstVisit(info)) continue;
      if (!readVCardFile(path, needs, [&](VCardCard& card) { visit(card, identifiers.identify(card, path)); }))
        complete = false;
    }
  }
  return complete;
}

bool VCardContactsStore::enumerateContacts(const ContactKeys& keys,
                                           const std::function<void(const Contact&)>& visit) {
  const VCardNeeds needs{keys.fullName, keys.handles, keys.imageDataAvailable};
  const PictureFolders folders = pictureFoldersOf(locations_);
  return walkCards(needs, [&](const VCardCard& card, std::string identifier) {
    visit(contactOf(card, std::move(identifier), keys, folders));
  });
}

std::optional<ContactPictures> VCardContactsStore::unifiedContactPictures(const std::string& identifier) {
  std::optional<ContactPictures> found;
  const PictureFolders folders = pictureFoldersOf(locations_);
  walkCards({.photos = true}, [&](const VCardCard& card, const std::string& cardIdentifier) {
    if (found || cardIdentifier != identifier) return;
    found = ContactPictures{firstPhotoBytes(card, folders), std::nullopt};
  });
  return found;
}
