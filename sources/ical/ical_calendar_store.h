// The calendar store of this machine: iCalendar files in the calendar
// locations, read with libical. Access is answered on a thread that owns
// all it touches and may outlive the store (see store_access.h). Reading runs
// on the caller's thread.
#pragma once

#include <string>
#include <vector>

#include "sources/store/calendar_store.h"
#include "sources/store/store_access.h"
#include "sources/store/store_locations.h"

class ICalCalendarStore final : public CalendarStore {
 public:
  /// A store over `locations` (see calendar_locations.h).
  explicit ICalCalendarStore(std::vector<std::string> locations);

  /// Answers whether every existing location may be read.
  void requestAccess(std::function<void(bool granted)> completion) override;

  /// Reads the locations in order, their files in byte order of path.
  /// Files that cannot be read or parsed are passed over.
  void enumerateEvents(double fromUnix, double toUnix,
                       const std::function<void(const CalendarEvent&)>& visit) override;

 private:
  std::vector<std::string> locations_;
};
