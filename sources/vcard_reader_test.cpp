// Tests of the vCard reader: hand-made edge cases, table-driven, and the
// real-world corpus.
#include "sources/vcard_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "sources/utf8_text.h"
#include "sources/vcard_photo.h"
#include "tests/test_support.h"

namespace {

const VCardNeeds kEverything{.names = true, .handles = true, .photos = true};

std::vector<VCardCard> readAll(const std::string& text) {
  std::vector<VCardCard> cards;
  readVCards(text, kEverything, [&](VCardCard& card) {
    // Inline payloads point into `text`; keep the decoded bytes instead.
    for (PhotoSource& photo : card.photos)
      if (photo.kind != PhotoSource::Kind::file) {
        photo.path = photoBytes(photo).value_or("");
        photo.payload = {};
      }
    cards.push_back(std::move(card));
  });
  return cards;
}

struct CardCase {
  std::string input;
  std::string fullName;
  std::vector<std::string> handles;  // phones then e-mails
  std::string uid = "";
};

TEST(VCardReader, ReadsNamesAndHandles) {
  const std::vector<CardCase> cases = {
      {"BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann Lee\r\nTEL:+1 (555) 010\r\nEMAIL:Ann@X.org\r\nEND:VCARD\r\n",
       "Ann Lee", {"+1 (555) 010", "Ann@X.org"}},
      {"begin:vcard\nfn:lower case\nemail;internet:a@b\nend:vcard", "lower case", {"a@b"}},
      {"BEGIN:VCARD\nFN:Fol\n ded\n\tName\nTEL:12\n\t34\nEND:VCARD\n", "FoldedName", {"1234"}},
      {"BEGIN:VCARD\nFN:\nN:Public;John;Q.,R.;Dr.;Jr.\nEND:VCARD\n", "Dr. John Q. R. Public Jr.", {}},
      {"BEGIN:VCARD\nN:;;;;\nEMAIL:x@y\nEND:VCARD\n", "", {"x@y"}},
      {"BEGIN:VCARD\nFN:Doe\\, John\\nSr.\\;\\\\\nEND:VCARD\n", "Doe, John\nSr.;\\", {}},
      {"BEGIN:VCARD\nFN:   \nEND:VCARD\n", "   ", {}},
      {"BEGIN:VCARD\nVERSION:4.0\nTEL;VALUE=uri:tel:+44-555;ext=5\nTEL:TEL:9\nEND:VCARD\n", "", {"+44-555;ext=5", "9"}},
      {"BEGIN:VCARD\nitem1.TEL:1\nitem2.EMAIL;type=pref:e@f\nitem2.X-ABLabel:x\nEND:VCARD\n", "", {"1", "e@f"}},
      {"BEGIN:VCARD\nTEL:1\nTEL:1\nEMAIL:1\nEND:VCARD\n", "", {"1", "1", "1"}},
      {"BEGIN:VCARD\nUID:urn:uuid:42\nFN:U\nEND:VCARD\n", "U", {}, "urn:uuid:42"},
      // Quoted-printable with soft breaks, one continuing unindented.
      {"BEGIN:VCARD\nVERSION:2.1\nFN;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:J=C3=B6r=\ng M=\n=C3=BCller\nEND:VCARD\n",
       "J\xC3\xB6rg M\xC3\xBCller", {}},
      {"BEGIN:VCARD\nN;QUOTED-PRINTABLE:=\nSmith;Jo\nEND:VCARD\n", "Jo Smith", {}},
      {"BEGIN:VCARD\nFN;CHARSET=ISO-8859-1:Ren\xE9\nEND:VCARD\n", "Ren\xC3\xA9", {}},
      {"BEGIN:VCARD\nFN;CHARSET=windows-1252:\x80 \x93q\x94\nEND:VCARD\n", "\xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D", {}},
      {"BEGIN:VCARD\nFN:bad \xFF byte\nTEL:\xC3\nEND:VCARD\n", "bad \xEF\xBF\xBD byte", {"\xEF\xBF\xBD"}},
      // Line ends: CR CR LF, lone CR, a blank line and a comment inside.
      {"BEGIN:VCARD\r\r\nFN:A\r\r\nEMAIL:a@b\r\r\nEND:VCARD\r\r\n", "A", {"a@b"}},
      {"BEGIN:VCARD\rFN:Mac\rTEL:5\rEND:VCARD\r", "Mac", {"5"}},
      {"BEGIN:VCARD\n\n# note\nFN:B\nnonsense line\nEND:VCARD", "B", {}},
      {"BEGIN:VCARD\nTEL;TYPE=VOICE,M\n\tSG,WORK:77\nEND:VCARD\n", "", {"77"}},
  };
  for (const CardCase& c : cases) {
    const std::vector<VCardCard> cards = readAll(c.input);
    ASSERT_EQ(cards.size(), 1u) << testing::PrintToString(c.input);
    const VCardCard& card = cards.front();
    std::vector<std::string> handles = card.phoneNumbers;
    handles.insert(handles.end(), card.emailAddresses.begin(), card.emailAddresses.end());
    EXPECT_EQ(card.fullName, c.fullName) << testing::PrintToString(c.input);
    EXPECT_EQ(handles, c.handles) << testing::PrintToString(c.input);
    EXPECT_EQ(card.uid, c.uid) << testing::PrintToString(c.input);
  }
}

TEST(VCardReader, KeepsOnlyCompleteCardsInOrder) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"FN:outside\nBEGIN:VCARD\nFN:a\nEND:VCARD\nBEGIN:VCARD\nFN:b\nEND:VCARD\n", {"a", "b"}},
      {"BEGIN:VCARD\nFN:cut off\nTEL:1", {}},
      {"BEGIN:VCARD\nFN:a\nEND:VCARD\nBEGIN:VCARD\nFN:cut", {"a"}},
      {"FN:no begin\nEND:VCARD\nBEGIN:VCARD\nFN:b\nEND:VCARD", {"b"}},
      {"BEGIN:VCARD\nFN:outer\nBEGIN:VCARD\nFN:inner\nEND:VCARD\nTEL:1\nEND:VCARD\n", {"inner", "outer"}},
      {"BEGIN:VCALENDAR\nEND:VCALENDAR\n", {}},
      {"", {}},
  };
  for (const auto& [input, names] : cases) {
    std::vector<std::string> got;
    for (const VCardCard& card : readAll(input)) got.push_back(card.fullName);
    EXPECT_EQ(got, names) << testing::PrintToString(input);
  }
}

TEST(VCardReader, FindsPicturesInEveryForm) {
  // "hi!!" in base64 is aGkhIQ==.
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"PHOTO;ENCODING=BASE64;JPEG:aGkh\n IQ==\n", "hi!!"},
      {"PHOTO;ENCODING=b;TYPE=JPEG:aGkhIQ==\n", "hi!!"},
      {"PHOTO;BASE64:\n  aGkh\n  IQ==\n", "hi!!"},
      {"PHOTO:data:image/png;base64,aGkhIQ==\n", "hi!!"},
      {"PHOTO:data:image/png;base64\\,aG\n khIQ==\n", "hi!!"},
      {"PHOTO:data:image/JPEG\\;base64\\,aGkhIQ==\n", "hi!!"},
      {"PHOTO:data:text/plain,hi%21%21\n", "hi!!"},
  };
  for (const auto& [photoLine, bytes] : cases) {
    const std::string input = "BEGIN:VCARD\nFN:P\n" + photoLine + "END:VCARD\n";
    const std::vector<VCardCard> cards = readAll(input);
    ASSERT_EQ(cards.size(), 1u) << input;
    ASSERT_EQ(cards[0].photos.size(), 1u) << input;
    EXPECT_EQ(cards[0].photos[0].path, bytes) << input;
  }
  for (const std::string photoLine : {"PHOTO;VALUE=uri:http://x/y.jpg\n", "PHOTO:\n", "PHOTO;VALUE=uri:cid:1\n"}) {
    const std::vector<VCardCard> cards = readAll("BEGIN:VCARD\n" + photoLine + "END:VCARD\n");
    ASSERT_EQ(cards.size(), 1u) << photoLine;
    for (const PhotoSource& photo : cards[0].photos) EXPECT_EQ(photo.path, "") << photoLine;
  }
}

TEST(VCardReader, FileUrisNameLocalPictures) {
  test::ScopedTempDir dir;
  test::writeFile(dir / "my face.jpg", "JPEGBYTES");
  test::writeFile(dir / "empty.jpg", "");
  const std::string encoded = dir.path() + "/my%20face.jpg";
  const std::vector<std::pair<std::string, bool>> cases = {
      {"file://" + encoded, true},
      {"file:" + encoded, true},
      {"file://localhost" + encoded, true},
      {"file://elsewhere" + encoded, false},
      {"file://" + dir.path() + "/missing.jpg", false},
      {"file://" + dir.path() + "/empty.jpg", false},
  };
  for (const auto& [uri, available] : cases) {
    std::vector<VCardCard> cards;
    readVCards("BEGIN:VCARD\nPHOTO;VALUE=uri:" + uri + "\nEND:VCARD\n", kEverything,
               [&](VCardCard& card) { cards.push_back(card); });
    ASSERT_EQ(cards.size(), 1u) << uri;
    const bool found = !cards[0].photos.empty() && photoAvailable(cards[0].photos[0]);
    EXPECT_EQ(found, available) << uri;
    if (available) {
      EXPECT_EQ(firstPhotoBytes(cards[0]), "JPEGBYTES") << uri;
    }
  }
}

TEST(VCardReader, ReadsTheRealWorldCorpus) {
  const std::string corpus = test::corpusDir() + "/vcf";
  if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
  size_t cards = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus)) {
    if (!entry.is_regular_file()) continue;
    const std::string text = test::readFile(entry.path().string()).value_or("");
    readVCards(text, kEverything, [&](VCardCard& card) {
      ++cards;
      EXPECT_TRUE(isValidUtf8(card.fullName)) << entry.path();
      for (const std::string& handle : card.phoneNumbers) EXPECT_TRUE(isValidUtf8(handle)) << entry.path();
    });
  }
  EXPECT_GE(cards, 60u);
  // A few files whose reading is known exactly.
  const std::vector<std::pair<std::string, std::string>> names = {
      {"ical.js/vcard3.vcf", "Mr. John Q. Public, Esq."},
      {"rcmcarddav/EmptyFNEmail.vcf", ""},
      {"evolution-data-server/sorted-3.vcf", "First Name Bat"},
      {"android-vcard/v21_backslash.vcf", "A;B\\C;D:E\\"},
  };
  for (const auto& [file, name] : names) {
    const std::vector<VCardCard> read = readAll(test::readFile(corpus + "/" + file).value_or(""));
    ASSERT_FALSE(read.empty()) << file;
    EXPECT_EQ(read[0].fullName, name) << file;
  }
  const std::vector<VCardCard> photo = readAll(test::readFile(corpus + "/khard/photov4.vcf").value_or(""));
  ASSERT_EQ(photo.size(), 1u);
  ASSERT_FALSE(photo[0].photos.empty());
  EXPECT_EQ(photo[0].photos[0].path.substr(1, 3), "PNG");
}

}  // namespace
