// The entries of the desktop store module (tovana-mervo-eds.so), the only
// symbols it exports. Called on the main thread.
#include <libical/ical.h>

#include "sources/eds/eds_calendar_store.h"
#include "sources/eds/eds_contacts_store.h"
#include "sources/eds/eds_session.h"

/// 1 when the session bus has the desktop store's registry or can start it,
/// else 0: the caller then reads the file stores.
extern "C" __attribute__((visibility("default"))) int tovanaMervoEdsOffered() {
  return edsOfferedOnSessionBus() ? 1 : 0;
}

/// A new desktop calendar store; the caller owns it.
extern "C" __attribute__((visibility("default"))) CalendarStore* tovanaMervoNewEdsCalendarStore() {
  // A malformed event must never abort the program from inside libical.
  icalerror_set_errors_are_fatal(0);
  return new EdsCalendarStore();
}

/// A new desktop contacts store; the caller owns it.
extern "C" __attribute__((visibility("default"))) ContactsStore* tovanaMervoNewEdsContactsStore() {
  return new EdsContactsStore();
}
