// Identifiers of the cards of one walk; see vcard_identifiers.h.
#include "sources/vcard/vcard_identifiers.h"

#include <cstdint>
#include <cstdio>

namespace {

/// FNV-1a: a short stable digest of a path, so that derived identifiers stay
/// valid text whatever bytes the path holds.
uint64_t digestOf(const std::string& text) {
  uint64_t hash = 14695981039346656037ull;
  for (const unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return hash;
}

}  // namespace

std::string derivedIdentifier(const std::string& path, size_t position) {
  char derived[64];
  std::snprintf(derived, sizeof derived, "vcard-%016llx-%zu", static_cast<unsigned long long>(digestOf(path)),
                position);
  return derived;
}

std::string VCardIdentifiers::identify(const VCardCard& card, const std::string& path) {
  std::string identifier;
  if (!card.uid.empty() && !given_.contains(card.uid)) {
    identifier = card.uid;
  } else {
    const std::string derived = derivedIdentifier(path, card.position);
    identifier = card.uid.empty() ? derived : card.uid + "@" + derived;
    // Only a UID written to look like another card's identifier gets here.
    const std::string stem = identifier;
    for (size_t n = 2; given_.contains(identifier); ++n) identifier = stem + "~" + std::to_string(n);
  }
  given_.insert(identifier);
  return identifier;
}
