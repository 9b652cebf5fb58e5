// The contacts store of this machine: the vCard files of the address book
// locations, read afresh for every walk. Contacts come in location order,
// files of a folder by byte order of their paths, cards in file order.
// A store object belongs to one thread; its access answer comes on another.
#pragma once

#include <string>
#include <vector>

#include "sources/store/contacts_store.h"
#include "sources/vcard/linked_picture.h"
#include "sources/vcard/vcard_card.h"

class VCardContactsStore final : public ContactsStore {
 public:
  /// A store over `locations` (files or folders, in order). Its cards'
  /// `file:` pictures count inside those folders and the listed files' own.
  explicit VCardContactsStore(std::vector<std::string> locations);

  /// Answers on a thread of its own that shares nothing with the store, so
  /// the store may go before the answer comes (see store_access.h).
  void requestAccess(std::function<void(bool granted)> completion) override;

  /// False when a file or folder could not be read; the walk still goes on
  /// past it.
  bool enumerateContacts(const ContactKeys& keys, const std::function<void(const Contact&)>& visit) override;

  /// The picture of the card with `identifier`; it has no thumbnail.
  std::optional<ContactPictures> unifiedContactPictures(const std::string& identifier) override;

 private:
  /// Calls `visit` with every card and its identifier (see vcard_identifiers.h).
  bool walkCards(const VCardNeeds& needs, const std::function<void(const VCardCard&, std::string)>& visit);

  std::vector<std::string> locations_;
};

/// The contact handed on for `card`, as far as `keys` ask: its full name,
/// handles, and whether one of its pictures can be had (without decoding it)
/// from inline data or from a file inside `folders`. The desktop store hands
/// its cards on by the same rule, with its own folders.
Contact contactOf(const VCardCard& card, std::string identifier, const ContactKeys& keys,
                  const PictureFolders& folders);
