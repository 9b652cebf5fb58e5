// The contacts store of the desktop: every enabled address book of Evolution
// Data Server, in order of display name, then UID; within a book, contacts
// in byte order of their UIDs, read a page at a time (see eds_book_pages.h),
// as vCards by the vCard store's reader under the same rules. Identifiers
// are the contacts' UIDs, unique within one walk: a UID already given out by
// an earlier book is qualified as UID "@" book UID.
// A book that cannot be opened or read is left out and the walk reports
// itself incomplete. Access is answered on a thread of its own; walks run on
// the caller's thread.
#pragma once

#include "sources/store/contacts_store.h"

class EdsContactsStore final : public ContactsStore {
 public:
  EdsContactsStore() = default;
  EdsContactsStore(const EdsContactsStore&) = delete;
  EdsContactsStore& operator=(const EdsContactsStore&) = delete;

  /// Granted when the source registry answers.
  void requestAccess(std::function<void(bool granted)> completion) override;

  bool enumerateContacts(const ContactKeys& keys, const std::function<void(const Contact&)>& visit) override;

  /// The first picture of the contact the walk names `identifier`; it has no
  /// thumbnail.
  std::optional<ContactPictures> unifiedContactPictures(const std::string& identifier) override;
};
