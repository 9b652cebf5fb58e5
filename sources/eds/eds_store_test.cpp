// The desktop store, each run in a session of its own (dbus-run-session) on a
// home whose sources and calendars are the service's own files, written
// before the session starts, and whose address books were loaded in a
// session before: the same files give the same dumps as the file store; and
// the choice of store on buses of every kind.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "base/unique_fd.h"
#include "sources/eds/eds_book_pages.h"
#include "tests/test_support.h"

namespace {

using Environment = std::map<std::string, std::optional<std::string>>;

/// The result of a run, with the lists sorted where the stores' orders differ.
nlohmann::json resultOf(const test::ProgramRun& run) {
  nlohmann::json result = nlohmann::json::parse(run.out, nullptr, false);
  EXPECT_FALSE(result.is_discarded()) << "no result: " << run.out << run.err;
  for (const char* list : {"items", "people", "faces"})
    if (result.contains(list)) std::sort(result[list].begin(), result[list].end());
  return result;
}

/// A desktop home of its own: HOME and the XDG folders, named for their
/// variables, and in them the service's files for each source.
class EdsHome {
 public:
  /// A source of the kind `section` ("Calendar", "Task List", "Address
  /// Book") kept by `backend`, with more key file lines in `extra`.
  void source(const std::string& uid, const std::string& section, const std::string& extra = "",
              const std::string& backend = "local") {
    test::writeFile(dir_ / ("XDG_CONFIG_HOME/evolution/sources/" + uid + ".source"),
                    "[Data Source]\nDisplayName=" + uid + "\nParent=local-stub\n\n[" + section +
                        "]\nBackendName=" + backend + "\n" + extra);
  }
  /// A calendar holding `text`, or with `folder` "tasks" a task list.
  void calendar(const std::string& uid, const std::string& text, const std::string& folder = "calendar",
                const std::string& extra = "") {
    source(uid, folder == "calendar" ? "Calendar" : "Task List", extra);
    test::writeFile(dir_ / ("XDG_DATA_HOME/evolution/" + folder + "/" + uid + "/" + folder + ".ics"), text);
  }
  /// An address book that loadBooks() fills with `cards`.
  void book(const std::string& uid, const std::string& cards) {
    if (uid != "system-address-book") source(uid, "Address Book");
    test::writeFile(dir_ / ("cards/" + uid), cards);
    loads_.insert(loads_.end(), {uid, dir_ / ("cards/" + uid)});
  }
  /// Loads the books in a session of their own; they keep their cards.
  void loadBooks() {
    const test::ProgramRun run = session(std::filesystem::path(MERVO_BINARY).parent_path() / "eds_book_loader", loads_);
    ASSERT_EQ(run.status, 0) << run.err;
  }
  /// `program` with `args` in a fresh session, on a bus of `busConfig`
  /// (else the usual session bus); its standard error apart from the bus's.
  test::ProgramRun session(const std::string& program, const std::vector<std::string>& args,
                           const std::string& busConfig = "") {
    std::vector<std::string> command = {"--", "/bin/sh", "-c", "exec \"$0\" \"$@\" 2>\"$HOME/err\"", program};
    command.insert(command.end(), args.begin(), args.end());
    if (!busConfig.empty()) command.insert(command.begin(), "--config-file=" + busConfig);
    test::ProgramRun run = test::runExecutable("/usr/bin/dbus-run-session", command, env());
    run.err = test::readFile(dir_ / "HOME/err").value_or("");
    return run;
  }
  test::ProgramRun run(const std::vector<std::string>& args) { return session(MERVO_BINARY, args); }
  /// The home's variables, with the file store's `filesVariable` naming
  /// `files` when given; every folder they name exists.
  Environment env(const std::string& filesVariable = "", const std::string& files = "") const {
    const std::string supp = test::sourceDir() + "/sources/eds/";
    Environment env = {{"GSETTINGS_BACKEND", "memory"}, {"TZ", "UTC"}, {"TOVANA_MERVO_CALENDARS", std::nullopt},
                       {"TOVANA_MERVO_CONTACTS", std::nullopt}, {"DBUS_SESSION_BUS_ADDRESS", std::nullopt},
                       {"LSAN_OPTIONS", "suppressions=" + supp + "lsan.supp"},
                       {"TSAN_OPTIONS", "suppressions=" + supp + "tsan.supp"}};
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
      std::filesystem::create_directories(*(env[name] = dir_ / name));
    if (!filesVariable.empty()) env[filesVariable] = files;
    return env;
  }

 private:
  test::ScopedTempDir dir_;
  std::vector<std::string> loads_;
};

/// A series in a zone that only the calendar defines, one of whose
/// instances an override moves past the window.
const char* const kSeries =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VTIMEZONE\r\nTZID:Custom Zone\r\nBEGIN:STANDARD\r\n"
    "DTSTART:19700101T000000\r\nTZOFFSETFROM:+0530\r\nTZOFFSETTO:+0530\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n"
    "BEGIN:VEVENT\r\nUID:custom\r\nDTSTART;TZID=Custom Zone:20240601T120000\r\nDURATION:PT30M\r\n"
    "RRULE:FREQ=WEEKLY;COUNT=3\r\nEND:VEVENT\r\nBEGIN:VEVENT\r\nUID:custom\r\n"
    "RECURRENCE-ID;TZID=Custom Zone:20240608T120000\r\nDTSTART;TZID=Custom Zone:20350101T120000\r\n"
    "DURATION:PT30M\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";

std::string one(const std::string& component) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:" + component + "\r\nUID:" + component +
         "\r\nDTSTART:20240102T090000Z\r\nEND:" + component + "\r\nEND:VCALENDAR\r\n";
}

TEST(EdsCalendar, GivesTheItemsOfTheSameFilesFromEnabledEventCalendarsOnly) {
  EdsHome home;
  test::ScopedTempDir dir;
  test::writeFile(dir / "series.ics", kSeries);
  const std::string examples = test::sourceDir() + "/examples/calendars/";
  const std::string files[] = {dir / "series.ics", examples + "work.ics", examples + "personal/home.ics"};
  for (const std::string& file : files) home.calendar(file.substr(file.rfind('/') + 1), *test::readFile(file));
  home.calendar("hidden", one("VEVENT"), "calendar", "\n[Data Source]\nEnabled=false\n");
  home.calendar("tasks", one("VTODO"), "tasks");
  const std::vector<std::string> window = {"--calendar-dump", "--from", "946684800", "--to", "1893456000"};
  const nlohmann::json fromFiles = resultOf(
      test::runProgram(window, home.env("TOVANA_MERVO_CALENDARS", files[0] + ":" + files[1] + ":" + files[2])));
  ASSERT_GT(fromFiles["items"].size(), 10u);
  EXPECT_EQ(resultOf(home.run(window)), fromFiles);
}

// The birthdays calendar opens with the session's first dump, and learns of
// the address books' cards only after that.
TEST(EdsCalendar, ListsTheBirthdaysOfTheAddressBooksInTheFirstDumpOfASession) {
  EdsHome home;
  home.book("system-address-book", "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:born\r\nFN:Born Person\r\n"
                                   "BDAY:1980-06-15\r\nX-EVOLUTION-ANNIVERSARY:2005-09-10\r\nEND:VCARD\r\n");
  home.loadBooks();
  // Whole days of each year, from midnight to midnight in the local zone.
  EXPECT_EQ(resultOf(home.run({"--calendar-dump", "--from", "1704067200", "--to", "1735689600"})),  // 2024
            nlohmann::json::parse(R"({"ok": true, "items": [
      {"pk": "born-birthday", "startAppleDate": 740102400.0, "endAppleDate": 740188800.0, "attendees": []},
      {"pk": "born-anniversary", "startAppleDate": 747619200.0, "endAppleDate": 747705600.0, "attendees": []}]})"));
}

/// A card with UID "twin" and a picture, named for `phone`.
std::string twin(const std::string& phone, const std::string& pictureBase64) {
  return "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:twin\r\nFN:Twin " + phone + "\r\nTEL:" + phone +
         "\r\nPHOTO;ENCODING=b;TYPE=PNG:" + pictureBase64 + "\r\nEND:VCARD\r\n";
}

/// Cards over a few pages, their UIDs "page-…" added out of order.
std::string pagesOfCards() {
  const size_t count = 2 * kBookPageContacts + 1;
  std::string cards;
  for (size_t i = 0; i < count; ++i) {
    const std::string uid = "page-" + std::to_string(1000 + (i * 7919) % count);
    cards += "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" + uid + "\r\nFN:" + uid + "\r\nTEL:1\r\nEND:VCARD\r\n";
  }
  return cards;
}

/// Each face of `scan` exported by `run`, by its contact's handles; every
/// export succeeds and says nothing on standard error.
std::map<std::string, std::string> exportedFaces(const nlohmann::json& scan,
                                                 const std::function<test::ProgramRun(std::vector<std::string>)>& run) {
  test::ScopedTempDir out;
  std::map<std::string, std::string> faces;
  for (const nlohmann::json& face : scan["faces"]) {
    const test::ProgramRun exported = run({"--contact-face", "--id", face["id"], "--out", out / "face"});
    EXPECT_TRUE(exported.status == 0 && exported.err.empty()) << face << exported.out << exported.err;
    faces[face["handles"].dump()] = test::readFile(out / "face").value_or("");
  }
  return faces;
}

/// The scan without identifiers, which differ for cards without a UID.
nlohmann::json withoutIdentifiers(nlohmann::json scan) {
  for (nlohmann::json& face : scan["faces"]) face.erase("id");
  std::sort(scan["faces"].begin(), scan["faces"].end());
  return scan;
}

TEST(EdsContacts, GivesThePeopleAndFacesOfTheSameFilesAndSaysNothingOnStandardError) {
  EdsHome home;
  std::string cards;
  for (const auto& entry : std::filesystem::directory_iterator(test::sourceDir() + "/examples/contacts"))
    cards += *test::readFile(entry.path()) + "\r\n";
  // A UID that an earlier book gave out; two PNG signatures that differ.
  home.book("a", cards + twin("111", "iVBORw0KGgoAAAABAQ=="));
  home.book("b", twin("222", "iVBORw0KGgoAAAACAg=="));
  home.book("c", pagesOfCards());
  home.source("d", "Address Book", "[Authentication]\nHost=127.0.0.1\nPort=1\n", "carddav");  // unreachable
  home.loadBooks();
  test::ScopedTempDir dir;
  test::writeFile(dir / "all.vcf", cards + twin("111", "iVBORw0KGgoAAAABAQ==") + twin("222", "iVBORw0KGgoAAAACAg==") +
                                       pagesOfCards());
  const Environment files = home.env("TOVANA_MERVO_CONTACTS", dir / "all.vcf");
  const test::ProgramRun people = home.run({"--contacts-dump"}), scanned = home.run({"--contact-faces-scan"});
  EXPECT_EQ(people.err + scanned.err, "");
  const nlohmann::json scan = resultOf(scanned),
                       scanOfFiles = resultOf(test::runProgram({"--contact-faces-scan"}, files));
  EXPECT_EQ(resultOf(people), resultOf(test::runProgram({"--contacts-dump"}, files)));
  EXPECT_EQ(withoutIdentifiers(scan), withoutIdentifiers(scanOfFiles));
  EXPECT_EQ(exportedFaces(scan, [&](auto args) { return home.run(args); }),
            exportedFaces(scanOfFiles, [&](auto args) { return test::runProgram(args, files); }));
  std::vector<std::string> ids, pages;
  for (const nlohmann::json& face : scan["faces"]) ids.push_back(face["id"]);
  EXPECT_EQ(std::count(ids.begin(), ids.end(), "twin") + std::count(ids.begin(), ids.end(), "twin@b"), 2);
  // Each book in byte order of its contacts' UIDs, across the pages' edges.
  const nlohmann::json dump = nlohmann::json::parse(people.out);
  for (const nlohmann::json& person : dump["people"])
    if (person["name"].get<std::string>().starts_with("page-")) pages.push_back(person["name"]);
  EXPECT_TRUE(std::is_sorted(pages.begin(), pages.end()) && pages.size() == 2 * kBookPageContacts + 1);
}

// The service keeps each picture as a file in the book's own folders: there
// it counts whatever its format, as inline data does in the files; a link a
// card's writer aimed elsewhere is no picture.
TEST(EdsContacts, PicturesCountOnlyInsideTheAddressBooksOwnFolders) {
  EdsHome home;
  test::ScopedTempDir dir;
  test::writeFile(dir / "notes.txt", "BM: my bank PIN is 1234");
  home.book("p", "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:odd\r\nFN:Odd\r\nTEL:1\r\nPHOTO;ENCODING=b:"
                 "bm8gc2lnbmF0dXJl\r\nEND:VCARD\r\nBEGIN:VCARD\r\nVERSION:3.0\r\nUID:leak\r\nFN:Leak\r\n"
                 "TEL:2\r\nPHOTO;VALUE=uri:file://" + dir / "notes.txt" + "\r\nEND:VCARD\r\n");
  home.loadBooks();
  EXPECT_EQ(resultOf(home.run({"--contact-faces-scan"}))["faces"],
            nlohmann::json::parse(R"([{"handles": ["1"], "id": "odd"}])"));
  EXPECT_EQ(home.run({"--contact-face", "--id", "odd", "--out", dir / "odd"}).status, 0);
  EXPECT_EQ(test::readFile(dir / "odd"), "no signature");
  EXPECT_EQ(home.run({"--contact-face", "--id", "leak", "--out", dir / "leak"}).out,
            "{\"ok\":false,\"reason\":\"that contact has no face after all\"}\n");
}

TEST(EdsChoice, OnlyABusWithTheStoreIsReadAndOnlyOneThatDeniesItRefuses) {
  EdsHome home;
  const Environment noBus = home.env();
  test::writeFile(*noBus.at("HOME") + "/.contacts/one.vcf",
                  "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Folder Person\r\nTEL:333\r\nEND:VCARD\r\n");
  // A socket that takes connections and never answers.
  const std::string mutePath = *noBus.at("XDG_RUNTIME_DIR") + "/mute";
  const UniqueFd mute(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
  mutePath.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_TRUE(bind(mute.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
              listen(mute.get(), 8) == 0);
  Environment muteBus = noBus;
  muteBus["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + mutePath;
  const std::string conf = test::sourceDir() + "/sources/eds/test-bus-";
  const std::string folders = R"({"ok": true, "people": [{"name": "Folder Person", "handles": ["333"]}]})";
  const std::tuple<const char*, test::ProgramRun, std::string> rows[] = {
      {"no bus", test::runProgram({"--contacts-dump"}, noBus), folders},
      {"a bus that never answers", test::runProgram({"--contacts-dump"}, muteBus), folders},
      {"a bus without the services", home.session(MERVO_BINARY, {"--contacts-dump"}, conf + "without-services.conf"),
       folders},
      {"a bus that denies them", home.session(MERVO_BINARY, {"--contacts-dump"}, conf + "denying.conf"),
       R"({"ok": false, "reason": "contacts access was not granted"})"}};
  for (const auto& [bus, run, expected] : rows) EXPECT_EQ(resultOf(run), nlohmann::json::parse(expected)) << bus;
}

}  // namespace
