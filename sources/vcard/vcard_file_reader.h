// Reads the cards of one vCard file with plain reads into a buffer that holds
// only the cards not yet finished, so a large address book never sits in
// memory whole and no page of it is mapped. Runs on the calling thread.
#pragma once

#include <functional>
#include <string>

#include "sources/vcard/vcard_card.h"

/// Calls `visit` with each card of the file at `path`, as readVCards hands
/// them out for the whole file's text (a card cut short by the end of the
/// file included); the card's inline picture views are valid during the call
/// only.
/// False when the file cannot be opened or read as a regular file.
bool readVCardFile(const std::string& path, const VCardNeeds& needs, const std::function<void(VCardCard&)>& visit);
