// This machine's stores: which contacts store and which calendar store the
// dumps and the access requests read, the files or the desktop's own store.
// The one place that chooses. Safe from any thread; each call makes a new
// store.
#pragma once

#include <memory>
#include <string>

#include "sources/store/calendar_store.h"
#include "sources/store/contacts_store.h"

/// A new contacts store of this machine's kind.
std::unique_ptr<ContactsStore> makeContactsStore();

/// A new calendar store of this machine's kind, or nothing when none can be
/// had (its module is missing); then `error`, when given, holds the loader's
/// one-line reason.
std::unique_ptr<CalendarStore> makeCalendarStore(std::string* error = nullptr);
