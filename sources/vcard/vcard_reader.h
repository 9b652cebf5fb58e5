// Reads the cards of one vCard text in file order. A card is a BEGIN:VCARD …
// END:VCARD block. The card of an AGENT property (a BEGIN:VCARD right after
// it) nests in the card that holds it and is a card of its own, down to a
// small depth (deeper cards and their lines are passed over, so nesting costs
// no memory); any other BEGIN:VCARD starts a new card after the cards left
// open, which keep what they hold, as does a card cut short by the end of the
// text. Lines that are not properties are passed over. Pure; any thread.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include "sources/vcard/vcard_card.h"

/// How deep cards may nest; real files nest one card (an AGENT) in another.
inline constexpr size_t kMaxVCardDepth = 8;

/// Calls `visit` with each card as its END is reached, and with the cards
/// still open, innermost first, at a BEGIN that ends them and at the end of
/// the text; the card's inline picture views point into `text`. Cards are
/// numbered from `firstPosition` in the order of their BEGIN. `onProgress`,
/// when given, is told after each outermost card, and before a BEGIN that
/// ends the cards left open, how many leading bytes of `text` are done with
/// and how many cards they held. With `endsText` false the text is a piece
/// that goes on later, and cards still open at its end are not handed out.
void readVCards(std::string_view text, const VCardNeeds& needs, const std::function<void(VCardCard&)>& visit,
                const std::function<void(size_t offset, size_t cards)>& onProgress = {}, size_t firstPosition = 0,
                bool endsText = true);
