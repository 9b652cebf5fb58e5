// --calendar-dump: asks for calendar access, reads a fresh store and ends the
// process with the result line. Runs on the main thread.
#include <nlohmann/json.hpp>

#include "sources/access_requests.h"
#include "sources/calendar_dump_text.h"
#include "sources/native_sources.h"
#include "sources/result_writer.h"

namespace NativeSources {

void dumpCalendar(double fromUnix, double toUnix) {
  const nlohmann::json refused = {{"ok", false}, {"reason", "calendar access was not granted"}};
  if (!requestCalendar()) emit(refused);
  // The store of the access request is gone; reading takes a store of its own.
  std::unique_ptr<CalendarStore> store = makeCalendarStore();
  if (!store) emit(refused);
  emitText(calendarDumpText(*store, fromUnix, toUnix), true);
}

}  // namespace NativeSources
