// Tests of the three contacts modes against an in-memory store: skip rules,
// order, keys, and every failure of the face export in its order.
#include "sources/contacts_modes.h"

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
  /// The dump's text as a value; its `ok` flag must agree with the text.
  json dump() {
    const ResultText result = contactsDumpResult(get());
    EXPECT_EQ(result.ok, json::parse(result.json)["ok"] == true) << result.json;
    return json::parse(result.json);
  }
};

TEST(ContactsDump, KeepsNamedContactsWithHandlesInStoreOrderUntilAFailedWalk) {
  Sources sources;
  sources.store.contacts = {
      {"1", "Zed", {"+1 (555) 01", "+1 (555) 01"}, {"Zed@Mail.COM"}}, {"2", std::nullopt, {"9"}, {}},
      {"3", "", {"9"}, {}}, {"4", "Bare", {}, {}}, {"5", "  ", {}, {"same", ""}}, {"6", "Zed", {"same"}, {"same"}},
  };
  sources.store.failAfter = 5;
  EXPECT_EQ(sources.dump(), json::parse(R"({"ok":true,"people":[
      {"name":"Zed","handles":["+1 (555) 01","+1 (555) 01","Zed@Mail.COM"]},{"name":"  ","handles":["same",""]}]})"));
  sources.store.failAfter = SIZE_MAX;
  EXPECT_EQ(sources.dump()["people"][2], json::parse(R"({"name":"Zed","handles":["same","same"]})"));
}

TEST(ContactFacesScan, CountsEveryContactAndListsFacesWithHandles) {
  Sources sources;
  sources.granted = false;
  const json refused = {{"ok", false}, {"reason", "contacts access was not granted"}};
  EXPECT_EQ(sources.dump(), refused);
  EXPECT_EQ(contactFacesScanResult(sources.get()), refused);
  EXPECT_EQ(sources.storesMade, 0);
  sources.granted = true;
  EXPECT_EQ(contactFacesScanResult(sources.get()), json::parse(R"({"ok":true,"contacts":0,"withFace":0,"faces":[]})"));
  sources.store.contacts = {{"no-face", "A", {"1"}, {}}, {"face-no-handles", "B", {}, {}, true},
      {"face-mail", std::nullopt, {}, {"b@c"}, true}, {"face-both", "C", {"2", "3"}, {"d@e"}, true}};
  EXPECT_EQ(contactFacesScanResult(sources.get()), json::parse(R"({"ok":true,"contacts":4,"withFace":2,"faces":[
              {"id":"face-mail","handles":["b@c"]},{"id":"face-both","handles":["2","3","d@e"]}]})"));
  sources.store.failAfter = 3;
  EXPECT_EQ(contactFacesScanResult(sources.get()), json::parse(R"({"ok":true,"contacts":3,"withFace":1,"faces":[
              {"id":"face-mail","handles":["b@c"]}]})"));
}

TEST(ContactFace, EachFailureInItsOrder) {
  test::ScopedTempDir dir;
  const std::string out = dir / "face.jpg", nowhere = dir / "no/such/face.jpg";
  const std::string noPlace = "a face needs both an identifier and somewhere to put it";
  const std::string noFace = "that contact has no face after all";
  Sources sources;
  sources.store.pictures = {{"full", {"FULL", "THUMB"}}, {"thumb", {std::nullopt, "THUMB"}},
                            {"none", {}}, {"empty-full", {"", "THUMB"}}, {"empty-thumb", {std::nullopt, ""}}};
  const std::vector<std::tuple<std::string, std::string, bool, std::string>> cases = {
      {"", out, false, noPlace}, {"full", "", false, noPlace}, {"full", out, false, "contacts access was not granted"},
      {"nobody", nowhere, true, "no contact with that identifier"}, {"none", nowhere, true, noFace},
      {"empty-full", out, true, noFace}, {"empty-thumb", out, true, noFace},
      // A path that is not UTF-8 must not turn the reason into the fallback line.
      {"full", "no/f\xFF.jpg", true, "could not write the face to no/f\xEF\xBF\xBD.jpg"},
  };
  for (const auto& [id, path, granted, reason] : cases) {
    sources.granted = granted;
    EXPECT_EQ(contactFaceResult(sources.get(), id, path), json({{"ok", false}, {"reason", reason}})) << id << " " << path;
  }
  EXPECT_FALSE(test::readFile(out));
  EXPECT_EQ(contactFaceResult(sources.get(), "full", out), json::parse(R"({"ok":true,"bytes":4,"kind":"full"})"));
  EXPECT_EQ(test::readFile(out), "FULL");
  EXPECT_EQ(contactFaceResult(sources.get(), "thumb", out), json::parse(R"({"ok":true,"bytes":5,"kind":"thumbnail"})"));
  EXPECT_EQ(test::readFile(out), "THUMB");
}

}  // namespace
