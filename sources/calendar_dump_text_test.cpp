// The calendar dump's rules, driven through an in-memory store.
#include "sources/calendar_dump_text.h"

#include <gtest/gtest.h>

#include <set>

#include <nlohmann/json.hpp>

namespace {

// Hands out its events in order and remembers the window it was asked for.
class InMemoryCalendarStore final : public CalendarStore {
 public:
  explicit InMemoryCalendarStore(std::vector<CalendarEvent> events) : events_(std::move(events)) {}
  void requestAccess(std::function<void(bool)> completion) override { completion(true); }
  void enumerateEvents(double fromUnix, double toUnix,
                       const std::function<void(const CalendarEvent&)>& visit) override {
    askedFrom = fromUnix;
    askedTo = toUnix;
    for (const CalendarEvent& event : events_) visit(event);
  }
  double askedFrom = 0;
  double askedTo = 0;

 private:
  std::vector<CalendarEvent> events_;
};

CalendarEvent timedEvent(std::optional<std::string> identifier, double startUnix, double endUnix) {
  CalendarEvent event;
  event.identifier = std::move(identifier);
  event.startUnix = startUnix;
  event.endUnix = endUnix;
  return event;
}

nlohmann::json dump(std::vector<CalendarEvent> events, double from = 0, double to = 1e10) {
  InMemoryCalendarStore store(std::move(events));
  std::string text = calendarDumpText(store, from, to);
  EXPECT_EQ(text.find('\n'), std::string::npos) << text;
  return nlohmann::json::parse(text);
}

TEST(CalendarDumpText, SuccessObjectHoldsOnlyOkAndItems) {
  nlohmann::json result = dump({});
  EXPECT_EQ(result, nlohmann::json::parse(R"({"ok":true,"items":[]})"));
}

TEST(CalendarDumpText, WindowReachesTheStoreUnchanged) {
  InMemoryCalendarStore store({});
  calendarDumpText(store, 2000.5, 1000.25);
  EXPECT_EQ(store.askedFrom, 2000.5);
  EXPECT_EQ(store.askedTo, 1000.25);
}

TEST(CalendarDumpText, SkipsEventsWithoutTimesAndCanceledOnesKeepingOrder) {
  CalendarEvent noStart = timedEvent("no-start", 0, 10);
  noStart.startUnix.reset();
  CalendarEvent noEnd = timedEvent("no-end", 0, 10);
  noEnd.endUnix.reset();
  CalendarEvent canceled = timedEvent("canceled", 0, 10);
  canceled.status = CalendarEvent::kStatusCanceled;
  std::vector<CalendarEvent> events = {timedEvent("c", 5, 6), noStart, noEnd, canceled,
                                       timedEvent("a", 1, 2)};
  for (int status : {0, 1, 2, 4, -1}) {
    CalendarEvent listed = timedEvent("status-" + std::to_string(status), 0, 0);
    listed.status = status;
    events.push_back(listed);
  }
  nlohmann::json items = dump(events)["items"];
  std::vector<std::string> pks;
  for (const auto& item : items) pks.push_back(item["pk"]);
  EXPECT_EQ(pks, (std::vector<std::string>{"c", "a", "status-0", "status-1", "status-2",
                                           "status-4", "status--1"}));
}

TEST(CalendarDumpText, TimesAreReferenceDateSecondsWithFractions) {
  struct Case {
    double unix;
    double apple;
  } cases[] = {
      {978307200.0, 0.0},          {0.0, -978307200.0},        {978307200.5, 0.5},
      {978307199.75, -0.25},       {1700000000.125, 721692800.125},
      {-1.5, -978307201.5},        {4102444800.0, 3124137600.0},
  };
  for (const Case& c : cases) {
    nlohmann::json item = dump({timedEvent("x", c.unix, c.unix + 0.5)})["items"][0];
    EXPECT_EQ(item["startAppleDate"].get<double>(), c.apple) << "unix " << c.unix;
    EXPECT_EQ(item["endAppleDate"].get<double>(), c.unix + 0.5 + -978307200.0) << "unix " << c.unix;
  }
}

TEST(CalendarDumpText, EventsWithoutIdentifierGetFreshUuids) {
  nlohmann::json items = dump({timedEvent(std::nullopt, 0, 1), timedEvent(std::nullopt, 0, 1),
                               timedEvent("", 0, 1)})["items"];
  std::set<std::string> seen;
  for (int i = 0; i < 2; ++i) {
    std::string pk = items[i]["pk"];
    ASSERT_EQ(pk.size(), 36u) << pk;
    for (size_t at : {8u, 13u, 18u, 23u}) EXPECT_EQ(pk[at], '-') << pk;
    EXPECT_EQ(pk[14], '4') << pk;                                     // version 4
    EXPECT_NE(std::string("89AB").find(pk[19]), std::string::npos) << pk;  // variant
    seen.insert(pk);
  }
  EXPECT_EQ(seen.size(), 2u);
  // An identifier the store gives, even an empty one, is used as it is.
  EXPECT_EQ(items[2]["pk"], "");
  // A second run gives different identifiers.
  EXPECT_EQ(seen.count(dump({timedEvent(std::nullopt, 0, 1)})["items"][0]["pk"]), 0u);
}

TEST(CalendarDumpText, AttendeeAddressesFollowTheMailtoRules) {
  struct Case {
    const char* name;
    std::vector<std::string> attendees;
    std::optional<std::string> organizer;
    std::vector<std::string> expected;
  } cases[] = {
      {"mailto stripped, case kept", {"mailto:Ann@Example.com"}, std::nullopt, {"Ann@Example.com"}},
      {"scheme in capitals", {"MAILTO:bob@x.org", "MailTo:c@x.org"}, std::nullopt, {"bob@x.org", "c@x.org"}},
      {"scheme alone gives empty", {"mailto:"}, std::nullopt, {""}},
      {"not percent-decoded", {"mailto:a%20b@x.org"}, std::nullopt, {"a%20b@x.org"}},
      {"other scheme whole", {"urn:uuid:1234", "https://x.org/p"}, std::nullopt, {"urn:uuid:1234", "https://x.org/p"}},
      {"empty attendee dropped", {""}, std::nullopt, {}},
      {"too short for mailto", {"mail"}, std::nullopt, {"mail"}},
      {"organizer last", {"mailto:a@x.org"}, "MAILTO:Org@x.org", {"a@x.org", "Org@x.org"}},
      {"organizer without attendees", {}, "mailto:org@x.org", {"org@x.org"}},
      {"organizer other scheme dropped", {"mailto:a@x.org"}, "urn:uuid:9", {"a@x.org"}},
      {"organizer empty mailto", {}, "mailto:", {""}},
      {"duplicates kept", {"mailto:a@x.org", "mailto:a@x.org"}, "mailto:a@x.org", {"a@x.org", "a@x.org", "a@x.org"}},
  };
  for (const Case& c : cases) {
    CalendarEvent event = timedEvent("x", 0, 1);
    event.attendeeURLs = c.attendees;
    event.organizerURL = c.organizer;
    EXPECT_EQ(attendeeAddresses(event), c.expected) << c.name;
    nlohmann::json written = dump({event})["items"][0]["attendees"];
    EXPECT_EQ(written, nlohmann::json(c.expected)) << c.name;
  }
}

TEST(CalendarDumpText, TextsNeedingEscapesSurviveTheRoundTrip) {
  CalendarEvent event = timedEvent("id \"quoted\"\\\n\t\x01 é 日本", 0, 1);
  event.attendeeURLs = {"mailto:\"x\"@y", "mailto:bad\xC3("};
  nlohmann::json item = dump({event})["items"][0];
  EXPECT_EQ(item["pk"], "id \"quoted\"\\\n\t\x01 é 日本");
  EXPECT_EQ(item["attendees"][0], "\"x\"@y");
  EXPECT_EQ(item["attendees"][1], "bad\xEF\xBF\xBD(");
}

}  // namespace
