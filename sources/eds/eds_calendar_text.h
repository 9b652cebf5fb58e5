// One calendar source's events of a window as iCalendar text: the objects
// the server finds in the window (whole series for recurring ones, with all
// their overrides) and the time zones they name, so that the iCalendar
// reader expands them exactly as it does a file. (Kept apart from the
// reader's headers: libecal's and the reader's names for a time clash.)
// Blocks the calling thread; any thread.
#pragma once

#include <libedataserver/libedataserver.h>

#include <optional>
#include <string>

#include "sources/store/event_window.h"

/// The server query for the objects that occur in `window`, widened by a day
/// on each side: the server reads floating and all-day times in its own zone,
/// the reader in ours. Nothing for a window that matches nothing.
std::optional<std::string> windowQuery(const EventWindow& window);

/// The VCALENDAR text of the events of calendar `source` for `query`;
/// nothing when the source cannot be opened or read. Does not wait for the
/// source's backend to report itself online.
std::optional<std::string> calendarTextOf(ESource* source, const std::string& query);
