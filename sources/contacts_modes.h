// What the three contacts modes share: where they get access and a store
// from, and the handle list they write. Each mode (contacts_dump.h,
// contact_faces_scan.h, contact_face_export.h) asks for access, reads a store
// and returns its one result; tests hand in a store of their own. Run on the
// calling thread, which they block.
#pragma once

#include <functional>
#include <memory>

#include "sources/json_text.h"
#include "sources/store/contacts_store.h"

/// Where a contacts mode gets access and its store from.
struct ContactsModeSources {
  /// Asks for access and waits for the answer; true when granted.
  std::function<bool()> requestAccess;
  /// A new store, made only after access was granted.
  std::function<std::unique_ptr<ContactsStore>()> makeStore;
};

/// This machine's contacts store, with the 120-second access request.
ContactsModeSources machineContactsSources();

/// Whether `contact` has a phone number or an e-mail address.
bool hasHandles(const Contact& contact);

/// Writes the handle list as an array: phone numbers in stored order, then
/// e-mail addresses.
void writeHandles(JsonText& out, const Contact& contact);
