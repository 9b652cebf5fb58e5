// --contact-face: writes one contact's picture to a file. The failures are
// tested in a fixed order, each with its own reason. Runs on the main thread.
#pragma once

#include <string>

#include "sources/contacts_modes.h"
#include "sources/result_writer.h"

/// Writes the picture of `identifier` to `outPath`; the result: `bytes`,
/// `kind` ("full" or "thumbnail") and `ok`, keys in that order.
ResultText contactFaceResult(const ContactsModeSources& sources, const std::string& identifier,
                             const std::string& outPath);

namespace NativeSources {

/// Writes the result for this machine's contacts and ends the process.
[[noreturn]] void dumpContactFace(const std::string& identifier, const std::string& outPath);

}  // namespace NativeSources
