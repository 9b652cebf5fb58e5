// The iCalendar file store; see ical_calendar_store.h.
#include "sources/ical/ical_calendar_store.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <optional>

#include "base/unique_fd.h"
#include "sources/ical/calendar_locations.h"
#include "sources/ical/ical_reader.h"

namespace {

// The whole file, or nothing when it cannot be read.
// Only regular files are read: a FIFO or a device listed as a calendar
// must not hang the dump, so the open never blocks and anything else is
// passed over.
std::optional<std::string> fileBytes(const std::string& path) {
  const UniqueFd file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  struct stat info {};
  if (!file.isOpen() || fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
    return std::nullopt;
  return readToEnd(file);
}

}  // namespace

ICalCalendarStore::ICalCalendarStore(std::vector<std::string> locations) : locations_(std::move(locations)) {}

void ICalCalendarStore::requestAccess(std::function<void(bool granted)> completion) {
  answerAccessOnOwnThread(locations_, locationsReadable, std::move(completion));
}

void ICalCalendarStore::enumerateEvents(double fromUnix, double toUnix,
                                        const std::function<void(const CalendarEvent&)>& visit) {
  const EventWindow window{fromUnix, toUnix};
  if (!window.isOrdered()) return;
  ICalZoneCache zones;
  for (const std::string& location : locations_) {
    for (const std::string& path : calendarFilesIn(location)) {
      std::optional<std::string> bytes = fileBytes(path);
      if (bytes) readICalendarEvents(*bytes, window, zones, visit);
    }
  }
}
