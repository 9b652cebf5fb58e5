// --contact-faces-scan: how many contacts there are, and which have a picture
// and handles, by identifier. Inline pictures are never decoded, and a linked
// picture file is opened but never read. Runs on the main thread.
#pragma once

#include "sources/contacts_modes.h"
#include "sources/result_writer.h"

/// The result: `contacts`, `faces` with `handles` and `id`, `ok` and
/// `withFace`, keys in that order.
ResultText contactFacesScanResult(const ContactsModeSources& sources);

namespace NativeSources {

/// Writes the result for this machine's contacts and ends the process.
[[noreturn]] void dumpContactFaceScan();

}  // namespace NativeSources
