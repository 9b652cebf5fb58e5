// The calendar dump; see calendar_dump.h.
#include "sources/calendar_dump.h"

#include <string_view>

#include "base/ascii_case.h"
#include "sources/access_requests.h"
#include "sources/json_text.h"
#include "sources/machine_stores.h"
#include "sources/random_uuid.h"
#include "sources/result_writer.h"

namespace {

constexpr std::string_view kMailtoScheme = "mailto:";

bool hasMailtoScheme(std::string_view url) { return startsWithIgnoringAsciiCase(url, kMailtoScheme); }

void writeItem(JsonText& json, const CalendarEvent& event) {
  json.beginObject();
  json.key("pk");
  json.value(event.identifier ? *event.identifier : newRandomUuid());
  json.key("startAppleDate");
  json.value(*event.startUnix + -appleEpochOffset);
  json.key("endAppleDate");
  json.value(*event.endUnix + -appleEpochOffset);
  json.key("attendees");
  json.beginArray();
  for (const std::string& address : attendeeAddresses(event)) json.value(address);
  json.endArray();
  json.endObject();
}

}  // namespace

std::vector<std::string> attendeeAddresses(const CalendarEvent& event) {
  std::vector<std::string> addresses;
  addresses.reserve(event.attendeeURLs.size() + 1);
  for (const std::string& url : event.attendeeURLs) {
    if (hasMailtoScheme(url))
      addresses.push_back(url.substr(kMailtoScheme.size()));
    else if (!url.empty())
      addresses.push_back(url);
  }
  // Unlike an attendee, an organizer is listed only with a mailto address.
  if (event.organizerURL && hasMailtoScheme(*event.organizerURL))
    addresses.push_back(event.organizerURL->substr(kMailtoScheme.size()));
  return addresses;
}

std::string calendarDumpText(CalendarStore& store, double fromUnix, double toUnix) {
  JsonText json;
  json.beginObject();
  json.key("ok");
  json.value(true);
  json.key("items");
  json.beginArray();
  store.enumerateEvents(fromUnix, toUnix, [&json](const CalendarEvent& event) {
    if (!event.startUnix || !event.endUnix) return;
    if (event.status == CalendarEvent::kStatusCanceled) return;
    writeItem(json, event);
  });
  json.endArray();
  json.endObject();
  return json.take();
}

namespace NativeSources {

void dumpCalendar(double fromUnix, double toUnix) {
  emit([&] {
    if (!requestCalendar()) return failureResult(kCalendarAccessRefused);
    // The store of the access request is gone; reading takes a store of its own.
    std::unique_ptr<CalendarStore> store = makeCalendarStore();
    if (!store) return failureResult(kCalendarAccessRefused);
    return ResultText{calendarDumpText(*store, fromUnix, toUnix), true};
  });
}

}  // namespace NativeSources
