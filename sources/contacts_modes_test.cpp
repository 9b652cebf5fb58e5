// Tests of the three contacts modes against an address book held in memory:
// the refusal, skip rules and order, counts, and every failure of
// --contact-face in its order before the picture is written.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
#include <memory>

#include "sources/contact_face_export.h"
#include "sources/contact_faces_scan.h"
#include "sources/contacts_dump.h"
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

struct ContactsModes : ::testing::Test {
  MemoryStore store;
  bool granted = true;
  int storesMade = 0;

  ContactsModeSources sources() {
    return {[this] { return granted; }, [this] { ++storesMade; return std::make_unique<MemoryStore>(store); }};
  }
};

/// A mode's result as a value; its `ok` flag must agree with the text.
json parsed(const ResultText& result) {
  const json value = json::parse(result.json);
  EXPECT_EQ(result.ok, value["ok"] == true) << result.json;
  return value;
}

TEST_F(ContactsModes, RefusedAccessMakesNoStore) {
  granted = false;
  const std::string refused = R"({"ok":false,"reason":"contacts access was not granted"})";
  EXPECT_EQ(contactsDumpResult(sources()).json, refused);
  EXPECT_EQ(contactFacesScanResult(sources()).json, refused);
  EXPECT_EQ(contactFaceResult(sources(), "id", "face.jpg").json, refused);
  EXPECT_EQ(storesMade, 0);
}

TEST_F(ContactsModes, DumpKeepsNamedContactsWithHandlesInStoreOrderUntilAFailedWalk) {
  store.contacts = {
      {"1", "Zed", {"+1 (555) 01", "+1 (555) 01"}, {"Zed@Mail.COM"}}, {"2", std::nullopt, {"9"}, {}},
      {"3", "", {"9"}, {}}, {"4", "Bare", {}, {}}, {"5", "  ", {}, {"same", ""}}, {"6", "Zed", {"same"}, {"same"}},
  };
  store.failAfter = 5;
  EXPECT_EQ(parsed(contactsDumpResult(sources())), json::parse(R"({"ok":true,"people":[
      {"name":"Zed","handles":["+1 (555) 01","+1 (555) 01","Zed@Mail.COM"]},{"name":"  ","handles":["same",""]}]})"));
  store.failAfter = SIZE_MAX;
  EXPECT_EQ(parsed(contactsDumpResult(sources()))["people"][2], json::parse(R"({"name":"Zed","handles":["same","same"]})"));
}

TEST_F(ContactsModes, ScanCountsEveryContactAndListsFacesWithHandles) {
  // Keys in name order, as scripts have always read them.
  EXPECT_EQ(contactFacesScanResult(sources()).json, R"({"contacts":0,"faces":[],"ok":true,"withFace":0})");
  store.contacts = {{"no-face", "A", {"1"}, {}}, {"face-no-handles", "B", {}, {}, true},
      {"face-mail", std::nullopt, {}, {"b@c"}, true}, {"face-both", "C", {"2", "3"}, {"d@e"}, true}};
  EXPECT_EQ(parsed(contactFacesScanResult(sources())), json::parse(R"({"ok":true,"contacts":4,"withFace":2,"faces":[
              {"id":"face-mail","handles":["b@c"]},{"id":"face-both","handles":["2","3","d@e"]}]})"));
  store.failAfter = 3;
  EXPECT_EQ(parsed(contactFacesScanResult(sources())), json::parse(R"({"ok":true,"contacts":3,"withFace":1,"faces":[
              {"id":"face-mail","handles":["b@c"]}]})"));
}

TEST_F(ContactsModes, FaceFailsInOrderThenWritesThePictureOrTheThumbnail) {
  test::ScopedTempDir dir;
  const std::string out = dir / "face.jpg", nowhere = dir / "no/such/face.jpg";
  const std::string noPlace = "a face needs both an identifier and somewhere to put it";
  const std::string noFace = "that contact has no face after all";
  store.pictures = {{"full", {"FULL", "THUMB"}}, {"thumb", {std::nullopt, "THUMB"}},
                    {"none", {}}, {"empty-full", {"", "THUMB"}}, {"empty-thumb", {std::nullopt, ""}}};
  const std::vector<std::tuple<std::string, std::string, bool, std::string>> cases = {
      {"", out, false, noPlace}, {"full", "", false, noPlace}, {"full", out, false, "contacts access was not granted"},
      {"nobody", nowhere, true, "no contact with that identifier"}, {"none", nowhere, true, noFace},
      {"empty-full", out, true, noFace}, {"empty-thumb", out, true, noFace},
      // A path that is not UTF-8 must not turn the reason into the fallback line.
      {"full", "no/f\xFF.jpg", true, "could not write the face to no/f\xEF\xBF\xBD.jpg"},
  };
  for (const auto& [id, path, isGranted, reason] : cases) {
    granted = isGranted;
    EXPECT_EQ(parsed(contactFaceResult(sources(), id, path)), json({{"ok", false}, {"reason", reason}})) << id << " " << path;
  }
  EXPECT_FALSE(test::readFile(out));
  EXPECT_EQ(contactFaceResult(sources(), "full", out).json, R"({"bytes":4,"kind":"full","ok":true})");
  EXPECT_EQ(test::readFile(out), "FULL");
  EXPECT_EQ(parsed(contactFaceResult(sources(), "thumb", out)), json::parse(R"({"ok":true,"bytes":5,"kind":"thumbnail"})"));
  EXPECT_EQ(test::readFile(out), "THUMB");
}

}  // namespace
