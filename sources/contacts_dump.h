// --contacts-dump: every contact with a full name and at least one handle, in
// the store's order. Runs on the main thread.
#pragma once

#include "sources/contacts_modes.h"
#include "sources/result_writer.h"

/// The result: `people` with `name` and `handles`.
ResultText contactsDumpResult(const ContactsModeSources& sources);

namespace NativeSources {

/// Writes the result for this machine's contacts and ends the process.
[[noreturn]] void dumpContacts();

}  // namespace NativeSources
