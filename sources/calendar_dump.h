// --calendar-dump: the events of a window as items with an identifier,
// reference-date times and attendee addresses, built from any calendar store.
// Runs on the caller's thread.
#pragma once

#include <string>
#include <vector>

#include "sources/store/calendar_store.h"

/// Seconds from 1970-01-01 00:00:00 UTC to 2001-01-01 00:00:00 UTC, the
/// reference date of the times written by the calendar dump.
inline constexpr double appleEpochOffset = 978307200.0;

/// The success object of the dump for the events `store` delivers for
/// [fromUnix, toUnix), as one line of compact JSON. Events without a start
/// or an end and canceled events are left out.
std::string calendarDumpText(CalendarStore& store, double fromUnix, double toUnix);

/// The addresses of one event: each attendee URL (without a leading
/// "mailto:" in any letter case; other non-empty URLs whole), then the
/// organizer's when it is a mailto URL.
std::vector<std::string> attendeeAddresses(const CalendarEvent& event);

namespace NativeSources {

/// Asks for calendar access, reads a fresh store of this machine for
/// [fromUnix, toUnix) and ends the process with the result line.
[[noreturn]] void dumpCalendar(double fromUnix, double toUnix);

}  // namespace NativeSources
