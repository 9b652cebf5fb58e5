// The iCalendar file store; see ical_calendar_store.h.
#include "sources/ical/ical_calendar_store.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <optional>

#include "base/unique_fd.h"
#include "sources/ical/calendar_locations.h"
#include "sources/store/files_read.h"
#include "sources/ical/ical_reader.h"

namespace {

// A calendar larger than this is passed over: no real calendar comes near
// it, and one file must not take the memory the others need.
constexpr off_t kLargestFile = off_t{256} << 20;

// The whole file, or nothing when it cannot be read, is too large, or is one
// already read (a file reached through a link, or listed twice, counts
// once). Only regular files are read: a FIFO or a device listed as a
// calendar must not hang the dump, so the open never blocks and anything
// else is passed over.
std::optional<std::string> fileBytes(const std::string& path, FilesRead& filesRead) {
  const UniqueFd file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  struct stat info {};
  if (!file.isOpen() || fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kLargestFile ||
      !filesRead.isFirstVisit(info))
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
  ICalReadState read;
  FilesRead filesRead;
  for (const std::string& location : locations_) {
    for (const std::string& path : calendarFilesIn(location)) {
      std::optional<std::string> bytes = fileBytes(path, filesRead);
      if (bytes) readICalendarEvents(*bytes, window, read, visit);
    }
  }
}
