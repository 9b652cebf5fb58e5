// One address book's cards, read a page at a time so that a walk holds no
// more than one page of them however large the book, in byte order of the
// contacts' UIDs. Used on one thread at a time, the caller's.
#pragma once

#include <libebook/libebook.h>

#include <cstddef>
#include <functional>
#include <string_view>

/// The contacts a walk holds at most at once: a page is asked for in one
/// query of one term per UID, and a local book refuses queries of 1,000
/// terms.
inline constexpr size_t kBookPageContacts = 200;

/// Calls `visit` with the vCard text of every contact of `client` once, in
/// byte order of their UIDs; the text lives until `visit` returns. A book
/// that cannot list its contacts' UIDs is read in one piece, in the order it
/// gives them. False when the book cannot be read or stops answering part of
/// the way through (the cards visited by then stay visited).
bool forEachBookCard(EBookClient* client, const std::function<void(std::string_view text)>& visit);
