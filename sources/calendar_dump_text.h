// The calendar dump's result, built from any calendar store: the events of a
// window as items with an identifier, reference-date times and attendee
// addresses. Runs on the caller's thread.
#pragma once

#include <string>
#include <vector>

#include "sources/store/calendar_store.h"

/// The success object of the dump for the events `store` delivers for
/// [fromUnix, toUnix), as one line of compact JSON. Events without a start
/// or an end and canceled events are left out.
std::string calendarDumpText(CalendarStore& store, double fromUnix, double toUnix);

/// The addresses of one event: each attendee URL (without a leading
/// "mailto:" in any letter case; other non-empty URLs whole), then the
/// organizer's when it is a mailto URL.
std::vector<std::string> attendeeAddresses(const CalendarEvent& event);
