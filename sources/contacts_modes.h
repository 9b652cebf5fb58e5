// The three contacts modes as results: each asks for access, reads a store
// and returns its one result object. The mode operations of native_sources.h
// hand these results to emit(); tests hand in a store of their own. Run on
// the calling thread, which they block.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

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

/// A result already written as one line of JSON, for results too large to
/// hold as a tree of values.
struct ResultText {
  std::string json;
  bool ok = false;  ///< whether the object's `ok` is true
};

/// --contacts-dump: `people` with `name` and `handles`.
ResultText contactsDumpResult(const ContactsModeSources& sources);

/// --contact-faces-scan: `contacts`, `withFace` and `faces` with `id` and
/// `handles`.
nlohmann::json contactFacesScanResult(const ContactsModeSources& sources);

/// --contact-face: writes the picture of `identifier` to `outPath`; `bytes`
/// and `kind`.
nlohmann::json contactFaceResult(const ContactsModeSources& sources, const std::string& identifier,
                                 const std::string& outPath);

/// The handle list: phone numbers in stored order, then e-mail addresses.
nlohmann::json handleList(const Contact& contact);

/// The failure object with `reason`.
nlohmann::json failureResult(const std::string& reason);

/// The reason given when contacts access is not granted.
inline constexpr const char* kContactsAccessRefused = "contacts access was not granted";
