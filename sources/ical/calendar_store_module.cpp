// The entry of the calendar store module (tovana-mervo-calendar.so), the one
// symbol it exports. Called on the main thread.
#include <libical/ical.h>

#include "sources/ical/calendar_locations.h"
#include "sources/ical/ical_calendar_store.h"

/// A new iCalendar store over the calendar locations of this run; the
/// caller owns it.
extern "C" __attribute__((visibility("default"))) CalendarStore* tovanaMervoNewCalendarStore() {
  // A malformed file must never abort the program from inside libical.
  icalerror_set_errors_are_fatal(0);
  return new ICalCalendarStore(calendarLocations());
}
