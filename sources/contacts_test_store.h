// An address book held in memory for the tests of the three contacts modes,
// and the sources that hand it to them.
#pragma once

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
#include <memory>

#include "sources/contacts_modes.h"
#include "sources/result_writer.h"

namespace test {

/// A store held in memory; `failAfter` ends the walk early, as a failing
/// enumeration does.
struct MemoryStore final : ContactsStore {
  std::vector<Contact> contacts;
  std::map<std::string, ContactPictures> pictures;
  size_t failAfter = SIZE_MAX;

  void requestAccess(std::function<void(bool)> completion) override { completion(true); }
  bool enumerateContacts(const ContactKeys&, const std::function<void(const Contact&)>& visit) override {
    for (size_t i = 0; i < contacts.size() && i < failAfter; ++i) visit(contacts[i]);
    return contacts.size() <= failAfter;
  }
  std::optional<ContactPictures> unifiedContactPictures(const std::string& identifier) override {
    const auto found = pictures.find(identifier);
    return found == pictures.end() ? std::nullopt : std::optional(found->second);
  }
};

struct Sources {
  MemoryStore store;
  bool granted = true;
  int storesMade = 0;

  ContactsModeSources get() {
    return {[this] { return granted; }, [this] { ++storesMade; return std::make_unique<MemoryStore>(store); }};
  }
};

/// A mode's result as a value; its `ok` flag must agree with the text.
inline nlohmann::json parsed(const ResultText& result) {
  const nlohmann::json value = nlohmann::json::parse(result.json);
  EXPECT_EQ(result.ok, value["ok"] == true) << result.json;
  return value;
}

}  // namespace test
