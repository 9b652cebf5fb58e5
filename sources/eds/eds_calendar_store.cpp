// The desktop's calendar store; see eds_calendar_store.h.
#include "sources/eds/eds_calendar_store.h"

#include "sources/eds/eds_calendar_text.h"
#include "sources/eds/eds_session.h"
#include "sources/ical/ical_reader.h"
#include "sources/ical/ical_time_zones.h"

void EdsCalendarStore::requestAccess(std::function<void(bool granted)> completion) {
  requestEdsAccess(std::move(completion));
}

void EdsCalendarStore::enumerateEvents(double fromUnix, double toUnix,
                                       const std::function<void(const CalendarEvent&)>& visit) {
  const EventWindow window{fromUnix, toUnix};
  const std::optional<std::string> query = windowQuery(window);
  if (!query) return;
  EdsRegistry registry = openEdsRegistry();
  if (!registry.registry) return;
  ICalReadState readState;
  const gint64 settleDeadline = g_get_monotonic_time() + kCalendarSettleMicroseconds;
  for (const GObjectPtr<ESource>& source : enabledSources(registry.registry.get(), E_SOURCE_EXTENSION_CALENDAR))
    readCalendarTexts(registry.registry.get(), source.get(), *query, settleDeadline,
                      [&](const std::string& text) { readICalendarEvents(text, window, readState, visit); });
}
