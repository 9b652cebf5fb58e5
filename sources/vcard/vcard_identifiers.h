// The identifiers of the cards of one walk over the vCard files. A card's
// identifier is its UID, or, without one, an identifier derived from its
// file's path and its place in the file. A UID already given out earlier in
// the walk (the same person in two books) is qualified with that derived
// identifier, so every identifier of a walk is distinct and the walk that
// looks a contact up reaches the same card as the walk that listed it.
// An object belongs to one walk on one thread.
#pragma once

#include <string>
#include <unordered_set>

#include "sources/vcard/vcard_card.h"

class VCardIdentifiers {
 public:
  /// The identifier of `card`, read from the file at `path`, given the cards
  /// that came before it in this walk: its UID when no earlier card has
  /// that identifier, else `UID@vcard-…`; without a UID `vcard-…`.
  std::string identify(const VCardCard& card, const std::string& path);

 private:
  std::unordered_set<std::string> given_;
};

/// `vcard-` and 16 hexadecimal digits of a digest of `path`, `-` and the
/// card's 0-based place in its file: stable while the file is unchanged.
std::string derivedIdentifier(const std::string& path, size_t position);
