// Reads the cards of one vCard text in file order. A card is a BEGIN:VCARD …
// END:VCARD block; a card nested in another is a card of its own; a card
// without its END is left out; lines that are not properties are passed over.
// Pure; any thread.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include "sources/vcard/vcard_card.h"

/// Calls `visit` with each complete card, as its END is reached; the card's
/// inline picture views point into `text`. Cards are numbered from
/// `firstPosition` in the order of their BEGIN. `onProgress`, when given, is
/// told after each outermost card how many leading bytes of `text` are done
/// with and how many cards they held.
void readVCards(std::string_view text, const VCardNeeds& needs, const std::function<void(VCardCard&)>& visit,
                const std::function<void(size_t offset, size_t cards)>& onProgress = {}, size_t firstPosition = 0);
