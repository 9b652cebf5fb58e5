// Where the iCalendar store looks for calendars. TOVANA_MERVO_CALENDARS lists
// files and folders separated by ":"; unset or empty, Evolution's calendar
// folder and ~/.calendars are read. Stateless; safe from any thread.
#pragma once

#include <string>
#include <vector>

/// The calendar locations, in the order their events are delivered.
std::vector<std::string> calendarLocations();

/// The calendar files of one location: the location itself when it is a
/// file (whatever its name), else every file under it, at any depth, whose
/// name ends in ".ics" in any letter case, in byte order of path. Folders
/// that cannot be read are passed over.
std::vector<std::string> calendarFilesIn(const std::string& location);
