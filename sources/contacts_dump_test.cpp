// Tests of --contacts-dump against an in-memory store: skip rules and order.
#include "sources/contacts_dump.h"

#include <gtest/gtest.h>

#include "sources/contacts_test_store.h"

namespace {

using nlohmann::json;
using test::parsed;
using test::Sources;

TEST(ContactsDump, KeepsNamedContactsWithHandlesInStoreOrderUntilAFailedWalk) {
  Sources sources;
  sources.granted = false;
  EXPECT_EQ(contactsDumpResult(sources.get()).json, R"({"ok":false,"reason":"contacts access was not granted"})");
  EXPECT_EQ(sources.storesMade, 0);
  sources.granted = true;
  sources.store.contacts = {
      {"1", "Zed", {"+1 (555) 01", "+1 (555) 01"}, {"Zed@Mail.COM"}}, {"2", std::nullopt, {"9"}, {}},
      {"3", "", {"9"}, {}}, {"4", "Bare", {}, {}}, {"5", "  ", {}, {"same", ""}}, {"6", "Zed", {"same"}, {"same"}},
  };
  sources.store.failAfter = 5;
  EXPECT_EQ(parsed(contactsDumpResult(sources.get())), json::parse(R"({"ok":true,"people":[
      {"name":"Zed","handles":["+1 (555) 01","+1 (555) 01","Zed@Mail.COM"]},{"name":"  ","handles":["same",""]}]})"));
  sources.store.failAfter = SIZE_MAX;
  EXPECT_EQ(parsed(contactsDumpResult(sources.get()))["people"][2], json::parse(R"({"name":"Zed","handles":["same","same"]})"));
}

}  // namespace
