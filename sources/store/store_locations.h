// Where a file store looks for its files and whether it may read them: the
// `:`-separated list in an environment variable (or the store's own folders
// without it), the files of one location by name ending, and the access
// check. Reads the environment and the file system on every call; stateless,
// safe from any thread.
#pragma once

#include <limits>
#include <string>
#include <string_view>
#include <vector>

/// The non-empty entries of the `:`-separated list in environment variable
/// `variable`, in order; `defaults` when it is unset or names nothing.
std::vector<std::string> locationsFromEnvironment(const char* variable, std::vector<std::string> defaults);

/// The folder below which desktop programs keep their data: XDG_DATA_HOME, or
/// ~/.local/share when it is unset or empty.
std::string dataHomeDirectory();

/// Which files of a folder belong to a store: those whose names end in one of
/// `extensions` (written with their dot, compared in any letter case); with
/// `bareExtensionCounts` a name that is only the extension (".ics") counts
/// too. Folders nested deeper than `deepestFolder` below the location are not
/// walked.
struct StoreFileSearch {
  std::vector<std::string_view> extensions;
  bool bareExtensionCounts = false;
  int deepestFolder = std::numeric_limits<int>::max();
};

/// The files of one location: the location itself when it is a file
/// (whatever its name); else every regular file (or link to one) under it
/// that `search` accepts, as the location joined with "/" (none after a
/// trailing one) and the names below it, in byte order of path; nothing when
/// it is missing. Links to folders are not followed and folders that refuse
/// reading are passed over; `complete` is cleared when a folder could not be
/// read for another reason or lies too deep to be walked.
std::vector<std::string> filesUnder(const std::string& location, const StoreFileSearch& search, bool& complete);

/// False when one of `locations` exists but opening it for reading is
/// refused (EACCES or EPERM); true otherwise, also when none exists.
bool locationsReadable(const std::vector<std::string>& locations);
