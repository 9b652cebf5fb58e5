// The choice of store, made afresh by every run: the files named by the
// store's variable when it is set and not empty; else the desktop's own store
// (Evolution Data Server) when the session bus offers it; else the file
// store's default folders. The contacts file store is part of the program;
// the iCalendar store (libical) and the desktop store (libecal, libebook,
// GIO) live in modules, the desktop one loaded only when a session bus is
// there to ask. Its module answers whether the bus has the store, so that the
// program itself never loads GIO.
#include "sources/machine_stores.h"

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "sources/store/store_module.h"
#include "sources/vcard/contacts_locations.h"
#include "sources/vcard/vcard_contacts_store.h"

namespace {

constexpr const char* kDesktopModule = "tovana-mervo-eds.so";

/// Whether the files named by `filesVariable` are to be read.
bool filesChosenBy(const char* filesVariable) {
  const char* value = std::getenv(filesVariable);
  return value && *value;
}

/// Whether a session bus is there to ask: DBUS_SESSION_BUS_ADDRESS is set
/// and not empty, or $XDG_RUNTIME_DIR/bus is a socket. Loads nothing.
bool sessionBusPresent() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address && *address) return true;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (!runtime || !*runtime) return false;
  struct stat status {};
  return stat((std::string(runtime) + "/bus").c_str(), &status) == 0 && S_ISSOCK(status.st_mode);
}

/// The desktop module's answer to "does this session offer the store?". A
/// bus that cannot be reached or has no such store is no refusal: the
/// caller reads the files.
bool desktopStoreOffered() {
  if (!sessionBusPresent()) return false;
  using Offered = int (*)();
  auto offered = reinterpret_cast<Offered>(loadModuleSymbol(kDesktopModule, "tovanaMervoEdsOffered"));
  return offered && offered() != 0;
}

}  // namespace

std::unique_ptr<ContactsStore> makeContactsStore() {
  if (!filesChosenBy("TOVANA_MERVO_CONTACTS") && desktopStoreOffered())
    if (auto desktop = newStoreFromModule<ContactsStore>(kDesktopModule, "tovanaMervoNewEdsContactsStore"))
      return desktop;
  return std::make_unique<VCardContactsStore>(contactsLocations());
}

std::unique_ptr<CalendarStore> makeCalendarStore(std::string* error) {
  if (!filesChosenBy("TOVANA_MERVO_CALENDARS") && desktopStoreOffered())
    if (auto desktop = newStoreFromModule<CalendarStore>(kDesktopModule, "tovanaMervoNewEdsCalendarStore"))
      return desktop;
  return newStoreFromModule<CalendarStore>("tovana-mervo-calendar.so", "tovanaMervoNewCalendarStore", error);
}
