// Tests of the three contacts modes against an in-memory store: skip rules,
// order, keys, and every failure of the face export in its order.
#include "sources/contacts_modes.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <map>

#include "tests/test_support.h"

namespace {

using nlohmann::json;

/// A store held in memory; `failAfter` ends the walk early, as a failing
/// enumeration does.
struct MemoryStore final : ContactsStore {
  std::vector<Contact> contacts;
  std::map<std::string, ContactPictures> pictures;
  std::optional<size_t> failAfter;

  void requestAccess(std::function<void(bool)> completion) override { completion(true); }
  bool enumerateContacts(const ContactKeys&, const std::function<void(const Contact&)>& visit) override {
    for (size_t i = 0; i < contacts.size(); ++i) {
      if (failAfter && i == *failAfter) return false;
      visit(contacts[i]);
    }
    return true;
  }
  std::optional<ContactPictures> unifiedContactPictures(const std::string& identifier) override {
    const auto found = pictures.find(identifier);
    if (found == pictures.end()) return std::nullopt;
    return found->second;
  }
};

struct Sources {
  MemoryStore store;
  bool granted = true;
  int storesMade = 0;

  ContactsModeSources get() {
    return {[this] { return granted; },
            [this]() -> std::unique_ptr<ContactsStore> {
              ++storesMade;
              return std::make_unique<MemoryStore>(store);
            }};
  }
};

Contact contact(std::string id, std::optional<std::string> name, std::vector<std::string> phones,
                std::vector<std::string> emails, bool face = false) {
  return {std::move(id), std::move(name), std::move(phones), std::move(emails), face};
}

/// The dump's text as a value; its `ok` flag must agree with the text.
json dumped(Sources& sources) {
  const ResultText result = contactsDumpResult(sources.get());
  json value = json::parse(result.json);
  EXPECT_EQ(result.ok, value["ok"] == true) << result.json;
  return value;
}

const json kRefused = {{"ok", false}, {"reason", "contacts access was not granted"}};

TEST(ContactsDump, KeepsNamedContactsWithHandlesInStoreOrder) {
  Sources sources;
  sources.store.contacts = {
      contact("1", "Zed", {"+1 (555) 01", "+1 (555) 01"}, {"Zed@Mail.COM"}),
      contact("2", std::nullopt, {"9"}, {}),
      contact("3", "", {"9"}, {}),
      contact("4", "No Handles", {}, {}),
      contact("5", "  ", {}, {"same", ""}),
      contact("6", "Zed", {"same"}, {"same"}),
  };
  EXPECT_EQ(dumped(sources),
            json::parse(R"({"ok":true,"people":[
              {"name":"Zed","handles":["+1 (555) 01","+1 (555) 01","Zed@Mail.COM"]},
              {"name":"  ","handles":["same",""]},
              {"name":"Zed","handles":["same","same"]}]})"));
}

TEST(ContactsDump, RefusalReadsNoStoreAndFailedWalkKeepsWhatItFound) {
  Sources sources;
  sources.granted = false;
  EXPECT_EQ(dumped(sources), kRefused);
  EXPECT_EQ(contactFacesScanResult(sources.get()), kRefused);
  EXPECT_EQ(sources.storesMade, 0);
  sources.granted = true;
  EXPECT_EQ(dumped(sources), json::parse(R"({"ok":true,"people":[]})"));
  sources.store.contacts = {contact("1", "A", {"1"}, {}), contact("2", "B", {"2"}, {})};
  sources.store.failAfter = 1;
  EXPECT_EQ(dumped(sources), json::parse(R"({"ok":true,"people":[{"name":"A","handles":["1"]}]})"));
}

TEST(ContactFacesScan, CountsEveryContactAndListsFacesWithHandles) {
  Sources sources;
  EXPECT_EQ(contactFacesScanResult(sources.get()), json::parse(R"({"ok":true,"contacts":0,"withFace":0,"faces":[]})"));
  sources.store.contacts = {
      contact("no-face", "A", {"1"}, {}),
      contact("face-no-handles", "B", {}, {}, true),
      contact("face-mail", std::nullopt, {}, {"b@c"}, true),
      contact("face-both", "C", {"2", "3"}, {"d@e"}, true),
  };
  EXPECT_EQ(contactFacesScanResult(sources.get()), json::parse(R"({"ok":true,"contacts":4,"withFace":2,"faces":[
              {"id":"face-mail","handles":["b@c"]},{"id":"face-both","handles":["2","3","d@e"]}]})"));
  sources.store.failAfter = 3;
  EXPECT_EQ(contactFacesScanResult(sources.get()), json::parse(R"({"ok":true,"contacts":3,"withFace":1,"faces":[
              {"id":"face-mail","handles":["b@c"]}]})"));
}

TEST(ContactFace, EachFailureInItsOrder) {
  test::ScopedTempDir dir;
  const std::string out = dir / "face.jpg";
  Sources sources;
  sources.store.pictures = {
      {"full", {"FULL", "THUMB"}},
      {"thumb", {std::nullopt, "THUMB"}},
      {"none", {std::nullopt, std::nullopt}},
      {"empty-full", {"", "THUMB"}},
      {"empty-thumb", {std::nullopt, ""}},
  };
  struct Case {
    std::string id, out;
    bool granted;
    std::string reason;  // empty: success
  };
  const std::vector<Case> cases = {
      {"", out, false, "a face needs both an identifier and somewhere to put it"},
      {"full", "", false, "a face needs both an identifier and somewhere to put it"},
      {"full", out, false, "contacts access was not granted"},
      {"nobody", dir / "no/such/folder/face.jpg", true, "no contact with that identifier"},
      {"none", dir / "no/such/folder/face.jpg", true, "that contact has no face after all"},
      {"empty-full", out, true, "that contact has no face after all"},
      {"empty-thumb", out, true, "that contact has no face after all"},
      {"full", "no/such/folder/face.jpg", true, "could not write the face to no/such/folder/face.jpg"},
  };
  for (const Case& c : cases) {
    sources.granted = c.granted;
    EXPECT_EQ(contactFaceResult(sources.get(), c.id, c.out), json({{"ok", false}, {"reason", c.reason}}))
        << c.id << " " << c.out;
  }
  EXPECT_FALSE(test::readFile(out));
  sources.granted = true;
  EXPECT_EQ(contactFaceResult(sources.get(), "full", out), json::parse(R"({"ok":true,"bytes":4,"kind":"full"})"));
  EXPECT_EQ(test::readFile(out), "FULL");
  EXPECT_EQ(contactFaceResult(sources.get(), "thumb", out), json::parse(R"({"ok":true,"bytes":5,"kind":"thumbnail"})"));
  EXPECT_EQ(test::readFile(out), "THUMB");
}

}  // namespace
