// Which store a run reads, decided afresh by every process: the files named
// by the store's environment variable when it is set and not empty; else the
// desktop's own store (Evolution Data Server) when the session bus offers
// it; else the file store's default folders. The desktop store lives in a
// module that is loaded only when a session bus is there to ask. Stateless;
// safe from any thread.
#pragma once

#include <memory>

#include "sources/store/calendar_store.h"
#include "sources/store/contacts_store.h"

/// Whether a session bus is there to ask: DBUS_SESSION_BUS_ADDRESS is set
/// and not empty, or $XDG_RUNTIME_DIR/bus is a socket. Loads nothing.
bool sessionBusPresent();

/// Whether the files named by `filesVariable` are to be read: it is set and
/// names something.
bool filesChosenBy(const char* filesVariable);

/// The desktop store module's calendar store, or nothing when no session bus
/// is present, the module cannot be loaded, or the bus has no desktop store.
std::unique_ptr<CalendarStore> desktopCalendarStore();

/// The same for contacts.
std::unique_ptr<ContactsStore> desktopContactsStore();
