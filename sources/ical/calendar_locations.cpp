// Calendar locations and their files; see calendar_locations.h.
#include "sources/ical/calendar_locations.h"

#include "base/home_directory.h"
#include "sources/store/store_locations.h"

std::vector<std::string> calendarLocations() {
  return locationsFromEnvironment("TOVANA_MERVO_CALENDARS",
                                  {dataHomeDirectory() + "/evolution/calendar", homeDirectory() + "/.calendars"});
}

std::vector<std::string> calendarFilesIn(const std::string& location) {
  // A folder read only in part still yields the events it could read.
  bool complete = true;
  // Deeper folders are not walked, against pathological trees.
  const StoreFileSearch search{.extensions = {".ics"}, .bareExtensionCounts = true, .deepestFolder = 64};
  return filesUnder(location, search, complete);
}
