// Tests of --contact-faces-scan against an in-memory store: counts, skip
// rules, order, and the refusal.
#include "sources/contact_faces_scan.h"

#include <gtest/gtest.h>

#include "sources/contacts_test_store.h"

namespace {

using nlohmann::json;
using test::parsed;
using test::Sources;

TEST(ContactFacesScan, CountsEveryContactAndListsFacesWithHandles) {
  Sources sources;
  sources.granted = false;
  EXPECT_EQ(contactFacesScanResult(sources.get()).json, R"({"ok":false,"reason":"contacts access was not granted"})");
  sources.granted = true;
  // Keys in name order, as scripts have always read them.
  EXPECT_EQ(contactFacesScanResult(sources.get()).json, R"({"contacts":0,"faces":[],"ok":true,"withFace":0})");
  sources.store.contacts = {{"no-face", "A", {"1"}, {}}, {"face-no-handles", "B", {}, {}, true},
      {"face-mail", std::nullopt, {}, {"b@c"}, true}, {"face-both", "C", {"2", "3"}, {"d@e"}, true}};
  EXPECT_EQ(parsed(contactFacesScanResult(sources.get())), json::parse(R"({"ok":true,"contacts":4,"withFace":2,"faces":[
              {"id":"face-mail","handles":["b@c"]},{"id":"face-both","handles":["2","3","d@e"]}]})"));
  sources.store.failAfter = 3;
  EXPECT_EQ(parsed(contactFacesScanResult(sources.get())), json::parse(R"({"ok":true,"contacts":3,"withFace":1,"faces":[
              {"id":"face-mail","handles":["b@c"]}]})"));
}

}  // namespace
