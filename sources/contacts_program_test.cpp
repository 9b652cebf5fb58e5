// The built program's contacts modes end to end, as the bundle's scripts use
// them: an address book of vCard files named by TOVANA_MERVO_CONTACTS, the
// scan, and the export of the face it reports.
#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace {

TEST(ContactsProgram, ScanAndExportTheReportedFace) {
  test::ScopedTempDir dir;
  test::writeFile(dir / "book/1.vcf", "BEGIN:VCARD\r\nUID:ann\r\nFN:Ann\r\nTEL:+1 555\r\nEMAIL:a@b\r\n"
                                      "PHOTO;ENCODING=b:/9j/4AAQ\r\n SkZJRg==\r\nEND:VCARD\r\n");
  test::writeFile(dir / "book/2.vcf", "BEGIN:VCARD\nN:Moe;Bo\nTEL:7\nEND:VCARD\nBEGIN:VCARD\nFN:No Handles\n"
                                      "PHOTO:data:image/png;base64,iVBORw0K\nEND:VCARD\n");
  const std::map<std::string, std::optional<std::string>> book = {{"TOVANA_MERVO_CONTACTS", dir / "book"}};
  const test::ProgramRun scan = test::runProgram({"--contact-faces-scan"}, book);
  EXPECT_EQ(scan.out, R"({"contacts":3,"faces":[{"handles":["+1 555","a@b"],"id":"ann"}],"ok":true,"withFace":1})" "\n");
  const test::ProgramRun face = test::runProgram({"--contact-face", "--id", "ann", "--out", dir / "ann.jpg"}, book);
  EXPECT_EQ(face.out, R"({"bytes":10,"kind":"full","ok":true})" "\n");
  EXPECT_EQ(scan.status + face.status, 0);
  EXPECT_EQ(scan.err + face.err, "");
  EXPECT_EQ(test::readFile(dir / "ann.jpg"), std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10));
}

}  // namespace
