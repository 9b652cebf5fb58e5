// The iCalendar file store; see ical_calendar_store.h.
#include "sources/ical_calendar_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <system_error>

#include "sources/calendar_locations.h"
#include "sources/ical_reader.h"

namespace {

// Closes its descriptor when it goes.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// The whole file, or nothing when it cannot be read.
std::optional<std::string> fileBytes(const std::string& path) {
  FileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) return std::nullopt;
  std::string bytes;
  char buffer[65536];
  ssize_t count;
  while ((count = read(file.get(), buffer, sizeof buffer)) > 0 || (count < 0 && errno == EINTR))
    if (count > 0) bytes.append(buffer, static_cast<size_t>(count));
  if (count < 0) return std::nullopt;
  return bytes;
}

}  // namespace

ICalCalendarStore::ICalCalendarStore(std::vector<std::string> locations)
    : locations_(std::move(locations)) {}

ICalCalendarStore::~ICalCalendarStore() {
  for (std::thread& thread : accessThreads_) thread.join();
}

void ICalCalendarStore::requestAccess(std::function<void(bool granted)> completion) {
  // The thread holds its own copies: the requester may stop waiting, and
  // nothing of the store but its join is needed afterwards.
  auto answer = [locations = locations_, completion] { completion(calendarLocationsReadable(locations)); };
  try {
    accessThreads_.emplace_back(std::move(answer));
  } catch (const std::system_error&) {
    // No thread to be had: answer at once rather than never.
    completion(false);
  }
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
