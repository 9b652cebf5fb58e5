// Loads vCard files into address books of Evolution Data Server, as a
// desktop program adds contacts. Run it in a session of its own before the
// session under test: the books keep their cards on disk.
//
// usage: dbus-run-session -- eds_book_loader BOOK_UID CARDS.vcf [BOOK_UID CARDS.vcf ...]
#include <libebook/libebook.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <utility>

/// Adds the cards of `path`, each from a BEGIN:VCARD line to the END:VCARD
/// line that closes it, to the book `uid` in one call; false when refused.
static bool load(ESourceRegistry* registry, const char* uid, const char* path) {
  std::ifstream file(path, std::ios::binary);
  GSList* cards = nullptr;
  std::string card, line;
  for (int depth = 0; std::getline(file, line);) {
    depth += line.starts_with("BEGIN:VCARD") ? 1 : 0;
    if (depth > 0) card += line + "\n";
    if (line.starts_with("END:VCARD") && depth > 0 && --depth == 0)
      cards = g_slist_prepend(cards, e_contact_new_from_vcard(std::exchange(card, "").c_str()));
  }
  GObject* source = G_OBJECT(e_source_registry_ref_source(registry, uid));
  GObject* book = source ? G_OBJECT(e_book_client_connect_sync(E_SOURCE(source), -1, nullptr, nullptr)) : nullptr;
  const bool added = book && e_book_client_add_contacts_sync(E_BOOK_CLIENT(book), g_slist_reverse(cards),
                                                             E_BOOK_OPERATION_FLAG_NONE, nullptr, nullptr, nullptr);
  g_slist_free_full(cards, g_object_unref);
  for (GObject* object : {book, source})
    if (object) g_object_unref(object);
  if (!added) std::fprintf(stderr, "eds_book_loader: the book %s refused %s\n", uid, path);
  return added;
}

int main(int argc, char** argv) {
  ESourceRegistry* registry = e_source_registry_new_sync(nullptr, nullptr);
  bool loaded = registry && argc % 2 == 1;
  for (int i = 1; loaded && i + 1 < argc; i += 2) loaded = load(registry, argv[i], argv[i + 1]);
  return loaded ? 0 : 1;
}
