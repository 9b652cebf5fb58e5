// The iCalendar store: where it looks, access, file order, the real-world
// corpus, and the built program end to end.
#include "sources/ical_calendar_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <future>
#include <thread>
#include <map>

#include <nlohmann/json.hpp>

#include "sources/calendar_locations.h"
#include "sources/ical_reader.h"
#include "tests/test_support.h"

namespace {

std::string calendarWith(const std::string& uid, const std::string& start) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:" + uid + "\r\nDTSTART:" + start +
         "\r\nDTEND:" + start + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

std::vector<std::string> identifiersIn(CalendarStore& store, double from = 0, double to = 4e9) {
  std::vector<std::string> ids;
  store.enumerateEvents(from, to, [&](const CalendarEvent& e) { ids.push_back(e.identifier.value_or("?")); });
  return ids;
}

bool granted(CalendarStore& store) {
  std::promise<bool> answer;
  std::thread::id answeredOn;
  store.requestAccess([&](bool yes) {
    answeredOn = std::this_thread::get_id();
    answer.set_value(yes);
  });
  bool result = answer.get_future().get();
  EXPECT_NE(answeredOn, std::this_thread::get_id());
  return result;
}

TEST(CalendarLocations, FromTheEnvironmentOrTheDefaults) {
  struct Case {
    const char* name;
    std::optional<std::string> listed;
    std::optional<std::string> dataHome;
    std::vector<std::string> expected;
  } cases[] = {
      {"listed in order, empty entries dropped", "/a/b.ics::/c/", std::nullopt, {"/a/b.ics", "/c/"}},
      {"unset", std::nullopt, std::nullopt, {"/home/u/.local/share/evolution/calendar", "/home/u/.calendars"}},
      {"empty", "", "/data", {"/data/evolution/calendar", "/home/u/.calendars"}},
      {"empty data home", std::nullopt, "", {"/home/u/.local/share/evolution/calendar", "/home/u/.calendars"}},
      {"only separators", ":::", std::nullopt, {"/home/u/.local/share/evolution/calendar", "/home/u/.calendars"}},
  };
  test::ScopedEnv home("HOME", "/home/u");
  for (const Case& c : cases) {
    test::ScopedEnv listed("TOVANA_MERVO_CALENDARS", c.listed);
    test::ScopedEnv dataHome("XDG_DATA_HOME", c.dataHome);
    EXPECT_EQ(calendarLocations(), c.expected) << c.name;
  }
}

TEST(CalendarLocations, FolderFilesAreIcsAtAnyDepthInByteOrder) {
  test::ScopedTempDir dir;
  for (const char* name : {"b.ics", "a/z.ICS", "a/y.Ics", "B.ics", "notes.txt", "ics", "a/.ics", "c/d/e/deep.ics"})
    test::writeFile(dir / name, "x");
  std::filesystem::create_directory(dir / "folder.ics");
  std::filesystem::create_directory_symlink(dir.path(), dir / "loop");
  std::vector<std::string> expected;
  for (const char* name : {"B.ics", "a/.ics", "a/y.Ics", "a/z.ICS", "b.ics", "c/d/e/deep.ics"})
    expected.push_back(dir / name);
  EXPECT_EQ(calendarFilesIn(dir.path()), expected);
  EXPECT_EQ(calendarFilesIn(dir.path() + "/"), expected);
  EXPECT_EQ(calendarFilesIn(dir / "notes.txt"), std::vector<std::string>{dir / "notes.txt"});
  EXPECT_TRUE(calendarFilesIn(dir / "missing").empty());
}

TEST(ICalCalendarStore, EventsInLocationOrderThenPathOrder) {
  test::ScopedTempDir dir;
  test::writeFile(dir / "second/b.ics", calendarWith("s-b", "20240101T000000Z"));
  test::writeFile(dir / "second/a.ics", calendarWith("s-a", "20240102T000000Z"));
  test::writeFile(dir / "second/broken.ics", "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\n\x01\xFF");
  test::writeFile(dir / "first.calendar", calendarWith("first", "20240103T000000Z"));
  ICalCalendarStore store({dir / "first.calendar", dir / "missing", dir / "second"});
  EXPECT_EQ(identifiersIn(store), (std::vector<std::string>{"first", "s-a", "s-b"}));
  EXPECT_TRUE(identifiersIn(store, 5e9, 4e9).empty()) << "reversed window";
}

TEST(ICalCalendarStore, AccessIsAnsweredOnAnotherThread) {
  test::ScopedTempDir dir;
  test::writeFile(dir / "cal/a.ics", calendarWith("a", "20240101T000000Z"));
  ICalCalendarStore missing({dir / "nothing-here"});
  EXPECT_TRUE(granted(missing));
  ICalCalendarStore present({dir / "cal", dir / "cal/a.ics"});
  EXPECT_TRUE(granted(present));
  if (geteuid() == 0) GTEST_SKIP() << "root reads everything; refusal cannot be shown";
  chmod((dir / "cal").c_str(), 0);
  ICalCalendarStore refused({dir / "cal"});
  EXPECT_FALSE(granted(refused));
  chmod((dir / "cal").c_str(), 0700);
}

// Every real-world file reads without harm; a few are checked in detail.
TEST(ICalCorpus, EveryFileReads) {
  std::string corpus = test::corpusDir() + "/ics";
  if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
  ICalCalendarStore store({corpus});
  size_t events = 0;
  // 1990 to 2030: the years the corpus's events are about.
  store.enumerateEvents(631152000, 1893456000, [&](const CalendarEvent& e) {
    ++events;
    ASSERT_TRUE(e.startUnix && e.endUnix);
    EXPECT_GE(*e.endUnix, *e.startUnix);
  });
  EXPECT_GT(events, 5000u);
}

TEST(ICalCorpus, RecurrencesAndZonesOfKnownFiles) {
  std::string corpus = test::corpusDir() + "/ics/";
  if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
  struct Case {
    const char* file;
    size_t delivered;
    size_t canceled;
    double firstStart;
  } cases[] = {
      // Daily three times from 22:00 Berlin, the second one cancelled.
      {"recurring-ical-events/issue_18_cancel_status.ics", 3, 1, 1580245200},
      // Weekly eight times from 00:30 Berlin, two taken out by UTC EXDATEs.
      {"recurring-ical-events/each_week_but_two_deleted.ics", 6, 0, 1551655800},
      // Weekly until August, one instance moved, one cancelled.
      {"khal/event_rrule_recuid_cancelled.ics", 6, 1, 1404104400},
      // The Windows Calendar export in UTF-16.
      {"ical.net/Bug2912657.ics", 0, 0, 0},
  };
  for (const Case& c : cases) {
    ICalCalendarStore store({corpus + c.file});
    std::vector<CalendarEvent> events;
    store.enumerateEvents(-1e10, 1e10, [&](const CalendarEvent& e) { events.push_back(e); });
    if (c.delivered == 0) {
      EXPECT_FALSE(events.empty()) << c.file;
      continue;
    }
    ASSERT_EQ(events.size(), c.delivered) << c.file;
    size_t canceled = 0;
    for (const CalendarEvent& e : events) canceled += e.status == CalendarEvent::kStatusCanceled;
    EXPECT_EQ(canceled, c.canceled) << c.file;
    EXPECT_EQ(*events[0].startUnix, c.firstStart) << c.file;
    for (size_t i = 1; i < events.size(); ++i)
      EXPECT_LE(*events[i - 1].startUnix, *events[i].startUnix) << c.file << " at " << i;
  }
}

TEST(CalendarDumpProgram, PrintsTheEventsOfTheFixtures) {
  test::ScopedTempDir dir;
  test::writeFile(dir / "cal/work.ics",
                  "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n"
                  "BEGIN:VEVENT\r\nUID:standup\r\nDTSTART:20240102T090000Z\r\nDTEND:20240102T091500Z\r\n"
                  "RRULE:FREQ=DAILY;COUNT=3\r\nEXDATE:20240103T090000Z\r\n"
                  "ATTENDEE:MAILTO:Ann@X.org\r\nATTENDEE:urn:uuid:room\r\nORGANIZER:mailto:boss@x.org\r\nEND:VEVENT\r\n"
                  "BEGIN:VEVENT\r\nUID:gone\r\nDTSTART:20240102T120000Z\r\nSTATUS:CANCELLED\r\nEND:VEVENT\r\n"
                  "BEGIN:VEVENT\r\nDTSTART:20010101T000000Z\r\nDURATION:PT0.5S\r\nEND:VEVENT\r\n"
                  "END:VCALENDAR\r\n");
  test::ProgramRun run = test::runProgram({"--calendar-dump", "--from", "0", "--to", "1800000000"},
                                          {{"TOVANA_MERVO_CALENDARS", dir / "cal"}});
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_FALSE(run.out.empty());
  EXPECT_EQ(run.out.back(), '\n');
  nlohmann::json result = nlohmann::json::parse(run.out);
  ASSERT_EQ(result["ok"], true);
  const nlohmann::json& items = result["items"];
  ASSERT_EQ(items.size(), 3u) << run.out;
  EXPECT_EQ(items[0]["pk"], "standup");
  EXPECT_EQ(items[0]["startAppleDate"], 1704186000.0 - 978307200.0);
  EXPECT_EQ(items[0]["endAppleDate"], 1704186900.0 - 978307200.0);
  EXPECT_EQ(items[0]["attendees"], nlohmann::json({"Ann@X.org", "urn:uuid:room", "boss@x.org"}));
  EXPECT_EQ(items[1]["startAppleDate"], 1704358800.0 - 978307200.0);
  EXPECT_EQ(items[2]["pk"].get<std::string>().size(), 36u);
  EXPECT_EQ(items[2]["startAppleDate"], 0.0);
}

TEST(CalendarDumpProgram, OnlyTheCalendarDumpLoadsLibical) {
  test::ScopedTempDir dir;
  std::map<std::string, std::optional<std::string>> env = {
      {"LD_DEBUG", "files"}, {"TOVANA_MERVO_CALENDARS", dir.path()}, {"TOVANA_MERVO_CONTACTS", dir.path()}};
  test::ProgramRun calendar = test::runProgram({"--calendar-dump"}, env);
  EXPECT_NE(calendar.err.find("libical.so"), std::string::npos);
  for (const char* mode : {"--canary", "--contacts-dump"}) {
    test::ProgramRun run = test::runProgram({mode}, env);
    EXPECT_EQ(run.err.find("libical"), std::string::npos) << mode;
    EXPECT_EQ(run.err.find("libicu"), std::string::npos) << mode;
  }
}

}  // namespace
