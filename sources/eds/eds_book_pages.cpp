// Pages of a book's cards; see eds_book_pages.h.
//
// The book is asked for its contacts' UIDs first (a few bytes each), then
// for one page of contacts at a time by UID, in byte order of the UIDs: the
// book lists UIDs in no order of its own, and a UID is the one thing every
// contact of a book has and no two share, so the order is the same on every
// run and no page repeats or skips a contact. A cursor would page in such an
// order too, but each of its steps rereads the book (about a minute for
// 10,000 cards with pictures).
#include "sources/eds/eds_book_pages.h"

#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "sources/eds/eds_glib.h"
#include "sources/vcard/vcard_reader.h"

namespace {

using CardVisit = std::function<void(std::string_view text)>;

/// A card's text as the book holds it; freed on destruction.
class CardText {
 public:
  explicit CardText(EContact* contact)
      // A contact not yet taken apart gives back the text it was received as.
      : text_(e_vcard_to_string(E_VCARD(contact), EVC_FORMAT_VCARD_30)) {}
  ~CardText() { g_free(text_); }
  CardText(CardText&& other) noexcept : text_(other.text_) { other.text_ = nullptr; }
  CardText(const CardText&) = delete;
  CardText& operator=(const CardText&) = delete;
  CardText& operator=(CardText&&) = delete;

  std::string_view view() const { return text_ ? std::string_view(text_) : std::string_view(); }

 private:
  gchar* text_;
};

/// The UID of the outermost card of `text` (handed out last), read under
/// the vCard store's rules; empty when it has none.
std::string uidOf(std::string_view text) {
  std::string uid;
  readVCards(text, {}, [&](VCardCard& card) { uid = std::move(card.uid); });
  return uid;
}

/// The text of `query`, which it takes.
std::string textOf(EBookQuery* query) {
  gchar* text = e_book_query_to_string(query);
  e_book_query_unref(query);
  std::string result = text ? text : "";
  g_free(text);
  return result;
}

/// The book's query for every contact.
std::string everyoneQuery() { return textOf(e_book_query_any_field_contains("")); }

/// The book's query for the contacts whose UIDs are `uids`.
std::string queryFor(const std::vector<const char*>& uids) {
  std::vector<EBookQuery*> tests;
  tests.reserve(uids.size());
  for (const char* uid : uids) tests.push_back(e_book_query_field_test(E_CONTACT_UID, E_BOOK_QUERY_IS, uid));
  return textOf(e_book_query_or(static_cast<gint>(tests.size()), tests.data(), TRUE));
}

/// Reads the contacts named by `uids` one call each, slowly, for a page the
/// book would not answer as a whole; false when it answers none of them.
bool readOneByOne(EBookClient* client, const std::vector<const char*>& uids, const CardVisit& visit) {
  bool answered = false;
  for (const char* uid : uids) {
    EContact* raw = nullptr;
    GErrorOwner error;
    if (!e_book_client_get_contact_sync(client, uid, &raw, nullptr, error.out())) continue;
    GObjectPtr<EContact> contact(raw);
    visit(CardText(contact.get()).view());
    answered = true;
  }
  return answered;
}

/// Reads the contacts named by `uids` and visits them in that order; one
/// the book gives back under another UID comes after them, one it no longer
/// holds is passed over.
bool readPage(EBookClient* client, const std::vector<const char*>& uids, const CardVisit& visit) {
  GObjectList contacts;
  GErrorOwner error;
  // A query may be refused for its size (the local books allow 1,000 terms).
  if (!e_book_client_get_contacts_sync(client, queryFor(uids).c_str(), contacts.out(), nullptr, error.out()))
    return readOneByOne(client, uids, visit);
  std::unordered_map<std::string_view, size_t> slotOf;
  for (size_t slot = 0; slot < uids.size(); ++slot) slotOf.emplace(uids[slot], slot);
  std::vector<std::vector<CardText>> slots(uids.size() + 1);
  for (GSList* item = contacts.get(); item; item = item->next) {
    CardText text(E_CONTACT(item->data));
    const auto found = slotOf.find(uidOf(text.view()));
    slots[found == slotOf.end() ? uids.size() : found->second].push_back(std::move(text));
  }
  for (const auto& slot : slots)
    for (const CardText& text : slot) visit(text.view());
  return true;
}

/// Every UID of the book, in byte order; false when it cannot list them.
bool listUids(EBookClient* client, GSList** uids) {
  GErrorOwner error;
  if (!e_book_client_get_contacts_uids_sync(client, everyoneQuery().c_str(), uids, nullptr, error.out()))
    return false;
  *uids = g_slist_sort(*uids, [](gconstpointer a, gconstpointer b) {
    return std::strcmp(static_cast<const char*>(a), static_cast<const char*>(b));
  });
  return true;
}

/// The whole book in one call.
bool readAtOnce(EBookClient* client, const CardVisit& visit) {
  GObjectList contacts;
  GErrorOwner error;
  if (!e_book_client_get_contacts_sync(client, everyoneQuery().c_str(), contacts.out(), nullptr, error.out()))
    return false;
  for (GSList* item = contacts.get(); item; item = item->next) visit(CardText(E_CONTACT(item->data)).view());
  return true;
}

}  // namespace

bool forEachBookCard(EBookClient* client, const CardVisit& visit) {
  GSList* listed = nullptr;
  if (!listUids(client, &listed)) return readAtOnce(client, visit);
  bool read = true;
  std::vector<const char*> page;
  for (GSList* item = listed; item && read; item = item->next) {
    page.push_back(static_cast<const char*>(item->data));
    if (page.size() >= kBookPageContacts || !item->next) {
      read = readPage(client, page, visit);
      page.clear();
    }
  }
  g_slist_free_full(listed, g_free);
  return read;
}
