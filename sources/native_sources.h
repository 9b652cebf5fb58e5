// The four dump modes. Each asks for access to its store, reads it, builds one
// result object and ends the process through emit(): one line of JSON on
// standard output and exit status 0, or 2 when the result is a failure.
// All run on the main thread and block it.
#pragma once

#include <string>

namespace NativeSources {

/// Seconds from 1970-01-01 00:00:00 UTC to 2001-01-01 00:00:00 UTC, the
/// reference date of the times written by the calendar dump.
inline constexpr double appleEpochOffset = 978307200.0;

/// --calendar-dump: events overlapping [fromUnix, toUnix) with identifiers,
/// reference-date times and attendee addresses.
[[noreturn]] void dumpCalendar(double fromUnix, double toUnix);

/// --contacts-dump: every contact with a full name and at least one handle.
[[noreturn]] void dumpContacts();

/// --contact-faces-scan: how many contacts there are, and which have a
/// picture and handles, by identifier.
[[noreturn]] void dumpContactFaceScan();

/// --contact-face: writes one contact's picture to `outPath`.
[[noreturn]] void dumpContactFace(const std::string& identifier, const std::string& outPath);

}  // namespace NativeSources
