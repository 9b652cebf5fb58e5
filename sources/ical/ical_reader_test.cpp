// The iCalendar reader on hand-made calendars: times and zones, lengths,
// recurrences with their exceptions, window edges and malformed input.
#include "sources/ical/ical_reader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <tuple>

#include "tests/test_support.h"

namespace {

using std::string_literals::operator""s;
using Times = std::vector<std::pair<double, double>>;

double utc(int year, unsigned month, unsigned day, int hour = 0, int minute = 0) {
  std::chrono::sys_days date{std::chrono::year{year} / month / day};
  return date.time_since_epoch().count() * 86400.0 + hour * 3600 + minute * 60;
}

// The same wall-clock time in the zone TZ names.
double local(int year, int month, int day, int hour = 0) {
  std::tm fields{};
  std::tie(fields.tm_year, fields.tm_mon, fields.tm_mday, fields.tm_hour, fields.tm_isdst) = std::tuple(year - 1900, month - 1, day, hour, -1);
  return static_cast<double>(std::mktime(&fields));
}

// Sets TZ for one test; the C library rereads it on the way in and, once
// the old value is back, on the way out.
struct ScopedTimeZone {
  explicit ScopedTimeZone(const char* zone) { env.emplace("TZ", zone); tzset(); }
  ~ScopedTimeZone() { env.reset(); tzset(); }
  std::optional<test::ScopedEnv> env;
};

// `|` ends a line, to keep the literals short.
std::string crlf(const std::string& text) {
  std::string result;
  for (char c : text) result += c == '|' ? "\r\n"s : std::string(1, c);
  return result;
}

std::string calendar(const std::string& body) { return crlf("BEGIN:VCALENDAR|VERSION:2.0|PRODID:-//t//EN|" + body + "END:VCALENDAR|"); }
std::string event(const std::string& lines) { return "BEGIN:VEVENT|" + lines + "END:VEVENT|"; }

std::vector<CalendarEvent> read(const std::string& text, const EventWindow& window = {utc(1900, 1, 1), utc(2100, 1, 1)}) {
  std::vector<CalendarEvent> events;
  readICalendarEvents(text, window, [&](const CalendarEvent& e) { events.push_back(e); });
  return events;
}

Times times(const std::vector<CalendarEvent>& events) {
  Times result;
  for (const CalendarEvent& e : events) result.emplace_back(*e.startUnix, *e.endUnix);
  return result;
}

TEST(ICalReader, StartInZonesEndFromDtendOrDuration) {
  const double nine = utc(2024, 3, 9, 17);  // 09:00 in Los Angeles, the day before the change
  const std::string ownZone = "BEGIN:VTIMEZONE|TZID:Custom/Zone|BEGIN:STANDARD|DTSTART:19700101T000000|"
                              "TZOFFSETFROM:+0530|TZOFFSETTO:+0530|END:STANDARD|END:VTIMEZONE|";
  const std::string ownNewYork = "BEGIN:VTIMEZONE|TZID:Own|BEGIN:STANDARD|DTSTART:19701101T020000|RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU|"
                                 "TZOFFSETFROM:-0400|TZOFFSETTO:-0500|END:STANDARD|BEGIN:DAYLIGHT|DTSTART:19700308T020000|"
                                 "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU|TZOFFSETFROM:-0500|TZOFFSETTO:-0400|END:DAYLIGHT|END:VTIMEZONE|";
  const std::string berlinSeries = "UID:b|DTSTART;TZID=Europe/Berlin:20240101T100000|RRULE:FREQ=DAILY;COUNT=3|";
  // The zone cases have neither DTEND nor DURATION: they last no time. A
  // time in a daylight-saving gap lands the gap's length later; one in an
  // overlap is its first occurrence.
  struct Case { const char* name; std::string body; Times expected; const char* tz = "America/Los_Angeles"; } cases[] = {
      {"own VTIMEZONE", ownZone + event("DTSTART;TZID=Custom/Zone:20240310T090000|"), {{utc(2024, 3, 10, 3, 30), utc(2024, 3, 10, 3, 30)}}},
      {"empty VTIMEZONE gives the system zone, in summer", "BEGIN:VTIMEZONE|TZID:America/New_York|END:VTIMEZONE|" + event("DTSTART;TZID=America/New_York:20240701T090000|"), {{utc(2024, 7, 1, 13), utc(2024, 7, 1, 13)}}},
      {"vendor prefix", event("DTSTART;TZID=/softwarestudio.org/Olson_20011030_5/Europe/Berlin:20240115T090000|"), {{utc(2024, 1, 15, 8), utc(2024, 1, 15, 8)}}},
      {"windows name", event("DTSTART;TZID=Eastern Standard Time:20240115T090000|"), {{utc(2024, 1, 15, 14), utc(2024, 1, 15, 14)}}},
      {"unknown zone, even a path outside the database, is local", event("DTSTART;TZID=../../../etc/passwd:20240309T090000|"), {{nine, nine}}},
      {"duration of a day keeps the wall clock", event("DTSTART:20240309T090000|DURATION:P1D|"), {{nine, nine + 23 * 3600}}},
      {"end before start is clamped", event("DTSTART:20240309T090000|DTEND:20240309T080000|"), {{nine, nine}}},
      {"end in another zone", event("DTSTART:20240309T090000|DTEND;TZID=America/New_York:20240309T130000|"), {{nine, nine + 3600}}},
      {"gap, system zone", event("DTSTART;TZID=America/New_York:20070311T023000|"), {{utc(2007, 3, 11, 7, 30), utc(2007, 3, 11, 7, 30)}}},
      {"overlap, system zone", event("DTSTART;TZID=America/New_York:20071104T013000|"), {{utc(2007, 11, 4, 5, 30), utc(2007, 11, 4, 5, 30)}}},
      {"gap and overlap, Berlin", event("DTSTART;TZID=Europe/Berlin:20240331T023000|") + event("DTSTART;TZID=Europe/Berlin:20241027T023000|"), {{utc(2024, 3, 31, 1, 30), utc(2024, 3, 31, 1, 30)}, {utc(2024, 10, 27, 0, 30), utc(2024, 10, 27, 0, 30)}}},
      {"gap and overlap, own VTIMEZONE", ownNewYork + event("DTSTART;TZID=Own:20070311T023000|") + event("DTSTART;TZID=Own:20071104T013000|"), {{utc(2007, 3, 11, 7, 30), utc(2007, 3, 11, 7, 30)}, {utc(2007, 11, 4, 5, 30), utc(2007, 11, 4, 5, 30)}}},
      {"series across the gap", event("DTSTART;TZID=America/New_York:20070310T023000|RRULE:FREQ=DAILY;COUNT=3|"), {{utc(2007, 3, 10, 7, 30), utc(2007, 3, 10, 7, 30)}, {utc(2007, 3, 11, 7, 30), utc(2007, 3, 11, 7, 30)}, {utc(2007, 3, 12, 6, 30), utc(2007, 3, 12, 6, 30)}}},
      {"floating gap and overlap under TZ", event("DTSTART:20070311T023000|") + event("DTSTART:20071104T013000|"), {{utc(2007, 3, 11, 7, 30), utc(2007, 3, 11, 7, 30)}, {utc(2007, 11, 4, 5, 30), utc(2007, 11, 4, 5, 30)}}, "America/New_York"},
      {"floating EXDATE and RECURRENCE-ID in the series' zone", event(berlinSeries + "EXDATE:20240102T100000|") + event("UID:b|RECURRENCE-ID:20240103T100000|DTSTART;TZID=Europe/Berlin:20240103T120000|"),
       {{utc(2024, 1, 1, 9), utc(2024, 1, 1, 9)}, {utc(2024, 1, 3, 11), utc(2024, 1, 3, 11)}}, "UTC"},
  };
  for (const Case& c : cases) {
    ScopedTimeZone tz(c.tz);
    EXPECT_EQ(times(read(calendar(c.body))), c.expected) << c.name;
  }
}

TEST(ICalReader, FloatingAndAllDayFollowTheLocalZone) {
  const std::string text = calendar(event("UID:floating|DTSTART:20240310T090000|DTEND:20240310T100000|") +
                                    event("UID:day|DTSTART;VALUE=DATE:20240310|") +
                                    event("UID:days|DTSTART;VALUE=DATE:20240309|DTEND;VALUE=DATE:20240312|"));
  // Daylight-saving time starts on 10 March 2024 in Los Angeles: that day
  // has 23 hours, and an all-day event still ends at the next midnight.
  for (const char* zone : {"UTC", "America/Los_Angeles"}) {
    ScopedTimeZone tz(zone);
    EXPECT_EQ(times(read(text)), (Times{{local(2024, 3, 10, 9), local(2024, 3, 10, 10)}, {local(2024, 3, 10), local(2024, 3, 11)},
                                        {local(2024, 3, 9), local(2024, 3, 12)}})) << zone;
  }
}

TEST(ICalReader, RecurrenceWithExdateRdateAndOverrideAcrossDaylightSaving) {
  // Berlin changes to summer time on 31 March 2024; instances keep 10:00,
  // and exclusions and overrides given in UTC still find them.
  auto events = read(calendar(
      event("UID:w|DTSTART;TZID=Europe/Berlin:20240321T100000|DTEND;TZID=Europe/Berlin:20240321T110000|RRULE:FREQ=WEEKLY;COUNT=5|"
            "EXDATE;TZID=Europe/Berlin:20240328T100000|EXDATE:20240404T080000Z|RDATE;TZID=Europe/Berlin:20240322T120000|"
            "RDATE;VALUE=PERIOD:20240406T080000Z/20240406T083000Z|RDATE:20240321T090000Z|") +
      event("UID:w|RECURRENCE-ID:20240418T080000Z|DTSTART:20240418T200000Z|")));
  // The first is also an RDATE, and comes once; a PERIOD has its own end.
  EXPECT_EQ(times(events), (Times{{utc(2024, 3, 21, 9), utc(2024, 3, 21, 10)}, {utc(2024, 3, 22, 11), utc(2024, 3, 22, 12)},
                                  {utc(2024, 4, 6, 8), utc(2024, 4, 6, 8, 30)}, {utc(2024, 4, 11, 8), utc(2024, 4, 11, 9)},
                                  {utc(2024, 4, 18, 20), utc(2024, 4, 18, 20)}}));
}

TEST(ICalReader, OverridesReplaceTheirInstances) {
  // The override comes first in the file; it moves the second instance after
  // the third and has its own attendees; the fourth instance is cancelled.
  const std::string text = calendar(
      event("UID:s|RECURRENCE-ID:20240102T090000Z|DTSTART:20240103T150000Z|DTEND:20240103T160000Z|ATTENDEE:mailto:moved@x.org|") +
      event("UID:other|DTSTART:20240101T000000Z|") +
      event("UID:s|DTSTART:20240101T090000Z|DTEND:20240101T100000Z|RRULE:FREQ=DAILY;COUNT=4|ATTENDEE:mailto:all@x.org|STATUS:CONFIRMED|") +
      event("UID:s|RECURRENCE-ID:20240104T090000Z|DTSTART:20240104T090000Z|DTEND:20240104T100000Z|STATUS:CANCELLED|"));
  auto events = read(text);
  ASSERT_EQ(times(events), (Times{{utc(2024, 1, 1), utc(2024, 1, 1)}, {utc(2024, 1, 1, 9), utc(2024, 1, 1, 10)},
                                  {utc(2024, 1, 3, 9), utc(2024, 1, 3, 10)}, {utc(2024, 1, 3, 15), utc(2024, 1, 3, 16)},
                                  {utc(2024, 1, 4, 9), utc(2024, 1, 4, 10)}}));
  EXPECT_EQ((std::vector{events[1].attendeeURLs, events[3].attendeeURLs}),
            (std::vector<std::vector<std::string>>{{"mailto:all@x.org"}, {"mailto:moved@x.org"}}));
  EXPECT_EQ((std::pair{events[1].status, events[4].status}), (std::pair{1, CalendarEvent::kStatusCanceled}));
  // A window takes a moved instance by where it went, not where it was.
  EXPECT_TRUE(read(text, {utc(2024, 1, 2), utc(2024, 1, 3)}).empty());
  EXPECT_EQ(times(read(text, {utc(2024, 1, 3, 12), utc(2024, 1, 4)})), (Times{{utc(2024, 1, 3, 15), utc(2024, 1, 3, 16)}}));
}

TEST(ICalReader, ThisAndFutureOverridesChangeTheLaterInstances) {
  const std::string text = calendar(
      event("UID:s|DTSTART:20240101T090000Z|DTEND:20240101T100000Z|RRULE:FREQ=DAILY;COUNT=5|") +
      event("UID:s|RECURRENCE-ID;RANGE=THISANDFUTURE:20240103T090000Z|DTSTART:20240103T110000Z|DTEND:20240103T113000Z|"
            "ATTENDEE:mailto:later@x.org|"));
  // The window starts where only the moved instances reach.
  auto events = read(text, {utc(2024, 1, 2, 10, 30), utc(2024, 1, 5, 11)});
  EXPECT_EQ(times(events), (Times{{utc(2024, 1, 3, 11), utc(2024, 1, 3, 11, 30)}, {utc(2024, 1, 4, 11), utc(2024, 1, 4, 11, 30)}}));
  for (const CalendarEvent& e : events) EXPECT_EQ(e.attendeeURLs, std::vector<std::string>{"mailto:later@x.org"});
  EXPECT_EQ(read(text).size(), 5u);
}

TEST(ICalReader, WindowEdges) {
  const std::string hour = calendar(event("UID:h|DTSTART:20240101T100000Z|DTEND:20240101T110000Z|"));
  const std::string instant = calendar(event("UID:i|DTSTART:20240101T100000Z|"));
  const double ten = utc(2024, 1, 1, 10), eleven = utc(2024, 1, 1, 11);
  struct Case { const char* name; const std::string& text; EventWindow window; size_t expected; } cases[] = {
      {"window starting at the end", hour, {eleven, eleven + 60}, 0},
      {"empty window inside", hour, {ten + 1, ten + 1}, 1},
      {"zero length at the start of the window", instant, {ten, ten + 60}, 1},
      {"zero length at the end of the window", instant, {ten - 60, ten}, 0},
      {"not a number", hour, {std::nan(""), eleven}, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(read(c.text, c.window).size(), c.expected) << c.name;
}

TEST(ICalReader, PeopleStatusAndTextsAsTheStoreHandsThemOn) {
  auto events = read(calendar(event(
      "UID:caf\xC3\xA9-\xFF|DTSTART:20240101T000000Z|STATUS:TENTATIVE|ATTENDEE;CN=\"A, B\":mailto:A@Example.com|"
      "ATTENDEE:MAILTO:b\xE9@x.org|ATTENDEE;CUTYPE=RESOURCE:urn:uuid:room|ATTEND| EE:mailto:fol| ded@x.org|"
      "ORGANIZER;CN=Org:\"mailto:org@x.org\"|")));
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].identifier, "caf\xC3\xA9-\xEF\xBF\xBD");
  EXPECT_EQ(events[0].status, 2);
  EXPECT_EQ(events[0].attendeeURLs,
            (std::vector<std::string>{"mailto:A@Example.com", "MAILTO:b\xEF\xBF\xBD@x.org", "urn:uuid:room", "mailto:folded@x.org"}));
  EXPECT_EQ(events[0].organizerURL, "mailto:org@x.org");
}

TEST(ICalReader, WhatCountsAsAnEventInAnyEncodingOrGarbage) {
  const std::string plain = calendar(event("UID:enc|DTSTART:20240101T000000Z|"));
  std::string utf16le = "\xFF\xFE", withNul = plain;
  for (char c : plain) utf16le += std::string{c, '\0'};
  withNul.insert(withNul.find("UID"), std::string("\0", 1));
  struct Case { const char* name; std::string text; size_t expected; } cases[] = {
      {"utf-8 byte order mark", "\xEF\xBB\xBF" + plain, 1},
      {"utf-16 little endian", utf16le, 1},
      {"nul byte", withNul, 1},
      {"nested calendars and a bare event", calendar(calendar(plain)) + crlf(event("UID:bare|DTSTART:20240104T000000Z|")), 2},
      {"todo, journal, no start, bad start", calendar("BEGIN:VTODO|DTSTART:20240101T000000Z|END:VTODO|BEGIN:VJOURNAL|DTSTART:20240101T000000Z|"
                                                      "END:VJOURNAL|" + event("DTEND:20240101T000000Z|") + event("DTSTART:not-a-date|")), 0},
      {"garbage", "\x01\x02\xFF\xFE\0 BEGIN:VEVENT\r\nDTSTART;;;:\r\n"s, 0},
      {"bad rule", calendar(event("UID:x|DTSTART:20240101T000000Z|RRULE:FREQ=DAILY;UNTIL=123456T123456;BYSETPOS=999999|")), 1},
  };
  for (const Case& c : cases) EXPECT_EQ(read(c.text).size(), c.expected) << c.name;
}

// Wide and non-positive INTERVALs, dates that do not exist, and one series
// per UID: the latest revision, one override per instance.
TEST(ICalReader, RuleForms) {
  const std::string daily = "DTSTART:20240101T090000Z|RRULE:FREQ=DAILY;COUNT=3|";
  struct Case { const char* name; std::string body; size_t expected; } cases[] = {
      {"interval over 32,767", event("UID:r|DTSTART:20240101T000000Z|RRULE:FREQ=MINUTELY;INTERVAL=43200;COUNT=4|"), 4},
      {"interval of a day less a second", event("UID:r|DTSTART:20240101T000000Z|RRULE:FREQ=SECONDLY;INTERVAL=86399;UNTIL=20241231T235959Z|"), 367},
      {"interval 0", event("UID:r|DTSTART:20240101T000000Z|RRULE:FREQ=DAILY;INTERVAL=0;COUNT=3|"), 3},
      {"interval -5", event("UID:r|DTSTART:20240101T000000Z|RRULE:FREQ=HOURLY;INTERVAL=-5;COUNT=3|"), 3},
      {"weekly beyond the years", event("UID:r|DTSTART:20240101T000000Z|RRULE:FREQ=WEEKLY;INTERVAL=40000;BYDAY=MO,TU|"), 2},
      {"30 February, hour 25, month 13", event("DTSTART:20240230T090000Z|") + event("DTSTART:20240101T250000Z|") + event("DTSTART:20241301T000000Z|"), 0},
      {"leap second", event("DTSTART:20161231T235960Z|"), 1},
      {"two overrides of one instance", event("UID:s|" + daily) + event("UID:s|RECURRENCE-ID:20240102T090000Z|DTSTART:20240102T100000Z|") +
       event("UID:s|RECURRENCE-ID:20240102T090000Z|DTSTART:20240102T100000Z|"), 3},
      {"revisions by sequence", event("UID:s|SEQUENCE:2|EXDATE:20240102T090000Z|" + daily) + event("UID:s|SEQUENCE:1|" + daily), 2},
      {"revisions by stamp", event("UID:s|DTSTAMP:20240301T000000Z|" + daily) + event("UID:s|DTSTAMP:20240201T000000Z|EXDATE:20240102T090000Z|" + daily), 3},
  };
  for (const Case& c : cases) EXPECT_EQ(read(calendar(c.body)).size(), c.expected) << c.name;
  // A line the parser takes folded comes whole, a NUL byte in it left out (its speed: bench/run-calendar).
  EXPECT_EQ(read(calendar(event("UID:l|DTSTART:20240101T000000Z|ATTENDEE:mailto:" + std::string(50000, 'a') + '\0' + std::string(50000, 'a') + "|")))[0].attendeeURLs[0].size(), 100007u);
}

TEST(ICalReader, UntilInUtcIsAnInclusiveInstant) {
  ScopedTimeZone tz("America/Los_Angeles");
  struct Case { std::string start, rule; size_t expected; } cases[] = {
      {"TZID=Europe/Berlin:20240610T090000", "FREQ=DAILY;UNTIL=20240614T070000Z", 5},
      {"TZID=America/New_York:20240610T200000", "FREQ=DAILY;UNTIL=20240613T000000Z", 3},
      {"TZID=America/New_York:20240610T200000", "FREQ=DAILY;UNTIL=20240612T235959Z", 2},
      // Local (floating) starts are read in TZ: 09:00 in Los Angeles is 16:00 UTC.
      {"VALUE=DATE-TIME:20240610T090000", "FREQ=DAILY;UNTIL=20240612T160000Z", 3},
  };
  for (const Case& c : cases)
    EXPECT_EQ(read(calendar(event("UID:u|DTSTART;" + c.start + "|RRULE:" + c.rule + "|"))).size(), c.expected) << c.start << " " << c.rule;
}

// A window late in a series must see the same instances as a read from the
// series' start does, whatever the rule.
TEST(ICalReader, LateWindowsStayOnTheRuleGrid) {
  struct Case { std::string rule, start; } cases[] = {
      {"FREQ=HOURLY;INTERVAL=7", "20230101T001000"}, {"FREQ=MINUTELY;INTERVAL=13", "20240520T001000"},
      {"FREQ=SECONDLY;INTERVAL=7", "20240527T001003"}, {"FREQ=HOURLY;INTERVAL=5;BYMINUTE=0,30", "20240101T001000"},
      {"FREQ=MINUTELY;INTERVAL=7;BYSECOND=0,30", "20240520T001000"}, {"FREQ=DAILY;INTERVAL=3;BYHOUR=9,17", "20230101T001000"},
      {"FREQ=WEEKLY;INTERVAL=3;BYDAY=MO,FR", "20200101T001000"}, {"FREQ=MONTHLY;INTERVAL=5;BYMONTHDAY=31", "20000131T001000"},
      {"FREQ=YEARLY;INTERVAL=3;BYMONTH=2;BYMONTHDAY=29", "19960229T001000"}, {"FREQ=HOURLY;INTERVAL=7;UNTIL=20240620T000000Z", "20230101T001000"},
  };
  const double froms[] = {utc(2024, 6, 1, 3, 17), utc(2024, 6, 2, 11, 59)};
  for (const Case& c : cases) {
    for (const std::string& start : {"DTSTART:" + c.start + "Z", "DTSTART;TZID=Europe/Berlin:" + c.start}) {
      const std::string text = calendar(event("UID:g|" + start + "|RRULE:" + c.rule + "|"));
      const bool longPeriods = c.rule.find("MONTHLY") != std::string::npos || c.rule.find("YEARLY") != std::string::npos;
      const bool days = c.rule.find("DAILY") != std::string::npos || c.rule.find("WEEKLY") != std::string::npos;
      const double span = 86400.0 * (longPeriods ? 3000 : days ? 30 : 1);
      for (double from : froms) {
        Times expected;
        for (auto t : times(read(text, {utc(1990, 1, 1), from + span})))  // from the start: no jump
          if (t.first >= from) expected.push_back(t);
        EXPECT_EQ(times(read(text, {from, from + span})), expected) << start << " " << c.rule << " from " << from;
        EXPECT_FALSE(expected.empty()) << c.rule;
      }
    }
  }
}

TEST(ICalReader, CountedRulesJumpArithmetically) {
  const std::string minutes = calendar(event("UID:m|DTSTART:20100101T000000Z|RRULE:FREQ=MINUTELY;COUNT=10000000|"));
  const double last = utc(2010, 1, 1) + 9999999 * 60.0;
  EXPECT_EQ(times(read(minutes, {last - 120, last + 600})), (Times{{last - 120, last - 120}, {last - 60, last - 60}, {last, last}}));
  const std::string weeks = calendar(event("UID:w|DTSTART;TZID=Europe/Berlin:20000103T090000|RRULE:FREQ=WEEKLY;INTERVAL=2;COUNT=600|"));
  // The 600th instance, 1198 weeks on, is on 18 December 2022 at 09:00 in Berlin.
  EXPECT_EQ(times(read(weeks, {utc(2022, 12, 1), utc(2023, 6, 1)})), (Times{{utc(2022, 12, 5, 8), utc(2022, 12, 5, 8)}, {utc(2022, 12, 19, 8), utc(2022, 12, 19, 8)}}));
}

TEST(ICalReader, TimesBeforeNineteenOTwoAndHugeDurations) {
  ScopedTimeZone tz("UTC");
  struct Case { const char* name; std::string lines; Times expected; } cases[] = {
      {"utc", "DTSTART:18500101T120000Z|DTEND:18500101T130000Z|", {{utc(1850, 1, 1, 12), utc(1850, 1, 1, 13)}}},
      {"zoned", "DTSTART;TZID=Etc/GMT-2:17990704T120000|", {{utc(1799, 7, 4, 10), utc(1799, 7, 4, 10)}}},
      {"all day", "DTSTART;VALUE=DATE:18150618|DTEND;VALUE=DATE:18150619|", {{utc(1815, 6, 18), utc(1815, 6, 19)}}},
      {"yearly birthday", "DTSTART;VALUE=DATE:18790314|RRULE:FREQ=YEARLY;COUNT=2|", {{utc(1879, 3, 14), utc(1879, 3, 15)}, {utc(1880, 3, 14), utc(1880, 3, 15)}}},
      {"negative huge duration", "DTSTART:20240101T000000Z|DURATION:-P306783378W2D|", {{utc(2024, 1, 1), utc(2024, 1, 1)}}},
      {"positive huge duration, clamped", "DTSTART:20240101T000000Z|DURATION:P306783378W|", {{utc(2024, 1, 1), utc(2024, 1, 1) + 1e6 * 86400}}},
  };
  for (const Case& c : cases) EXPECT_EQ(times(read(calendar(event("UID:o|" + c.lines)), {utc(1700, 1, 1), utc(2100, 1, 1)})), c.expected) << c.name;
}

TEST(ICalReader, DamagedFilesKeepEveryCompleteEvent) {
  const std::string a = event("UID:a|DTSTART:20240101T000000Z|"), b = event("UID:b|DTSTART:20240102T000000Z|");
  const std::string head = "BEGIN:VCALENDAR|VERSION:2.0|";
  std::string deep;
  for (int i = 0; i < 150000; ++i) deep += "BEGIN:X\r\n";
  deep += crlf(event("UID:deep|DTSTART:20240103T000000Z|"));
  for (int i = 0; i < 150000; ++i) deep += "END:X\r\n";
  auto lf = [](std::string text) { std::erase(text, '\r'); return text; };
  auto cr = [](std::string text) { std::erase(text, '\n'); return text; };
  struct Case { const char* name; std::string text; std::vector<std::string> uids; } cases[] = {
      {"no END:VCALENDAR", crlf(head + a + b), {"a", "b"}},
      {"stray BEGIN: line", crlf(head + a + "BEGIN:|" + b + "END:VCALENDAR|"), {"a", "b"}},
      {"event without END", crlf(head + a + "BEGIN:VEVENT|UID:cut|DTSTART:20240105T000000Z|" + b + "END:VCALENDAR|"), {"a", "b"}},
      {"cut inside the last event", crlf(head + a + b + "BEGIN:VEVENT|UID:c|DTST"), {"a", "b"}},
      {"alarm without END", crlf(head + a + "BEGIN:VEVENT|UID:c|DTSTART:20240105T000000Z|BEGIN:VALARM|END:VEVENT|" + b), {"a", "b"}},
      {"deep nesting", crlf(head + a) + deep + crlf(b + "END:VCALENDAR|"), {"a", "b"}},
      {"cr, lf and crlf lines mixed", cr(crlf(head + a)) + lf(crlf(b)) + crlf("END:VCALENDAR|"), {"a", "b"}},
      {"byte order mark, then lf", "\xEF\xBB\xBF" + lf(crlf(head + a + "END:VCALENDAR|")), {"a"}},
      {"folded uid over a lone cr", cr(crlf(head + event("UID:x| y|DTSTART:20240101T000000Z|") + "END:VCALENDAR|")), {"xy"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> uids;
    for (const CalendarEvent& e : read(c.text)) uids.push_back(e.identifier.value_or("?"));
    EXPECT_EQ(uids, c.uids) << c.name;
  }
}

TEST(ICalReader, HostileZonesAndRulesEndQuickly) {
  ScopedTimeZone tz("UTC");
  auto zone = [](const std::string& tzid, const std::string& freq) {
    return "BEGIN:VTIMEZONE|TZID:" + tzid + "|BEGIN:STANDARD|DTSTART:19700101T000000|RRULE:FREQ=" + freq +
           "|TZOFFSETFROM:+0100|TZOFFSETTO:+0100|END:STANDARD|END:VTIMEZONE|";
  };
  struct Case { const char* name; std::string body; EventWindow window; Times expected; } cases[] = {
      {"secondly observance, known name", zone("Europe/Berlin", "SECONDLY") + event("UID:z|DTSTART;TZID=Europe/Berlin:20240110T100000|"),
       {utc(2024, 1, 1), utc(2024, 2, 1)}, {{utc(2024, 1, 10, 9), utc(2024, 1, 10, 9)}}},
      {"minutely observance, unknown name", zone("My/Zone", "MINUTELY") + event("UID:z|DTSTART;TZID=My/Zone:20240110T100000|"),
       {utc(2024, 1, 1), utc(2024, 2, 1)}, {{utc(2024, 1, 10, 10), utc(2024, 1, 10, 10)}}},
      {"yearly observance", zone("My/Zone", "YEARLY") + event("UID:z|DTSTART;TZID=My/Zone:20240110T100000|"),
       {utc(2024, 1, 1), utc(2024, 2, 1)}, {{utc(2024, 1, 10, 9), utc(2024, 1, 10, 9)}}},
      {"long zone name", event("UID:z|DTSTART;TZID=/a" + std::string(300000, 'a') + ":20240110T100000|"),
       {utc(2024, 1, 1), utc(2024, 2, 1)}, {{utc(2024, 1, 10, 10), utc(2024, 1, 10, 10)}}},
      {"a second no minute has", event("UID:s|DTSTART:20000101T000000Z|RRULE:FREQ=SECONDLY;BYSECOND=60|"), {utc(1970, 1, 1), utc(2100, 1, 1)}, {{utc(2000, 1, 1), utc(2000, 1, 1)}}},
  };
  for (const Case& c : cases) {
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(times(read(calendar(c.body), c.window)), c.expected) << c.name;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2)) << c.name;
  }
}

// Rules that never yield, or yield without end, cost bounded steps and
// occurrences; ordinary events and series under 10,000 are always whole.
TEST(ICalReader, SeriesAndReadsAreBounded) {
  const std::string ordinary = event("UID:o|DTSTART:20240101T120000Z|"), endless = "DTSTART:20160101T000000Z|RRULE:FREQ=SECONDLY|";
  std::string many;
  for (int i = 0; i < 30; ++i) many += event("UID:e" + std::to_string(i) + "|" + endless);
  const EventWindow day{utc(2024, 1, 1), utc(2024, 1, 2)}, years{utc(2014, 1, 1), utc(2025, 1, 1)};
  struct Case { const char* name; std::string body; EventWindow window; size_t expected; } cases[] = {
      {"secondly, never yields", event("UID:r|DTSTART:20000101T000000Z|RRULE:FREQ=SECONDLY;BYMONTH=2;BYMONTHDAY=30|") + ordinary, day, 1},
      {"minutely, impossible day", event("UID:r|DTSTART:20000101T000000Z|RRULE:FREQ=MINUTELY;BYMONTH=4;BYMONTHDAY=31|") + ordinary, day, 1},
      {"all-day start, minutely by hour", event("UID:r|DTSTART;VALUE=DATE:20000101|RRULE:FREQ=MINUTELY;BYMONTH=6;BYHOUR=23|") + ordinary, day, 1},
      {"all-day start, hourly by minute", event("UID:r|DTSTART;VALUE=DATE:20000101|RRULE:FREQ=HOURLY;BYMINUTE=7|") + ordinary, day, 1},
      {"secondly by year day", event("UID:r|DTSTART:20000101T000000Z|RRULE:FREQ=SECONDLY;BYYEARDAY=366|"), {utc(2024, 12, 31, 5), utc(2024, 12, 31, 6)}, 3600},
      {"counted weekdays, 680,000 before the window", event("UID:r|DTSTART:20150101T000000Z|RRULE:FREQ=MINUTELY;INTERVAL=5;BYDAY=MO,TU,WE,TH,FR;COUNT=5000000|"), day, 288},
      {"counted seconds, billions before the window", event("UID:r|DTSTART:19700101T000000Z|RRULE:FREQ=SECONDLY;BYSECOND=1,2,3;COUNT=2000000000|"), {utc(2024, 5, 1), utc(2024, 5, 1, 0, 1)}, 3},
      {"one endless series", event("UID:s|" + endless), years, 100000},
      {"hourly over eleven years stays whole", event("UID:h|DTSTART:20140101T000000Z|RRULE:FREQ=HOURLY|"), years, 96432},
      {"thirty endless series, then one of 9,999 and one event", many + event("UID:n|DTSTART:20200101T000000Z|RRULE:FREQ=MINUTELY;COUNT=9999|") + ordinary, years, 1000000 + 9999 + 1},
  };
  for (const Case& c : cases) {
    size_t count = 0;
    readICalendarEvents(calendar(c.body), c.window, [&](const CalendarEvent&) { ++count; });
    EXPECT_EQ(count, c.expected) << c.name;
  }
}

}  // namespace
