// Tests of reading a vCard file in blocks: cards that cross a block edge,
// nested cards, cards left open, cards after a byte-order mark and a card
// larger than a block each come out once, whole, whatever line ends they use.
#include "sources/vcard/vcard_file_reader.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "sources/vcard/vcard_photo.h"
#include "tests/test_support.h"

namespace {

TEST(VCardFileReader, CardsAcrossBlockEdgesComeOutOnceAndWhole) {
  test::ScopedTempDir dir;
  std::string text;
  std::vector<std::string> expected;
  const std::string bigPicture(3 << 20, 'A');  // "AAAA" decodes to three NUL bytes
  for (int i = 0; i < 40000; ++i) {
    if (i == 7000) {  // nested, somewhere past the first block
      text += "BEGIN:VCARD\r\nFN:outer\r\nAGENT:\r\nBEGIN:VCARD\r\nFN:inner\r\nEND:VCARD\r\nTEL:1\r\nEND:VCARD\r\n";
      expected.insert(expected.end(), {"inner", "outer"});
    }
    if (i == 20000) {
      text += "BEGIN:VCARD\r\nFN:big\r\nPHOTO;ENCODING=b:" + bigPicture + "\r\nEND:VCARD\r\n";
      expected.push_back("big");
    }
    expected.push_back("card " + std::to_string(i));
    // Line ends change from card to card, so block edges fall between all kinds.
    const std::string end = i % 3 == 0 ? "\r\n" : i % 3 == 1 ? "\r" : "\n";
    text += (i % 11 == 5 ? "\xEF\xBB\xBF" "BEGIN:VCARD" : "BEGIN:VCARD") + end + "FN:" + expected.back() + end +
            "NOTE:pad pad pad pad pad" + end + (i % 7 == 3 ? "" : "END:VCARD" + end);
  }
  test::writeFile(dir / "all.vcf", text);
  std::vector<std::string> names;
  std::vector<size_t> positions;
  ASSERT_TRUE(readVCardFile(dir / "all.vcf", {.names = true, .photos = true}, [&](VCardCard& card) {
    names.push_back(card.fullName);
    positions.push_back(card.position);
    if (card.fullName == "big") {
      EXPECT_EQ(firstPhotoBytes(card, PictureFolders({})).value_or("").size(), bigPicture.size() / 4 * 3);
    }
  }));
  EXPECT_EQ(names, expected);
  std::sort(positions.begin(), positions.end());
  for (size_t i = 0; i < positions.size(); ++i) ASSERT_EQ(positions[i], i);
  for (const std::string& bad : {dir / "missing.vcf", dir.path()})
    EXPECT_FALSE(readVCardFile(bad, {}, [](VCardCard&) {})) << bad;
}

}  // namespace
