// The iCalendar reader on hand-made calendars: times and zones, lengths,
// recurrences with their exceptions, window edges and malformed input.
#include "sources/ical_reader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <ctime>

#include "tests/test_support.h"

namespace {

double utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  std::tm fields{};
  fields.tm_year = year - 1900;
  fields.tm_mon = month - 1;
  fields.tm_mday = day;
  fields.tm_hour = hour;
  fields.tm_min = minute;
  fields.tm_sec = second;
  return static_cast<double>(timegm(&fields));
}

// Sets TZ for the length of a test and makes the C library read it.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) : env_("TZ", zone) { tzset(); }
  ~ScopedTimeZone() { tzset(); }

 private:
  test::ScopedEnv env_;
};

std::string calendar(const std::string& body) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n" + body + "END:VCALENDAR\r\n";
}

std::string event(const std::string& lines) { return "BEGIN:VEVENT\r\n" + lines + "END:VEVENT\r\n"; }

const EventWindow kWide{utc(1900, 1, 1), utc(2100, 1, 1)};

std::vector<CalendarEvent> read(const std::string& text, const EventWindow& window = kWide) {
  std::vector<CalendarEvent> events;
  readICalendarEvents(text, window, [&](const CalendarEvent& e) { events.push_back(e); });
  return events;
}

std::vector<std::pair<double, double>> times(const std::vector<CalendarEvent>& events) {
  std::vector<std::pair<double, double>> result;
  for (const CalendarEvent& e : events) result.emplace_back(*e.startUnix, *e.endUnix);
  return result;
}

const std::string kPlusFiveThirty =
    "BEGIN:VTIMEZONE\r\nTZID:Custom/Zone\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
    "TZOFFSETFROM:+0530\r\nTZOFFSETTO:+0530\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";
// A calendar's own definition under a well-known name wins over the system's.
const std::string kBerlinRedefined =
    "BEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
    "TZOFFSETFROM:+0300\r\nTZOFFSETTO:+0300\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";
const std::string kEmptyZone = "BEGIN:VTIMEZONE\r\nTZID:America/New_York\r\nEND:VTIMEZONE\r\n";

TEST(ICalReader, ExactTimesInUtcAndNamedZones) {
  ScopedTimeZone tz("Asia/Tokyo");
  struct Case {
    const char* name;
    std::string zones;
    std::string start;
    double expected;
  } cases[] = {
      {"utc", "", "DTSTART:20240310T090000Z", utc(2024, 3, 10, 9)},
      {"own VTIMEZONE", kPlusFiveThirty, "DTSTART;TZID=Custom/Zone:20240310T090000", utc(2024, 3, 10, 3, 30)},
      {"own VTIMEZONE over system", kBerlinRedefined, "DTSTART;TZID=Europe/Berlin:20240310T090000", utc(2024, 3, 10, 6)},
      {"system zone, summer", "", "DTSTART;TZID=America/New_York:20240701T090000", utc(2024, 7, 1, 13)},
      {"system zone, winter", "", "DTSTART;TZID=America/New_York:20240115T090000", utc(2024, 1, 15, 14)},
      {"empty VTIMEZONE ignored", kEmptyZone, "DTSTART;TZID=America/New_York:20240115T090000", utc(2024, 1, 15, 14)},
      {"quoted", "", "DTSTART;TZID=\"Europe/Berlin\":20240115T090000", utc(2024, 1, 15, 8)},
      {"vendor prefix", "", "DTSTART;TZID=/softwarestudio.org/Olson_20011030_5/Europe/Berlin:20240115T090000", utc(2024, 1, 15, 8)},
      {"leading slash", "", "DTSTART;TZID=/America/New_York:20240115T090000", utc(2024, 1, 15, 14)},
      {"windows name", "", "DTSTART;TZID=Pacific Standard Time:20240115T090000", utc(2024, 1, 15, 17)},
      {"windows name, summer", "", "DTSTART;TZID=W. Europe Standard Time:20240701T090000", utc(2024, 7, 1, 7)},
      {"unknown zone is local", "", "DTSTART;TZID=FOO:20240115T090000", utc(2024, 1, 15, 0)},
      {"path outside the database is local", "", "DTSTART;TZID=../../../etc/passwd:20240115T090000", utc(2024, 1, 15, 0)},
      {"empty zone name is local", "", "DTSTART;TZID=:20240115T090000", utc(2024, 1, 15, 0)},
  };
  for (const Case& c : cases) {
    auto events = read(calendar(c.zones + event("UID:u\r\n" + c.start + "\r\n")));
    ASSERT_EQ(events.size(), 1u) << c.name;
    EXPECT_EQ(*events[0].startUnix, c.expected) << c.name;
    EXPECT_EQ(*events[0].endUnix, c.expected) << c.name << ": no end means no length";
  }
}

TEST(ICalReader, FloatingAndAllDayFollowTheLocalZone) {
  const std::string text = calendar(event("UID:floating\r\nDTSTART:20240310T090000\r\nDTEND:20240310T100000\r\n") +
                                    event("UID:day\r\nDTSTART;VALUE=DATE:20240310\r\n") +
                                    event("UID:days\r\nDTSTART;VALUE=DATE:20240309\r\nDTEND;VALUE=DATE:20240312\r\n") +
                                    event("UID:dated-zone\r\nDTSTART;VALUE=DATE;TZID=Europe/Berlin:20240310\r\n"));
  struct Case {
    const char* zone;
    std::vector<std::pair<double, double>> expected;
  } cases[] = {
      {"UTC",
       {{utc(2024, 3, 10, 9), utc(2024, 3, 10, 10)},
        {utc(2024, 3, 10), utc(2024, 3, 11)},
        {utc(2024, 3, 9), utc(2024, 3, 12)},
        {utc(2024, 3, 10), utc(2024, 3, 11)}}},
      // Daylight-saving time starts on 10 March 2024 in Los Angeles: that day
      // has 23 hours, and an all-day event still ends at the next midnight.
      {"America/Los_Angeles",
       {{utc(2024, 3, 10, 16), utc(2024, 3, 10, 17)},
        {utc(2024, 3, 10, 8), utc(2024, 3, 11, 7)},
        {utc(2024, 3, 9, 8), utc(2024, 3, 12, 7)},
        {utc(2024, 3, 10, 8), utc(2024, 3, 11, 7)}}},
  };
  for (const Case& c : cases) {
    ScopedTimeZone tz(c.zone);
    EXPECT_EQ(times(read(text)), c.expected) << c.zone;
  }
}

TEST(ICalReader, EndFromDtendDurationOrNothing) {
  ScopedTimeZone tz("America/Los_Angeles");
  const double nine = utc(2024, 3, 9, 17);  // 09:00 in Los Angeles, the day before the change
  struct Case {
    const char* name;
    std::string lines;
    double expectedEnd;
  } cases[] = {
      {"dtend", "DTSTART:20240309T090000\r\nDTEND:20240309T103000\r\n", nine + 5400},
      {"duration of hours", "DTSTART:20240309T090000\r\nDURATION:PT1H30M\r\n", nine + 5400},
      {"duration of a day keeps the wall clock", "DTSTART:20240309T090000\r\nDURATION:P1D\r\n", nine + 23 * 3600},
      {"duration of a week and an hour", "DTSTART:20240309T090000\r\nDURATION:P1WT1H\r\n", nine + 7 * 86400 - 3600 + 3600},
      {"dtend wins over duration", "DTSTART:20240309T090000\r\nDTEND:20240309T100000\r\nDURATION:PT5H\r\n", nine + 3600},
      {"no end", "DTSTART:20240309T090000\r\n", nine},
      {"negative duration", "DTSTART:20240309T090000\r\nDURATION:-PT1H\r\n", nine},
      {"end before start", "DTSTART:20240309T090000\r\nDTEND:20240309T080000\r\n", nine},
      {"unparsable end", "DTSTART:20240309T090000\r\nDTEND:19970701T1100000Z\r\n", nine},
      {"end in another zone", "DTSTART:20240309T090000\r\nDTEND;TZID=America/New_York:20240309T130000\r\n", nine + 3600},
  };
  for (const Case& c : cases) {
    auto events = read(calendar(event("UID:u\r\n" + c.lines)));
    ASSERT_EQ(events.size(), 1u) << c.name;
    EXPECT_EQ(*events[0].startUnix, nine) << c.name;
    EXPECT_EQ(*events[0].endUnix, c.expectedEnd) << c.name;
  }
}

TEST(ICalReader, RecurrenceWithExdateAndRdateInTimeOrder) {
  ScopedTimeZone tz("UTC");
  const std::string text = calendar(event(
      "UID:weekly\r\nDTSTART;TZID=Europe/Berlin:20240104T100000\r\nDTEND;TZID=Europe/Berlin:20240104T110000\r\n"
      "RRULE:FREQ=WEEKLY;COUNT=4\r\nEXDATE;TZID=Europe/Berlin:20240111T100000\r\n"
      "EXDATE:20240118T090000Z\r\n"
      "RDATE;TZID=Europe/Berlin:20240105T120000\r\n"
      "RDATE;VALUE=PERIOD:20240120T080000Z/20240120T083000Z\r\n"
      "RDATE:20240104T090000Z\r\n"));
  auto events = read(text);
  std::vector<std::pair<double, double>> expected = {
      {utc(2024, 1, 4, 9), utc(2024, 1, 4, 10)},    // DTSTART, also listed as an RDATE: once
      {utc(2024, 1, 5, 11), utc(2024, 1, 5, 12)},   // RDATE between rule instances
      {utc(2024, 1, 20, 8), utc(2024, 1, 20, 8, 30)},  // RDATE period with its own end
      {utc(2024, 1, 25, 9), utc(2024, 1, 25, 10)},
  };
  EXPECT_EQ(times(events), expected);
  for (const CalendarEvent& e : events) EXPECT_EQ(e.identifier, "weekly");
}

TEST(ICalReader, RecurrenceKeepsWallClockAcrossDaylightSaving) {
  auto events = read(calendar(event(
      "UID:d\r\nDTSTART;TZID=Europe/Berlin:20240323T090000\r\nDURATION:PT1H\r\nRRULE:FREQ=WEEKLY;COUNT=2\r\n")));
  EXPECT_EQ(times(events), (std::vector<std::pair<double, double>>{
                               {utc(2024, 3, 23, 8), utc(2024, 3, 23, 9)},
                               {utc(2024, 3, 30, 8), utc(2024, 3, 30, 9)}}));
  ScopedTimeZone tz("UTC");
  auto allDay = read(calendar(event("UID:a\r\nDTSTART;VALUE=DATE:20240101\r\nRRULE:FREQ=YEARLY\r\n"
                               "EXDATE;VALUE=DATE:20250101\r\n")),
                {utc(2023, 6, 1), utc(2026, 6, 1)});
  EXPECT_EQ(times(allDay), (std::vector<std::pair<double, double>>{
                               {utc(2024, 1, 1), utc(2024, 1, 2)}, {utc(2026, 1, 1), utc(2026, 1, 2)}}));
}

TEST(ICalReader, OverridesReplaceTheirInstances) {
  ScopedTimeZone tz("UTC");
  // The override comes first in the file; it moves the second instance after
  // the third and has its own attendees; the fourth instance is cancelled.
  const std::string text = calendar(
      event("UID:s\r\nRECURRENCE-ID:20240102T090000Z\r\nDTSTART:20240103T150000Z\r\n"
            "DTEND:20240103T160000Z\r\nATTENDEE:mailto:moved@x.org\r\n") +
      event("UID:other\r\nDTSTART:20240101T000000Z\r\n") +
      event("UID:s\r\nDTSTART:20240101T090000Z\r\nDTEND:20240101T100000Z\r\nRRULE:FREQ=DAILY;COUNT=4\r\n"
            "ATTENDEE:mailto:all@x.org\r\nSTATUS:CONFIRMED\r\n") +
      event("UID:s\r\nRECURRENCE-ID:20240104T090000Z\r\nDTSTART:20240104T090000Z\r\n"
            "DTEND:20240104T100000Z\r\nSTATUS:CANCELLED\r\n"));
  auto events = read(text);
  ASSERT_EQ(events.size(), 5u);
  EXPECT_EQ(events[0].identifier, "other");
  std::vector<std::pair<double, double>> expected = {
      {utc(2024, 1, 1, 9), utc(2024, 1, 1, 10)},
      {utc(2024, 1, 3, 9), utc(2024, 1, 3, 10)},
      {utc(2024, 1, 3, 15), utc(2024, 1, 3, 16)},
      {utc(2024, 1, 4, 9), utc(2024, 1, 4, 10)},
  };
  EXPECT_EQ(times({events.begin() + 1, events.end()}), expected);
  EXPECT_EQ(events[3].attendeeURLs, std::vector<std::string>{"mailto:moved@x.org"});
  EXPECT_EQ(events[3].identifier, "s");
  EXPECT_EQ(events[1].attendeeURLs, std::vector<std::string>{"mailto:all@x.org"});
  EXPECT_EQ(events[1].status, 1);
  EXPECT_EQ(events[4].status, CalendarEvent::kStatusCanceled);
}

TEST(ICalReader, ThisAndFutureOverridesChangeTheLaterInstances) {
  const std::string text = calendar(
      event("UID:s\r\nDTSTART:20240101T090000Z\r\nDTEND:20240101T100000Z\r\nRRULE:FREQ=DAILY;COUNT=5\r\n") +
      event("UID:s\r\nRECURRENCE-ID;RANGE=THISANDFUTURE:20240103T090000Z\r\nDTSTART:20240103T110000Z\r\n"
            "DTEND:20240103T113000Z\r\nATTENDEE:mailto:later@x.org\r\n"));
  // The window starts where only the moved instances reach.
  auto events = read(text, {utc(2024, 1, 2, 10, 30), utc(2024, 1, 5, 11)});
  EXPECT_EQ(times(events), (std::vector<std::pair<double, double>>{
                               {utc(2024, 1, 3, 11), utc(2024, 1, 3, 11, 30)},
                               {utc(2024, 1, 4, 11), utc(2024, 1, 4, 11, 30)}}));
  for (const CalendarEvent& e : events) EXPECT_EQ(e.attendeeURLs, std::vector<std::string>{"mailto:later@x.org"});
  EXPECT_EQ(read(text).size(), 5u);
}

TEST(ICalReader, MovedOccurrencesAreJudgedByTheirMovedTimes) {
  const std::string text = calendar(
      event("UID:s\r\nDTSTART:20240101T090000Z\r\nDTEND:20240101T100000Z\r\nRRULE:FREQ=DAILY;COUNT=3\r\n") +
      // Moved from inside the window to after it, and from after it into it.
      event("UID:s\r\nRECURRENCE-ID:20240102T090000Z\r\nDTSTART:20240110T090000Z\r\nDTEND:20240110T100000Z\r\n") +
      event("UID:s\r\nRECURRENCE-ID:20240103T090000Z\r\nDTSTART:20240101T120000Z\r\nDTEND:20240101T130000Z\r\n"));
  auto events = read(text, {utc(2024, 1, 1), utc(2024, 1, 5)});
  EXPECT_EQ(times(events), (std::vector<std::pair<double, double>>{
                               {utc(2024, 1, 1, 9), utc(2024, 1, 1, 10)},
                               {utc(2024, 1, 1, 12), utc(2024, 1, 1, 13)}}));
}

TEST(ICalReader, RecurrenceIdMatchesAcrossZonesAndDates) {
  ScopedTimeZone tz("UTC");
  // A RECURRENCE-ID in UTC against a zoned series, and one given as a
  // date-time against an all-day series.
  auto zoned = read(calendar(
      event("UID:z\r\nDTSTART;TZID=Europe/Berlin:20240701T070000\r\nRRULE:FREQ=DAILY;COUNT=2\r\n") +
      event("UID:z\r\nRECURRENCE-ID:20240702T050000Z\r\nDTSTART:20240702T200000Z\r\n")));
  EXPECT_EQ(times(zoned), (std::vector<std::pair<double, double>>{
                              {utc(2024, 7, 1, 5), utc(2024, 7, 1, 5)}, {utc(2024, 7, 2, 20), utc(2024, 7, 2, 20)}}));
  auto dated = read(calendar(
      event("UID:d\r\nDTSTART;VALUE=DATE:20240701\r\nRRULE:FREQ=DAILY;COUNT=2\r\n") +
      event("UID:d\r\nRECURRENCE-ID:20240702T000000\r\nDTSTART;VALUE=DATE:20240705\r\n")));
  EXPECT_EQ(times(dated), (std::vector<std::pair<double, double>>{
                              {utc(2024, 7, 1), utc(2024, 7, 2)}, {utc(2024, 7, 5), utc(2024, 7, 6)}}));
}

TEST(ICalReader, WindowEdges) {
  const std::string hour = calendar(event("UID:h\r\nDTSTART:20240101T100000Z\r\nDTEND:20240101T110000Z\r\n"));
  const std::string instant = calendar(event("UID:i\r\nDTSTART:20240101T100000Z\r\n"));
  const double ten = utc(2024, 1, 1, 10), eleven = utc(2024, 1, 1, 11);
  struct Case {
    const char* name;
    const std::string& text;
    EventWindow window;
    size_t expected;
  } cases[] = {
      {"window after the end", hour, {eleven, eleven + 60}, 0},
      {"window ending at the start", hour, {ten - 60, ten}, 0},
      {"last second overlaps", hour, {eleven - 1, eleven + 60}, 1},
      {"first second overlaps", hour, {ten - 60, ten + 1}, 1},
      {"window inside", hour, {ten + 1, ten + 2}, 1},
      {"empty window inside", hour, {ten + 1, ten + 1}, 1},
      {"reversed window inside", hour, {ten + 2, ten + 1}, 0},
      {"reversed window around", hour, {eleven + 60, ten - 60}, 0},
      {"zero length at the start of the window", instant, {ten, ten + 60}, 1},
      {"zero length at the end of the window", instant, {ten - 60, ten}, 0},
      {"zero length in an empty window", instant, {ten, ten}, 0},
      {"fractional window edge", instant, {ten - 0.5, ten + 0.5}, 1},
      {"not a number", hour, {std::nan(""), eleven}, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(read(c.text, c.window).size(), c.expected) << c.name;
}

TEST(ICalReader, EndlessRulesStopAtTheWindowEnd) {
  struct Case {
    const char* name;
    std::string rule;
    EventWindow window;
    size_t expected;
  } cases[] = {
      {"daily since 1990", "DTSTART:19900101T090000Z\r\nRRULE:FREQ=DAILY\r\n", {utc(2020, 1, 1), utc(2020, 1, 11)}, 10},
      {"every minute since 1970", "DTSTART:19700101T000000Z\r\nRRULE:FREQ=MINUTELY\r\n", {utc(2024, 5, 1), utc(2024, 5, 1, 1)}, 60},
      {"every second since 1970", "DTSTART:19700101T000000Z\r\nRRULE:FREQ=SECONDLY\r\n", {utc(2024, 5, 1), utc(2024, 5, 1, 0, 1)}, 60},
      {"weekly across eleven years", "DTSTART:20150105T090000Z\r\nRRULE:FREQ=WEEKLY\r\n", {utc(2015, 1, 1), utc(2026, 1, 1)}, 574},
      {"until before the window", "DTSTART:20200101T090000Z\r\nRRULE:FREQ=DAILY;UNTIL=20200110T090000Z\r\n", {utc(2021, 1, 1), utc(2022, 1, 1)}, 0},
  };
  for (const Case& c : cases) {
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(read(calendar(event("UID:r\r\n" + c.rule)), c.window).size(), c.expected) << c.name;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20)) << c.name;
  }
}

TEST(ICalReader, WhatCountsAsAnEvent) {
  ScopedTimeZone tz("UTC");
  const std::string text =
      calendar(event("UID:first\r\nDTSTART:20240101T000000Z\r\n") +
               "BEGIN:VTODO\r\nUID:todo\r\nDTSTART:20240101T000000Z\r\nEND:VTODO\r\n"
               "BEGIN:VJOURNAL\r\nUID:journal\r\nDTSTART:20240101T000000Z\r\nEND:VJOURNAL\r\n" +
               event("UID:no-start\r\nDTEND:20240101T000000Z\r\n") +
               event("UID:bad-start\r\nDTSTART:not-a-date\r\n") +
               event("DTSTART:20240102T000000Z\r\n")) +
      "\r\n" + calendar(calendar(event("UID:nested\r\nDTSTART:20240103T000000Z\r\n"))) +
      event("UID:bare\r\nDTSTART:20240104T000000Z\r\n");
  std::vector<std::optional<std::string>> ids;
  for (const CalendarEvent& e : read(text)) ids.push_back(e.identifier);
  EXPECT_EQ(ids, (std::vector<std::optional<std::string>>{"first", std::nullopt, "nested", "bare"}));
}

TEST(ICalReader, PeopleStatusAndTextsAsTheStoreHandsThemOn) {
  const std::string text = calendar(event(
      "UID:caf\xC3\xA9-\xFF\r\nDTSTART:20240101T000000Z\r\nSTATUS:TENTATIVE\r\n"
      "ATTENDEE;CN=\"A, B\":mailto:A@Example.com\r\nATTENDEE:MAILTO:b\xE9@x.org\r\n"
      "ATTENDEE;CUTYPE=RESOURCE:urn:uuid:room\r\nATTEND\r\n EE:mailto:fol\r\n ded@x.org\r\n"
      "ORGANIZER;CN=Org:\"mailto:org@x.org\"\r\n"));
  auto events = read(text);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].identifier, "caf\xC3\xA9-\xEF\xBF\xBD");
  EXPECT_EQ(events[0].status, 2);
  EXPECT_EQ(events[0].attendeeURLs, (std::vector<std::string>{"mailto:A@Example.com", "MAILTO:b\xEF\xBF\xBD@x.org",
                                                               "urn:uuid:room", "mailto:folded@x.org"}));
  EXPECT_EQ(events[0].organizerURL, "mailto:org@x.org");
}

TEST(ICalReader, FileEncodingsAndGarbage) {
  const std::string plain = calendar(event("UID:enc\r\nDTSTART:20240101T000000Z\r\n"));
  std::string utf16le = "\xFF\xFE";
  for (char c : plain) utf16le += std::string{c, '\0'};
  std::string utf16be = "\xFE\xFF";
  for (char c : plain) utf16be += std::string{'\0', c};
  std::string withNul = plain;
  withNul.insert(withNul.find("UID"), std::string("\0", 1));
  struct Case {
    const char* name;
    std::string text;
    size_t expected;
  } cases[] = {
      {"utf-8 byte order mark", "\xEF\xBB\xBF" + plain, 1},
      {"utf-16 little endian", utf16le, 1},
      {"utf-16 big endian", utf16be, 1},
      {"lf line ends", "BEGIN:VCALENDAR\nBEGIN:VEVENT\nUID:lf\nDTSTART:20240101T000000Z\nEND:VEVENT\nEND:VCALENDAR\n", 1},
      {"nul byte", withNul, 1},
      {"empty", "", 0},
      {"garbage", "\x01\x02\xFF\xFE\x00 BEGIN:VEVENT\r\nDTSTART;;;:\r\n", 0},
      {"truncated", plain.substr(0, plain.find("END:VEVENT")), 0},
      {"unbalanced", "END:VEVENT\r\nEND:VCALENDAR\r\nBEGIN:VEVENT\r\n", 0},
      {"bad rule", calendar(event("UID:x\r\nDTSTART:20240101T000000Z\r\nRRULE:FREQ=DAILY;UNTIL=123456T123456;BYSETPOS=999999\r\n")), 1},
  };
  for (const Case& c : cases) EXPECT_EQ(read(c.text).size(), c.expected) << c.name;
}

}  // namespace
