// libFuzzer target for the iCalendar reading path: file bytes in, events of a
// one-year window out. Every delivered event must have sane times and valid
// UTF-8 texts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include <libical/ical.h>

#include "sources/ical/ical_reader.h"
#include "base/utf8_text.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  icalerror_set_errors_are_fatal(0);
  // 2020-01-01 to 2021-01-01 UTC.
  const EventWindow window{1577836800.0, 1609459200.0};
  readICalendarEvents(std::string_view(reinterpret_cast<const char*>(data), size), window,
                      [&](const CalendarEvent& event) {
                        check(event.startUnix && event.endUnix && *event.endUnix >= *event.startUnix);
                        check(window.matches(*event.startUnix, *event.endUnix));
                        if (event.identifier) check(isValidUtf8(*event.identifier));
                        for (const std::string& url : event.attendeeURLs) check(isValidUtf8(url));
                        if (event.organizerURL) check(isValidUtf8(*event.organizerURL));
                      });
  return 0;
}
