// The contacts store as the contacts modes see it: ask for access, walk the
// contacts one at a time, look one up by identifier. A store object lives for
// one request or one mode. Two stores stand behind it: the vCard files, and
// the desktop's own address books (Evolution Data Server); machine_stores.h
// chooses.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

/// What one walk needs of each contact; the store may leave the rest empty.
struct ContactKeys {
  bool fullName = false;
  bool handles = false;            ///< phone numbers and e-mail addresses
  bool imageDataAvailable = false;
};

/// One contact, as far as the walk asked for it.
struct Contact {
  std::string identifier;
  std::optional<std::string> fullName;      ///< formatted full name, if any
  std::vector<std::string> phoneNumbers;    ///< in stored order
  std::vector<std::string> emailAddresses;  ///< in stored order
  bool imageDataAvailable = false;
};

/// The pictures of one contact, each present or not.
struct ContactPictures {
  std::optional<std::string> imageData;
  std::optional<std::string> thumbnailImageData;
};

class ContactsStore {
 public:
  virtual ~ContactsStore() = default;

  /// Starts an access request; `completion` runs once, on another thread.
  virtual void requestAccess(std::function<void(bool granted)> completion) = 0;

  /// Calls `visit` once per contact, in the store's order, and returns when
  /// every call has finished: true when the whole walk succeeded. The contact
  /// passed to `visit` is valid only during that call.
  virtual bool enumerateContacts(const ContactKeys& keys,
                                 const std::function<void(const Contact&)>& visit) = 0;

  /// The pictures of the contact with `identifier`, or nothing when there is
  /// no such contact or it cannot be read.
  virtual std::optional<ContactPictures> unifiedContactPictures(const std::string& identifier) = 0;
};
