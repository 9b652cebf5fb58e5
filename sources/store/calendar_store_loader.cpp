// The calendar store on this machine reads iCalendar files with libical, which
// is heavy to load; it lives in a module that only calendar work loads.
#include <memory>

#include "base/program_modules.h"
#include "sources/store/calendar_store.h"

std::unique_ptr<CalendarStore> makeCalendarStore(std::string* error) {
  using NewStore = CalendarStore* (*)();
  auto create = reinterpret_cast<NewStore>(
      loadModuleSymbol("tovana-mervo-calendar.so", "tovanaMervoNewCalendarStore", error));
  if (!create) return nullptr;
  std::unique_ptr<CalendarStore> store(create());
  if (!store && error) *error = "the calendar module made no store";
  return store;
}
