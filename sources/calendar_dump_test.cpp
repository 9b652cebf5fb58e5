// The calendar dump's rules, driven through an in-memory store.
#include "sources/calendar_dump.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <regex>
#include <set>

namespace {

CalendarEvent timedEvent(std::optional<std::string> identifier, std::optional<double> startUnix, std::optional<double> endUnix,
                         int status = 0, std::vector<std::string> attendees = {}, std::optional<std::string> organizer = {}) {
  return {startUnix, endUnix, status, std::move(identifier), std::move(attendees), std::move(organizer)};
}

// The items of a dump of a store that hands out `given` in order.
nlohmann::json dumpedItems(std::vector<CalendarEvent> given) {
  struct : CalendarStore {
    void requestAccess(std::function<void(bool)> completion) override { completion(true); }
    void enumerateEvents(double, double, const std::function<void(const CalendarEvent&)>& visit) override {
      for (const CalendarEvent& event : events) visit(event);
    }
    std::vector<CalendarEvent> events;
  } store;
  store.events = std::move(given);
  std::string text = calendarDumpText(store, 0, 1e10);
  EXPECT_EQ(text.find('\n'), std::string::npos) << text;
  nlohmann::json result = nlohmann::json::parse(text);
  EXPECT_EQ(result.size(), 2u) << "only ok and items: " << text;
  EXPECT_EQ(result["ok"], true) << text;
  return result["items"];
}

TEST(CalendarDumpText, SkipsEventsWithoutTimesAndCanceledOnesKeepingOrder) {
  std::vector<std::string> pks;
  for (const auto& item : dumpedItems({timedEvent("c", 5, 6), timedEvent("no-start", std::nullopt, 10),
                                       timedEvent("no-end", 0, std::nullopt),
                                       timedEvent("canceled", 0, 10, CalendarEvent::kStatusCanceled),
                                       timedEvent("other-status", 0, 0, 4), timedEvent("a", 1, 2)}))
    pks.push_back(item["pk"]);
  EXPECT_EQ(pks, (std::vector<std::string>{"c", "other-status", "a"}));
}

TEST(CalendarDumpText, TimesAreReferenceDateSecondsWithFractions) {
  // The last case needs all seventeen digits to read back as the same double.
  const double third = 978307200.0 + 1.0 / 3;
  const std::pair<double, double> cases[] = {{978307200.0, 0.0}, {978307199.75, -0.25}, {third, third - 978307200.0}};
  for (auto [unix, apple] : cases) {
    nlohmann::json item = dumpedItems({timedEvent("x", unix, unix + 0.5)})[0];
    EXPECT_EQ(item["startAppleDate"].get<double>(), apple) << "unix " << unix;
    EXPECT_EQ(item["endAppleDate"].get<double>(), unix + 0.5 - 978307200.0) << "unix " << unix;
  }
}

TEST(CalendarDumpText, EventsWithoutIdentifierGetFreshUuids) {
  const std::regex uuid("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
  nlohmann::json items = dumpedItems({timedEvent(std::nullopt, 0, 1), timedEvent(std::nullopt, 0, 1), timedEvent("", 0, 1)});
  const std::set<std::string> seen{items[0]["pk"].get<std::string>(), items[1]["pk"].get<std::string>(),
                                   dumpedItems({timedEvent(std::nullopt, 0, 1)})[0]["pk"].get<std::string>()};
  EXPECT_EQ(seen.size(), 3u) << "identifiers repeat within or across runs";
  for (const std::string& pk : seen) EXPECT_TRUE(std::regex_match(pk, uuid)) << pk;
  EXPECT_EQ(items[2]["pk"], "") << "an identifier the store gives is used as it is";
}

TEST(CalendarDumpText, AttendeeAddressesFollowTheMailtoRules) {
  struct Case { const char* name; std::vector<std::string> attendees; std::optional<std::string> organizer; std::vector<std::string> expected; }
  cases[] = {
      {"mailto stripped in any case, alone gives empty; other schemes whole; empty dropped",
       {"mailto:Ann@Example.com", "MailTo:a%20b@x.org", "mailto:", "urn:uuid:1234", "", "mail"}, std::nullopt,
       {"Ann@Example.com", "a%20b@x.org", "", "urn:uuid:1234", "mail"}},
      {"organizer last, duplicates kept", {"mailto:a@x.org"}, "MAILTO:a@x.org", {"a@x.org", "a@x.org"}},
      {"organizer other scheme dropped", {"mailto:a@x.org"}, "urn:uuid:9", {"a@x.org"}},
      {"escaped, invalid UTF-8 replaced", {"mailto:\"x\"\\@y\t\n", "mailto:bad\xC3("}, std::nullopt, {"\"x\"\\@y\t\n", "bad\xEF\xBF\xBD("}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(dumpedItems({timedEvent("x", 0, 1, 0, c.attendees, c.organizer)})[0]["attendees"], nlohmann::json(c.expected))
        << c.name;
}

}  // namespace
