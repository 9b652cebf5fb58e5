// Tests of the vCard reader: hand-made edge cases, table-driven, and the
// real-world corpus.
#include "sources/vcard/vcard_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/utf8_text.h"
#include "sources/vcard/vcard_photo.h"
#include "tests/test_support.h"

namespace {

/// One line per card: "name | phones then e-mails", plus " | uid=" and
/// " | photo=" (the first photo's bytes, "?" when it claims some but yields
/// none) when present.
std::vector<std::string> summaries(const std::string& text, const PictureFolders& folders = PictureFolders({})) {
  std::vector<std::string> out;
  readVCards(text, {.names = true, .handles = true, .photos = true}, [&](VCardCard& card) {
    std::string line = card.fullName + " |";
    for (const std::string& phone : card.phoneNumbers) line += " " + phone;
    for (const std::string& email : card.emailAddresses) line += " " + email;
    if (!card.uid.empty()) line += " | uid=" + card.uid;
    if (!card.photos.empty() && photoAvailable(card.photos[0], folders))
      line += " | photo=" + photoBytes(card.photos[0], folders).value_or("?");
    out.push_back(line);
  });
  return out;
}

TEST(VCardReader, ReadsEachCompleteCard) {
  test::ScopedTempDir dir;
  test::writeFile(dir / "my face.jpg", "\xFF\xD8\xFFJPG");
  const std::string local = dir.path() + "/my%20face.jpg";
  const auto nested = [](int depth) {
    std::string text;
    for (int i = 1; i <= depth; ++i) text += "BEGIN:VCARD\nFN:" + std::to_string(i) + "\nAGENT:\n";
    for (int i = 1; i < depth; ++i) text += "END:VCARD\n";
    return text;
  };
  const auto photo = [](const std::string& line) { return "BEGIN:VCARD\nFN:P\n" + line + "\nEND:VCARD\n"; };
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann Lee\r\nTEL:+1 (555) 010\r\nEMAIL:A@X.org\r\nUID:urn:42\r\nEND:VCARD\r\n",
       {"Ann Lee | +1 (555) 010 A@X.org | uid=urn:42"}},
      {"begin:vcard\nfn:lower\nemail;internet:a@b\nend:vcard", {"lower | a@b"}},
      {"BEGIN:VCARD\nFN:Fol\n ded\n\tName\nTEL;TYPE=VOICE,M\n\tSG:12\n\t34\nEND:VCARD\n", {"FoldedName | 1234"}},
      {"BEGIN:VCARD\nFN:\nN:Public;John;Q.,R.;Dr.;Jr.\nEND:VCARD\n", {"Dr. John Q. R. Public Jr. |"}},
      {"BEGIN:VCARD\nN:;;;;\nEMAIL:x@y\nEND:VCARD\n", {" | x@y"}},
      {"BEGIN:VCARD\nFN:Doe\\, John\\nSr.\\;\\\\\nEND:VCARD\n", {"Doe, John\nSr.;\\ |"}},
      {"BEGIN:VCARD\nTEL;VALUE=uri:tel:+44-5;ext=5\nitem1.EMAIL;type=pref:e@f\nTEL:1\nTEL:1\nEND:VCARD\n",
       {" | +44-5;ext=5 1 1 e@f"}},
      // Quoted-printable with soft breaks, one continuing unindented.
      {"BEGIN:VCARD\nFN;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:J=C3=B6r=\ng M=\n=C3=BCller\nEND:VCARD\n",
       {"J\xC3\xB6rg M\xC3\xBCller |"}},
      // After a soft break the next line is taken whole, a leading blank too;
      // blanks after the `=` still make it soft; a card's END or BEGIN ends it.
      {"BEGIN:VCARD\nFN:T\nTEL;ENCODING=QUOTED-PRINTABLE:+7=\n 495 123\nEND:VCARD", {"T | +7 495 123"}},
      {"BEGIN:VCARD\nFN;ENCODING=QUOTED-PRINTABLE:A=\r\n\t=42\r\nEND:VCARD", {"A\tB |"}},
      {"BEGIN:VCARD\nFN;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:J=C3=BC= \nrgen\nEND:VCARD\n", {"J\xC3\xBCrgen |"}},
      {"BEGIN:VCARD\r\nFN;ENCODING=QUOTED-PRINTABLE:J=\t \r\n=C3=BC=\r\nrgen\r\nEND:VCARD\r\n", {"J\xC3\xBCrgen |"}},
      {"BEGIN:VCARD\nFN;ENCODING=QUOTED-PRINTABLE:Ann=\nEND:VCARD\nBEGIN:VCARD\nFN:Bo\nEND:VCARD\n", {"Ann |", "Bo |"}},
      {"BEGIN:VCARD\nFN;ENCODING=QUOTED-PRINTABLE:Ann= \nbegin:vcard \nFN:In\nEND:VCARD\nEND:VCARD", {"Ann |", "In |"}},
      {"BEGIN:VCARD\nFN;CHARSET=windows-1252:\x80 \xE9\nEND:VCARD\n", {"\xE2\x82\xAC \xC3\xA9 |"}},
      // Bytes that are not UTF-8 become U+FFFD, so the result stays writable.
      {"BEGIN:VCARD\nFN:bad \xFF byte\nTEL:\xC3\nEND:VCARD\n", {"bad \xEF\xBF\xBD byte | \xEF\xBF\xBD"}},
      // Line ends: CR CR LF, lone CR, a blank line and a stray line inside.
      {"BEGIN:VCARD\r\r\nFN:A\r\r\nEND:VCARD\r\r\n", {"A |"}},
      {"BEGIN:VCARD\rFN:B\rEND:VCARD\r", {"B |"}},
      {"BEGIN:VCARD\n\n# note\nFN:C\nEND:VCARD", {"C |"}},
      // Every line end counts wherever it stands, whatever the rest uses.
      {"BEGIN:VCARD\rFN:cr\rEND:VCARD\rBEGIN:VCARD\nFN:lf\nEND:VCARD\n", {"cr |", "lf |"}},
      {"BEGIN:VCARD\nFN:lf\nEND:VCARD\nBEGIN:VCARD\rFN:cr\r TEL:1\rEND:VCARD\r\nBEGIN:VCARD\r\nFN:crlf\r\nEND:VCARD",
       {"lf |", "crTEL:1 |", "crlf |"}},
      // A byte-order mark before each card, as files joined together have.
      {"\xEF\xBB\xBF" "BEGIN:VCARD\r\nFN:bom\r\nEND:VCARD\r\n\xEF\xBB\xBF" "BEGIN:VCARD\r\nFN:again\r\nEND:VCARD\r\n",
       {"bom |", "again |"}},
      // vCard 2.1 separates N's parts by semicolons only, wherever VERSION stands.
      {"BEGIN:VCARD\nN:Stra\xC3\x9F" "e;\xC5\x81ukasz,Jr;\xC3\x84.;Dr.;\nFN:\nVERSION:2.1\nEND:VCARD\n",
       {"Dr. \xC5\x81ukasz,Jr \xC3\x84. Stra\xC3\x9F" "e |"}},
      // Cards in order; an agent's card nests and comes out first, a BEGIN
      // anywhere else starts a new card after those left open, cards cut short
      // by the end of the text come out at the end, and those nested too deep
      // not at all.
      {"BEGIN:VCALENDAR\nEND:VCALENDAR\nFN:x\nEND:VCARD\nBEGIN:VCARD\nFN:a\nEND:VCARD\nBEGIN:VCARD\nFN:cut", {"a |", "cut |"}},
      {"BEGIN:VCARD\nFN:outer\nAGENT:\nBEGIN:VCARD\nFN:inner\nEND:VCARD\nTEL:1\nEND:VCARD\n", {"inner |", "outer | 1"}},
      {"BEGIN:VCARD\nFN:outer\nAGENT:\nBEGIN:VCARD\nFN:inner\nTEL:1", {"inner | 1", "outer |"}},
      {"BEGIN:VCARD\nFN:a\nTEL:1\nBEGIN:VCARD\nFN:b\nBEGIN:VCARD\nFN:c\nEND:VCARD\nTEL:2\n", {"a | 1", "b |", "c |"}},
      {nested(20) + "TEL:2\nEND:VCARD\n", {"8 |", "7 |", "6 |", "5 |", "4 |", "3 |", "2 |", "1 | 2"}},
      // Pictures in every form; "hi!!" in base64 is aGkhIQ==.
      {photo("PHOTO;ENCODING=BASE64;JPEG:aGkh\n IQ=="), {"P | | photo=hi!!"}},
      {photo("PHOTO;ENCODING=b:aGkhIQ=="), {"P | | photo=hi!!"}},
      {photo("PHOTO:data:image/png;base64\\,aG\n khIQ=="), {"P | | photo=hi!!"}},
      {photo("PHOTO:data:text/plain,hi%21%21"), {"P | | photo=hi!!"}},
      {photo("PHOTO;VALUE=uri:http://x/y.jpg"), {"P |"}},
      {photo("PHOTO:"), {"P |"}},
      {photo("PHOTO;VALUE=uri:file://" + local), {"P | | photo=\xFF\xD8\xFFJPG"}},
      // A NUL ends no link early; which files count is the linked picture's test.
      {photo("PHOTO;VALUE=uri:file://" + local + "%00.txt"), {"P |"}},
      {photo("PHOTO;VALUE=uri:file://elsewhere" + local), {"P |"}},
  };
  const PictureFolders folders({dir.path()});
  for (const auto& [input, expected] : cases)
    EXPECT_EQ(summaries(input, folders), expected) << testing::PrintToString(input);
}

TEST(VCardReader, ReadsTheRealWorldCorpus) {
  const std::string corpus = test::corpusDir() + "/vcf";
  if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
  const auto read = [](const std::string& path) { return summaries(test::readFile(path).value_or("")); };
  size_t cards = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus))
    for (const std::string& summary : entry.is_regular_file() ? read(entry.path()) : std::vector<std::string>()) {
      ++cards;
      EXPECT_TRUE(isValidUtf8(summary.substr(0, summary.find(" | photo=")))) << entry.path();
    }
  EXPECT_GE(cards, 60u);
  // A few files whose reading is known exactly: the start of their first card
  // (8.vcf is cut short).
  const std::pair<std::string, std::string> known[] = {
      {"android-vcard/v21_backslash.vcf", "A;B\\C;D:E\\ |"},
      {"evolution-data-server/8.vcf", "Frank Dawson | +1-919-676-9515 +1-919-676-9564"},
      {"khard/photov4.vcf", "with photo v4 | | uid=photov4 | photo=\x89PNG"}};
  for (const auto& [file, start] : known) EXPECT_TRUE(read(corpus + "/" + file).at(0).starts_with(start)) << file;
}

}  // namespace
