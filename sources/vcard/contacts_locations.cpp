// Locations of the address book; see contacts_locations.h.
#include "sources/vcard/contacts_locations.h"

#include "base/home_directory.h"

std::vector<std::string> contactsLocations() {
  return locationsFromEnvironment("TOVANA_MERVO_CONTACTS",
                                  {dataHomeDirectory() + "/contacts", homeDirectory() + "/.contacts"});
}

std::vector<std::string> vCardFilesOf(const std::string& location, bool& complete) {
  return filesUnder(location, {.extensions = {".vcf", ".vcard"}}, complete);
}
