// The contacts store reads vCard files and is part of the program; the
// calendar store reads iCalendar files with libical, which is heavy to load,
// so it lives in a module that only calendar work loads.
#include "sources/machine_stores.h"

#include "sources/store/store_module.h"
#include "sources/vcard/contacts_locations.h"
#include "sources/vcard/vcard_contacts_store.h"

std::unique_ptr<ContactsStore> makeContactsStore() {
  return std::make_unique<VCardContactsStore>(contactsLocations());
}

std::unique_ptr<CalendarStore> makeCalendarStore(std::string* error) {
  return newStoreFromModule<CalendarStore>("tovana-mervo-calendar.so", "tovanaMervoNewCalendarStore", error);
}
