// Reads the cards of one vCard file with plain reads into a buffer that holds
// only the cards not yet finished, so a large address book never sits in
// memory whole and no page of it is mapped. Runs on the calling thread.
#pragma once

#include <functional>
#include <string>

#include "sources/vcard/vcard_card.h"

/// Calls `visit` with each complete card of the file at `path`, in file
/// order; the card's inline picture views are valid during the call only.
/// False when the file cannot be opened or read as a regular file.
bool readVCardFile(const std::string& path, const VCardNeeds& needs, const std::function<void(VCardCard&)>& visit);
