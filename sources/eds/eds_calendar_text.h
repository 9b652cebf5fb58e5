// One calendar source's events of a window as iCalendar texts: the objects
// the server finds in the window and every object of every recurring series,
// in texts of a few hundred kilobytes, each series whole within one and each
// text with the time zones its events name, so that the iCalendar reader
// expands them exactly as it does a file. The parsed objects are let go
// before the texts are read. (Kept apart from the reader's headers: libecal's
// and the reader's names for a time clash.)
// Blocks the calling thread; any thread.
#pragma once

#include <libedataserver/libedataserver.h>

#include <functional>
#include <optional>
#include <string>

#include "sources/store/event_window.h"

/// The server query for the objects that occur in `window`, widened by a day
/// on each side (the server reads floating and all-day times in its own zone,
/// the reader in ours), together with every object of every recurring
/// series. Nothing for a window that matches nothing.
std::optional<std::string> windowQuery(const EventWindow& window);

/// How long a dump waits at most for its calendars to settle: as long as it
/// waits for access.
inline constexpr gint64 kCalendarSettleMicroseconds = 120 * G_USEC_PER_SEC;

/// Calls `read` with VCALENDAR texts that together hold the events of
/// calendar `source` of `registry` for `query`, each series whole within one
/// text, once the calendar has settled (see eds_calendar_settle.h); false,
/// without a call, when the source cannot be opened or read or has not
/// settled by `settleDeadline`. Does not wait for the source's backend to
/// report itself online.
bool readCalendarTexts(ESourceRegistry* registry, ESource* source, const std::string& query, gint64 settleDeadline,
                       const std::function<void(const std::string& text)>& read);
