// Tests of --contact-face against an in-memory store: every failure in its
// order, then the picture and the thumbnail written.
#include "sources/contact_face_export.h"

#include <gtest/gtest.h>

#include "sources/contacts_test_store.h"
#include "tests/test_support.h"

namespace {

using nlohmann::json;
using test::parsed;
using test::Sources;

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
    EXPECT_EQ(parsed(contactFaceResult(sources.get(), id, path)), json({{"ok", false}, {"reason", reason}})) << id << " " << path;
  }
  EXPECT_FALSE(test::readFile(out));
  EXPECT_EQ(contactFaceResult(sources.get(), "full", out).json, R"({"bytes":4,"kind":"full","ok":true})");
  EXPECT_EQ(test::readFile(out), "FULL");
  EXPECT_EQ(parsed(contactFaceResult(sources.get(), "thumb", out)), json::parse(R"({"ok":true,"bytes":5,"kind":"thumbnail"})"));
  EXPECT_EQ(test::readFile(out), "THUMB");
}

}  // namespace
