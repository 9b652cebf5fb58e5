// The choice between the file stores and the desktop store; see
// store_choice.h. The two make functions of the store interfaces live here so
// that the choice is made in one place.
#include "sources/store_choice.h"

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "base/program_modules.h"
#include "sources/vcard/contacts_locations.h"
#include "sources/vcard/vcard_contacts_store.h"

namespace {

constexpr const char* kDesktopModule = "tovana-mervo-eds.so";

/// The module's answer to "does this session offer the desktop store?".
bool desktopStoreOffered() {
  using Offered = int (*)();
  auto offered = reinterpret_cast<Offered>(loadModuleSymbol(kDesktopModule, "tovanaMervoEdsOffered"));
  return offered && offered() != 0;
}

template <typename Store>
std::unique_ptr<Store> desktopStore(const char* symbol) {
  if (!sessionBusPresent() || !desktopStoreOffered()) return nullptr;
  using NewStore = Store* (*)();
  auto create = reinterpret_cast<NewStore>(loadModuleSymbol(kDesktopModule, symbol));
  if (!create) return nullptr;
  return std::unique_ptr<Store>(create());
}

std::unique_ptr<CalendarStore> fileCalendarStore() {
  // libical is heavy to load; the iCalendar store lives in a module that only
  // calendar work loads.
  using NewStore = CalendarStore* (*)();
  auto create = reinterpret_cast<NewStore>(
      loadModuleSymbol("tovana-mervo-calendar.so", "tovanaMervoNewCalendarStore"));
  if (!create) return nullptr;
  return std::unique_ptr<CalendarStore>(create());
}

}  // namespace

bool sessionBusPresent() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address && *address) return true;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (!runtime || !*runtime) return false;
  struct stat status {};
  return stat((std::string(runtime) + "/bus").c_str(), &status) == 0 && S_ISSOCK(status.st_mode);
}

bool filesChosenBy(const char* filesVariable) {
  const char* value = std::getenv(filesVariable);
  return value && *value;
}

std::unique_ptr<CalendarStore> desktopCalendarStore() {
  return desktopStore<CalendarStore>("tovanaMervoNewEdsCalendarStore");
}

std::unique_ptr<ContactsStore> desktopContactsStore() {
  return desktopStore<ContactsStore>("tovanaMervoNewEdsContactsStore");
}

std::unique_ptr<CalendarStore> makeCalendarStore() {
  if (!filesChosenBy("TOVANA_MERVO_CALENDARS"))
    if (std::unique_ptr<CalendarStore> desktop = desktopCalendarStore()) return desktop;
  return fileCalendarStore();
}

std::unique_ptr<ContactsStore> makeContactsStore() {
  if (!filesChosenBy("TOVANA_MERVO_CONTACTS"))
    if (std::unique_ptr<ContactsStore> desktop = desktopContactsStore()) return desktop;
  return std::make_unique<VCardContactsStore>(contactsLocations());
}
