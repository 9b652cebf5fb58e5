// Where the address book lives: the locations named by TOVANA_MERVO_CONTACTS
// (a `:`-separated list of vCard files and folders) or, without it, the
// folders that Linux address books and vdir sync tools use; and the vCard
// files of a location in their reading order. Reads the environment and the
// file system on every call; safe from any thread.
#pragma once

#include <string>
#include <vector>

// The access check on these locations, locationsReadable, is the stores' shared one.
#include "sources/store/store_locations.h"

/// The locations to read, in order.
std::vector<std::string> contactsLocations();

/// The vCard files of `location`: the location itself when it is a file (any
/// name), every file under it ending in .vcf or .vcard (any letter case) by
/// byte order of their paths when it is a folder, nothing when it is missing.
/// `complete` is cleared when part of a folder could not be read.
std::vector<std::string> vCardFilesOf(const std::string& location, bool& complete);
