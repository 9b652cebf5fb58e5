// The calendar dump's result text; see calendar_dump_text.h.
#include "sources/calendar_dump_text.h"

#include <string_view>

#include "sources/json_text.h"
#include "sources/native_sources.h"
#include "sources/random_uuid.h"

namespace {

constexpr std::string_view kMailtoScheme = "mailto:";

bool hasMailtoScheme(std::string_view url) {
  if (url.size() < kMailtoScheme.size()) return false;
  for (size_t i = 0; i < kMailtoScheme.size(); ++i) {
    char c = url[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    if (c != kMailtoScheme[i]) return false;
  }
  return true;
}

void writeItem(JsonText& json, const CalendarEvent& event) {
  json.beginObject();
  json.key("pk");
  json.value(event.identifier ? *event.identifier : newRandomUuid());
  json.key("startAppleDate");
  json.value(*event.startUnix + -NativeSources::appleEpochOffset);
  json.key("endAppleDate");
  json.value(*event.endUnix + -NativeSources::appleEpochOffset);
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
