// The calendar store as the calendar dump sees it: ask for access, then
// deliver the events of a window. A store object lives for one request or one
// dump. Two stores stand behind it: the iCalendar files, and the desktop's
// own calendars (Evolution Data Server); machine_stores.h chooses.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

/// One event, or one occurrence of a recurring event, as the store delivers it.
struct CalendarEvent {
  /// The canceled status; every other value is listed.
  static constexpr int kStatusCanceled = 3;

  std::optional<double> startUnix;   ///< seconds since 1970-01-01 UTC
  std::optional<double> endUnix;
  int status = 0;
  std::optional<std::string> identifier;
  std::vector<std::string> attendeeURLs;   ///< URL texts, in stored order
  std::optional<std::string> organizerURL;
};

class CalendarStore {
 public:
  virtual ~CalendarStore() = default;

  /// Starts an access request; `completion` runs once, on another thread.
  virtual void requestAccess(std::function<void(bool granted)> completion) = 0;

  /// Calls `visit` once per event that overlaps [fromUnix, toUnix), in the
  /// store's order, and returns when every call has finished. The event passed
  /// to `visit` is valid only during that call.
  virtual void enumerateEvents(double fromUnix, double toUnix,
                               const std::function<void(const CalendarEvent&)>& visit) = 0;
};
