// The calendar store of this machine: iCalendar files in the calendar
// locations, read with libical. Access is answered on a thread of the
// store's own, which the store joins when it is destroyed. Reading runs on
// the caller's thread.
#pragma once

#include <string>
#include <thread>
#include <vector>

#include "sources/store/calendar_store.h"

class ICalCalendarStore final : public CalendarStore {
 public:
  /// A store over `locations` (see calendar_locations.h).
  explicit ICalCalendarStore(std::vector<std::string> locations);
  ~ICalCalendarStore() override;
  ICalCalendarStore(const ICalCalendarStore&) = delete;
  ICalCalendarStore& operator=(const ICalCalendarStore&) = delete;

  /// Answers whether every existing location may be read.
  void requestAccess(std::function<void(bool granted)> completion) override;

  /// Reads the locations in order, their files in byte order of path.
  /// Files that cannot be read or parsed are passed over.
  void enumerateEvents(double fromUnix, double toUnix,
                       const std::function<void(const CalendarEvent&)>& visit) override;

 private:
  std::vector<std::string> locations_;
  std::vector<std::thread> accessThreads_;
};
