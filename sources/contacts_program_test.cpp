// The built program's contacts modes end to end, on an address book of
// vCard files named by TOVANA_MERVO_CONTACTS.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/test_support.h"

namespace {

using nlohmann::json;

class ContactsProgram : public testing::Test {
 protected:
  void SetUp() override {
    test::writeFile(dir_ / "book/1-ann.vcf",
                    "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:ann-1\r\nFN:Ann Lee\r\nTEL;TYPE=cell:+1 555 0100\r\n"
                    "EMAIL:ann@example.org\r\nPHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQ\r\n SkZJRg==\r\nEND:VCARD\r\n");
    test::writeFile(dir_ / "book/2-two.vcf",
                    "BEGIN:VCARD\nVERSION:2.1\nN:Moe;Bo\nTEL:7\nEND:VCARD\n"
                    "BEGIN:VCARD\nVERSION:4.0\nFN:No Handles\nPHOTO:data:image/png;base64,iVBORw0K\nEND:VCARD\n");
  }

  test::ProgramRun run(const std::vector<std::string>& args) {
    return test::runProgram(args, {{"TOVANA_MERVO_CONTACTS", dir_ / "book"}});
  }

  test::ScopedTempDir dir_;
};

TEST_F(ContactsProgram, DumpPrintsOneLineOfPeople) {
  const test::ProgramRun dump = run({"--contacts-dump"});
  EXPECT_EQ(dump.status, 0);
  EXPECT_EQ(dump.err, "");
  ASSERT_EQ(dump.out.find('\n'), dump.out.size() - 1) << dump.out;
  EXPECT_EQ(json::parse(dump.out), json::parse(R"({"ok":true,"people":[
      {"name":"Ann Lee","handles":["+1 555 0100","ann@example.org"]},{"name":"Bo Moe","handles":["7"]}]})"));
}

TEST_F(ContactsProgram, ScanThenExportTheFaceItReports) {
  const test::ProgramRun scan = run({"--contact-faces-scan"});
  EXPECT_EQ(scan.status, 0);
  EXPECT_EQ(json::parse(scan.out), json::parse(R"({"ok":true,"contacts":3,"withFace":1,"faces":[
      {"id":"ann-1","handles":["+1 555 0100","ann@example.org"]}]})"));
  const test::ProgramRun face = run({"--contact-face", "--id", "ann-1", "--out", dir_ / "ann.jpg"});
  EXPECT_EQ(face.status, 0);
  EXPECT_EQ(json::parse(face.out), json::parse(R"({"ok":true,"bytes":10,"kind":"full"})"));
  EXPECT_EQ(test::readFile(dir_ / "ann.jpg"), std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10));
  const test::ProgramRun missing = run({"--contact-face", "--id", "ann-1"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.out, R"({"ok":false,"reason":"a face needs both an identifier and somewhere to put it"})"
                         "\n");
}

TEST_F(ContactsProgram, MissingAddressBookIsEmpty) {
  const test::ProgramRun dump = test::runProgram({"--contacts-dump"}, {{"TOVANA_MERVO_CONTACTS", dir_ / "none"}});
  EXPECT_EQ(dump.status, 0);
  EXPECT_EQ(dump.out, "{\"ok\":true,\"people\":[]}\n");
}

}  // namespace
