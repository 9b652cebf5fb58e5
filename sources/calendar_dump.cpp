// --calendar-dump: asks for calendar access, reads a fresh store and ends the
// process with the result line. Runs on the main thread. The one dump case
// that writes to standard error: a calendar reader that cannot be loaded.
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "base/standard_streams.h"
#include "sources/access_requests.h"
#include "sources/calendar_dump_text.h"
#include "sources/native_sources.h"
#include "sources/result_writer.h"

namespace NativeSources {

void dumpCalendar(double fromUnix, double toUnix) {
  // Reading takes a store of its own, apart from the access request's. It is
  // made first: without the calendar reader there is nothing to ask, and the
  // caller must learn that the program is incomplete, not that access was
  // refused. The loader's reason goes to standard error for whoever installs.
  std::string loadError;
  std::unique_ptr<CalendarStore> store = makeCalendarStore(&loadError);
  if (!store) {
    writeMessage(STDERR_FILENO, loadError + "\n");
    emit({{"ok", false}, {"reason", "the calendar reader is not installed"}});
  }
  if (!requestCalendar()) emit({{"ok", false}, {"reason", "calendar access was not granted"}});
  emitText(calendarDumpText(*store, fromUnix, toUnix), true);
}

}  // namespace NativeSources
