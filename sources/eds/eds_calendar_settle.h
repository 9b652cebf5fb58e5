// Whether a desktop calendar holds its first contents yet. Most calendars
// hold them once opened; the birthdays calendar is filled in the background
// from the address books after its backend opens, so a read straight after
// the services start would find it empty. Blocks the calling thread, which
// must be the one that connected the calendar's client.
#pragma once

#include <libecal/libecal.h>

/// Waits until `client`, connected to calendar `source`, holds its first
/// contents, or until `deadline` (g_get_monotonic_time); false when it does
/// not by then. The birthdays calendar has settled once it lists every
/// contact with a birthday or an anniversary in the address books on this
/// machine that feed it (those of accounts elsewhere arrive when they do);
/// any other calendar has settled when it opens.
bool calendarSettled(ESourceRegistry* registry, ESource* source, ECalClient* client, gint64 deadline);
