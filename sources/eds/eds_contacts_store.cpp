// The desktop's contacts store; see eds_contacts_store.h.
#include "sources/eds/eds_contacts_store.h"

#include <libebook/libebook.h>

#include <string>
#include <unordered_set>

#include "sources/eds/eds_book_pages.h"
#include "sources/eds/eds_glib.h"
#include "sources/eds/eds_session.h"
#include "sources/vcard/vcard_contacts_store.h"
#include "sources/vcard/vcard_photo.h"
#include "sources/vcard/vcard_reader.h"

namespace {

using CardVisit = std::function<void(const VCardCard&, const std::string& identifier)>;

/// A book kept in local files is read in this process, straight from its
/// files; any other through the service. (The client library's direct read
/// of another kind of book, a CardDAV book's cache, fails and says so on
/// standard error.)
GObjectPtr<EClient> connectBook(ESourceRegistry* registry, ESource* book) {
  GErrorOwner error;
  GObjectPtr<EClient> client;
  if (edsSourceIsLocal(book, E_SOURCE_EXTENSION_ADDRESS_BOOK))
    client.reset(e_book_client_connect_direct_sync(registry, book, kConnectWithoutWaiting, nullptr, error.out()));
  if (!client) client.reset(e_book_client_connect_sync(book, kConnectWithoutWaiting, nullptr, error.out()));
  return client;
}

/// Hands out identifiers unique within one walk.
class Identifiers {
 public:
  std::string next(const VCardCard& card, const char* bookUid) {
    std::string identifier = card.uid.empty() ? std::string("eds-") + bookUid + "-" + std::to_string(card.position)
                                              : card.uid;
    if (!given_.insert(identifier).second) {
      identifier += std::string("@") + bookUid;
      given_.insert(identifier);
    }
    return identifier;
  }

 private:
  std::unordered_set<std::string> given_;
};

/// Reads one book's contacts; false when it cannot be read.
bool walkBook(EBookClient* client, const char* bookUid, const VCardNeeds& needs, Identifiers& identifiers,
              const CardVisit& visit) {
  size_t position = 0;
  return forEachBookCard(client, [&](std::string_view text) {
    readVCards(text, needs, [&](VCardCard& card) { visit(card, identifiers.next(card, bookUid)); }, {}, position++);
  });
}

/// Where the service keeps its books' pictures, each as a file of its own:
/// in the books' data folders (local books) and cache folders (remote ones).
PictureFolders pictureFolders() {
  return PictureFolders({std::string(e_get_user_data_dir()) + "/addressbook",
                         std::string(e_get_user_cache_dir()) + "/addressbook"});
}

bool walkCards(const VCardNeeds& needs, const CardVisit& visit) {
  EdsRegistry registry = openEdsRegistry();
  if (!registry.registry) return false;
  bool complete = true;
  Identifiers identifiers;
  for (const GObjectPtr<ESource>& book :
       enabledSources(registry.registry.get(), E_SOURCE_EXTENSION_ADDRESS_BOOK)) {
    GObjectPtr<EClient> client = connectBook(registry.registry.get(), book.get());
    if (!client ||
        !walkBook(E_BOOK_CLIENT(client.get()), e_source_get_uid(book.get()), needs, identifiers, visit))
      complete = false;
  }
  return complete;
}

}  // namespace

void EdsContactsStore::requestAccess(std::function<void(bool granted)> completion) {
  requestEdsAccess(std::move(completion));
}

bool EdsContactsStore::enumerateContacts(const ContactKeys& keys, const std::function<void(const Contact&)>& visit) {
  const VCardNeeds needs{keys.fullName, keys.handles, keys.imageDataAvailable};
  const PictureFolders folders = pictureFolders();
  return walkCards(needs, [&](const VCardCard& card, const std::string& identifier) {
    visit(contactOf(card, identifier, keys, folders));
  });
}

std::optional<ContactPictures> EdsContactsStore::unifiedContactPictures(const std::string& identifier) {
  std::optional<ContactPictures> found;
  const PictureFolders folders = pictureFolders();
  walkCards({.photos = true}, [&](const VCardCard& card, const std::string& given) {
    if (!found && given == identifier) found = ContactPictures{firstPhotoBytes(card, folders), std::nullopt};
  });
  return found;
}
