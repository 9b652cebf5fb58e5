// The built program's contacts modes end to end, on an address book of
// vCard files named by TOVANA_MERVO_CONTACTS.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "tests/test_support.h"

namespace {

using nlohmann::json;

TEST(ContactsProgram, DumpScanAndExportTheReportedFace) {
  test::ScopedTempDir dir;
  test::writeFile(dir / "book/1.vcf", "BEGIN:VCARD\r\nUID:ann\r\nFN:Ann\r\nTEL:+1 555\r\nEMAIL:a@b\r\n"
                                      "PHOTO;ENCODING=b:/9j/4AAQ\r\n SkZJRg==\r\nEND:VCARD\r\n");
  test::writeFile(dir / "book/2.vcf", "BEGIN:VCARD\nN:Moe;Bo\nTEL:7\nEND:VCARD\nBEGIN:VCARD\nFN:No Handles\n"
                                      "PHOTO:data:image/png;base64,iVBORw0K\nEND:VCARD\n");
  const auto run = [&](const std::vector<std::string>& args, int status, const std::string& out) {
    const test::ProgramRun ran = test::runProgram(args, {{"TOVANA_MERVO_CONTACTS", dir / "book"}});
    EXPECT_EQ(ran.status, status) << args[0];
    EXPECT_EQ(ran.err, "") << args[0];
    ASSERT_EQ(ran.out.find('\n'), ran.out.size() - 1) << ran.out;
    EXPECT_EQ(json::parse(ran.out), json::parse(out)) << args[0];
  };
  run({"--contacts-dump"}, 0,
      R"({"ok":true,"people":[{"name":"Ann","handles":["+1 555","a@b"]},{"name":"Bo Moe","handles":["7"]}]})");
  run({"--contact-faces-scan"}, 0,
      R"({"ok":true,"contacts":3,"withFace":1,"faces":[{"id":"ann","handles":["+1 555","a@b"]}]})");
  run({"--contact-face", "--id", "ann", "--out", dir / "ann.jpg"}, 0, R"({"ok":true,"bytes":10,"kind":"full"})");
  EXPECT_EQ(test::readFile(dir / "ann.jpg"), std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10));
  run({"--contact-face", "--id", "ann"}, 2,
      R"({"ok":false,"reason":"a face needs both an identifier and somewhere to put it"})");
}

// As a user whom file permissions bind: a card file that cannot be read is
// left out of the dump, and an address book that cannot be read is refused.
TEST(ContactsProgram, UnreadableCardsAreLeftOutAndAnUnreadableBookRefused) {
  test::ScopedTempDir dir;
  test::writeFile(dir / "book/a.vcf", "BEGIN:VCARD\r\nFN:A\r\nTEL:1\r\nEND:VCARD\r\n");
  test::writeFile(dir / "book/b.vcf", "BEGIN:VCARD\r\nFN:B\r\nTEL:2\r\nEND:VCARD\r\n");
  test::handToUnprivilegedUser(dir.path());
  ASSERT_EQ(chmod((dir / "book/a.vcf").c_str(), 0), 0);
  const std::pair<std::string, std::string> rows[] = {
      {dir / "book", R"({"ok":true,"people":[{"name":"B","handles":["2"]}]})"},
      {dir / "book/a.vcf", R"({"ok":false,"reason":"contacts access was not granted"})"}};
  for (const auto& [location, line] : rows) {
    const test::ProgramRun run = test::runProgramWith(
        {"--contacts-dump"}, test::RunOptions{.env = {{"TOVANA_MERVO_CONTACTS", location}}, .unprivileged = true});
    EXPECT_EQ(run.out, line + "\n") << location;
  }
}

// The caller reads the status: a line that never reached standard output is
// a failure, for every dump and however the output refuses it.
TEST(DumpPrograms, ALineThatCannotBeWrittenEndsWithStatusTwo) {
  test::ScopedTempDir dir;
  test::writeFile(dir / "book/1.vcf", "BEGIN:VCARD\r\nUID:ann\r\nFN:Ann\r\nPHOTO;ENCODING=b:/9j/4AAQ\r\nEND:VCARD\r\n");
  std::filesystem::create_directory(dir / "calendars");
  const std::vector<std::vector<std::string>> dumps = {
      {"--contacts-dump"}, {"--contact-faces-scan"}, {"--contact-face", "--id", "ann", "--out", dir / "ann.jpg"},
      {"--calendar-dump", "--from", "0", "--to", "1"}};
  test::RunOptions options{
      .env = {{"TOVANA_MERVO_CONTACTS", dir / "book"}, {"TOVANA_MERVO_CALENDARS", dir / "calendars"}}};
  for (const auto& args : dumps) {
    EXPECT_EQ(test::runProgramWith(args, options).status, 0) << args[0] << " on a writable output";
    for (const auto output : {test::RunOptions::Output::deviceFull, test::RunOptions::Output::closed}) {
      options.output = output;
      EXPECT_EQ(test::runProgramWith(args, options).status, 2) << args[0] << ", output " << static_cast<int>(output);
    }
    options.output = test::RunOptions::Output::captured;
  }
}

}  // namespace
