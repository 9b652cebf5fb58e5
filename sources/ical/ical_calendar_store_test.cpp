// The iCalendar store: where it looks, file order, letting go, the real-world
// corpus, and the built program's refusals.
#include "sources/ical/ical_calendar_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <semaphore>

#include "sources/ical/calendar_locations.h"
#include "tests/test_support.h"

namespace {

std::string calendarWith(const std::string& uid) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nUID:" + uid + "\r\nDTSTART:20240101T000000Z\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

TEST(CalendarLocations, AListNamingNothingGivesTheDefaults) {
  test::ScopedEnv home("HOME", "/home/u"), dataHome("XDG_DATA_HOME", "/data"), noneListed("TOVANA_MERVO_CALENDARS", ":::");
  EXPECT_EQ(calendarLocations(), (std::vector<std::string>{"/data/evolution/calendar", "/home/u/.calendars"}));
}

// A listed file is read whatever its name; a folder gives its .ics files at
// any depth in byte order of path, without following links to folders. A
// file reached twice is read once; one UID in two files is two series; a
// file over 256 MiB is passed over.
TEST(ICalCalendarStore, EventsInLocationOrderThenPathOrder) {
  test::ScopedTempDir dir;
  const std::pair<const char*, const char*> files[] = {
      {"first.calendar", "first"}, {"second/b.ics", "b"}, {"second/a/deep/x.ICS", "a-deep"}, {"second/B.iCs", "B"},
      {"second/.ics", "bare"},     {"second/c.ics", "b"}, {"second/notes.txt", "not-a-calendar"}, {"second/huge.ics", "huge"}};
  for (auto [path, uid] : files) test::writeFile(dir / path, calendarWith(uid));
  std::filesystem::resize_file(dir / "second/huge.ics", std::uintmax_t{1} << 30);
  test::writeFile(dir / "second/broken.ics", "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\n\x01\xFF");
  std::filesystem::create_directory(dir / "second/folder.ics");
  std::filesystem::create_directory_symlink(dir.path(), dir / "second/loop");
  std::filesystem::create_symlink(dir / "first.calendar", dir / "second/link.ics");
  ICalCalendarStore store({dir / "first.calendar", dir / "missing", dir / "second", dir / "first.calendar"});
  std::vector<std::string> ids;
  store.enumerateEvents(0, 4e9, [&](const CalendarEvent& e) { ids.push_back(e.identifier.value_or("?")); });
  EXPECT_EQ(ids, (std::vector<std::string>{"first", "bare", "B", "a-deep", "b", "b"}));
}

// Every real-world file, crash.ics and the other malformed ones among them,
// reads without harm.
TEST(ICalCorpus, EveryFileReads) {
  std::string corpus = test::corpusDir() + "/ics";
  if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
  size_t events = 0;
  // 1990 to 2030: the years the corpus's events are about.
  ICalCalendarStore({corpus}).enumerateEvents(631152000, 1893456000, [&](const CalendarEvent& e) {
    ++events;
    EXPECT_TRUE(e.startUnix && e.endUnix && *e.endUnix >= *e.startUnix) << "event " << e.identifier.value_or("?");
  });
  EXPECT_GT(events, 5000u);
}

// As a user whom file permissions bind, a calendar folder that cannot be read
// is refused access.
TEST(CalendarDumpProgram, AnUnreadableCalendarIsRefused) {
  test::ScopedTempDir dir;
  test::writeFile(dir / "cal/a.ics", calendarWith("a"));
  test::handToUnprivilegedUser(dir.path());
  ASSERT_EQ(chmod((dir / "cal").c_str(), 0), 0);
  const test::ProgramRun run = test::runProgramWith(
      {"--calendar-dump"}, test::RunOptions{.env = {{"TOVANA_MERVO_CALENDARS", dir / "cal"}}, .unprivileged = true});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "{\"ok\":false,\"reason\":\"calendar access was not granted\"}\n");
}

}  // namespace
