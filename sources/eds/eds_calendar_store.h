// The calendar store of the desktop: every enabled calendar of Evolution
// Data Server (events only, with the birthdays calendar), in order of
// display name, then UID. Each source is asked for the objects of the window
// and read with the iCalendar reader of the file store, so the same events
// give the same items. A source that cannot be opened or read is left out.
// Access is answered on a thread of its own; reading runs on the caller's
// thread.
#pragma once

#include "sources/store/calendar_store.h"

class EdsCalendarStore final : public CalendarStore {
 public:
  EdsCalendarStore() = default;
  EdsCalendarStore(const EdsCalendarStore&) = delete;
  EdsCalendarStore& operator=(const EdsCalendarStore&) = delete;

  /// Granted when the source registry answers.
  void requestAccess(std::function<void(bool granted)> completion) override;

  void enumerateEvents(double fromUnix, double toUnix,
                       const std::function<void(const CalendarEvent&)>& visit) override;
};
