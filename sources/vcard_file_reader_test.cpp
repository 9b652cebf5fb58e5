// Tests of reading a vCard file in blocks: cards that cross a block edge,
// nested cards and a card larger than a block each come out once, whole.
#include "sources/vcard_file_reader.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "sources/vcard_photo.h"
#include "tests/test_support.h"

namespace {

TEST(VCardFileReader, CardsAcrossBlockEdgesComeOutOnceAndWhole) {
  test::ScopedTempDir dir;
  std::string text;
  std::vector<std::string> expected;
  const std::string bigPicture(3 << 20, 'A');  // "AAAA" decodes to three NUL bytes
  for (int i = 0; i < 40000; ++i) {
    const std::string name = "card " + std::to_string(i);
    if (i == 7000) {  // nested, somewhere past the first block
      text += "BEGIN:VCARD\r\nFN:outer\r\nBEGIN:VCARD\r\nFN:inner\r\nEND:VCARD\r\nTEL:1\r\nEND:VCARD\r\n";
      expected.insert(expected.end(), {"inner", "outer"});
    }
    if (i == 20000) {
      text += "BEGIN:VCARD\r\nFN:big\r\nPHOTO;ENCODING=b:" + bigPicture + "\r\nEND:VCARD\r\n";
      expected.push_back("big");
    }
    text += "BEGIN:VCARD\r\nFN:" + name + "\r\nNOTE:pad pad pad pad pad pad\r\nEND:VCARD\r\n";
    expected.push_back(name);
  }
  test::writeFile(dir / "all.vcf", text);
  std::vector<std::string> names;
  std::vector<size_t> positions;
  size_t bigPictureBytes = 0;
  ASSERT_TRUE(readVCardFile(dir / "all.vcf", {.names = true, .photos = true}, [&](VCardCard& card) {
    names.push_back(card.fullName);
    positions.push_back(card.position);
    if (card.fullName == "big") bigPictureBytes = firstPhotoBytes(card).value_or("").size();
  }));
  EXPECT_EQ(names, expected);
  EXPECT_EQ(bigPictureBytes, bigPicture.size() / 4 * 3);
  std::sort(positions.begin(), positions.end());
  for (size_t i = 0; i < positions.size(); ++i) ASSERT_EQ(positions[i], i);
  EXPECT_FALSE(readVCardFile(dir / "missing.vcf", {}, [](VCardCard&) {}));
  EXPECT_FALSE(readVCardFile(dir.path(), {}, [](VCardCard&) {}));
}

}  // namespace
