// Whether a desktop calendar holds its first contents; see
// eds_calendar_settle.h.
#include "sources/eds/eds_calendar_settle.h"

#include <libebook/libebook.h>

#include <set>
#include <string>
#include <string_view>

#include "sources/eds/eds_glib.h"
#include "sources/eds/eds_session.h"

namespace {

/// The backend of the calendar of the address books' birthdays and
/// anniversaries, whose items are named for their contact's UID.
constexpr const char* kBirthdaysBackend = "contacts";
constexpr const char* kItemSuffixes[] = {"-birthday", "-anniversary"};

bool isBirthdaysCalendar(ESource* source) {
  const char* backend = e_source_backend_get_backend_name(
      E_SOURCE_BACKEND(e_source_get_extension(source, E_SOURCE_EXTENSION_CALENDAR)));
  return backend && std::string(backend) == kBirthdaysBackend;
}

bool feedsBirthdays(ESource* book) {
  return edsSourceIsLocal(book, E_SOURCE_EXTENSION_ADDRESS_BOOK) &&
         e_source_has_extension(book, E_SOURCE_EXTENSION_CONTACTS_BACKEND) &&
         e_source_contacts_get_include_me(
             E_SOURCE_CONTACTS(e_source_get_extension(book, E_SOURCE_EXTENSION_CONTACTS_BACKEND)));
}

/// The query the birthdays calendar reads its books with: contacts with a
/// name and a birthday or an anniversary.
std::string datedContactsQuery() {
  EBookQuery* query = e_book_query_andv(
      e_book_query_orv(e_book_query_field_exists(E_CONTACT_FILE_AS), e_book_query_field_exists(E_CONTACT_FULL_NAME),
                       e_book_query_field_exists(E_CONTACT_GIVEN_NAME),
                       e_book_query_field_exists(E_CONTACT_NICKNAME), nullptr),
      e_book_query_orv(e_book_query_field_exists(E_CONTACT_BIRTH_DATE),
                       e_book_query_field_exists(E_CONTACT_ANNIVERSARY), nullptr),
      nullptr);
  gchar* text = e_book_query_to_string(query);
  e_book_query_unref(query);
  std::string result = text ? text : "";
  g_free(text);
  return result;
}

/// The UIDs of the dated contacts of the local books that feed the
/// birthdays calendar.
std::set<std::string> datedContacts(ESourceRegistry* registry) {
  std::set<std::string> uids;
  const std::string query = datedContactsQuery();
  for (const GObjectPtr<ESource>& book : enabledSources(registry, E_SOURCE_EXTENSION_ADDRESS_BOOK)) {
    if (!feedsBirthdays(book.get())) continue;
    GObjectPtr<EClient> client(
        e_book_client_connect_direct_sync(registry, book.get(), kConnectWithoutWaiting, nullptr, nullptr));
    GSList* listed = nullptr;
    if (!client || !e_book_client_get_contacts_uids_sync(E_BOOK_CLIENT(client.get()), query.c_str(), &listed,
                                                         nullptr, nullptr))
      continue;
    for (GSList* item = listed; item; item = item->next) uids.insert(static_cast<const char*>(item->data));
    g_slist_free_full(listed, g_free);
  }
  return uids;
}

/// Crosses off the contacts of the items a view shows.
void crossOff(ECalClientView*, GSList* items, gpointer awaited) {
  for (GSList* item = items; item; item = item->next) {
    const char* uid = i_cal_component_get_uid(static_cast<ICalComponent*>(item->data));
    std::string contact = uid ? uid : "";
    for (std::string_view suffix : kItemSuffixes)
      if (contact.ends_with(suffix)) contact.resize(contact.size() - suffix.size());
    static_cast<std::set<std::string>*>(awaited)->erase(contact);
  }
}

/// Watches the calendar's items, those it holds and those it gains, until
/// every contact of `awaited` has shown or `deadline` passes.
bool showsAll(ECalClient* client, std::set<std::string>& awaited, gint64 deadline) {
  ECalClientView* opened = nullptr;
  if (!e_cal_client_get_view_sync(client, "#t", &opened, nullptr, nullptr)) return false;
  GObjectPtr<ECalClientView> view(opened);
  g_signal_connect(view.get(), "objects-added", G_CALLBACK(crossOff), &awaited);
  GMainContext* context = e_client_ref_main_context(E_CLIENT(client));
  e_cal_client_view_start(view.get(), nullptr);
  const bool shown = iterateUntil(context, deadline, [&awaited] { return awaited.empty(); });
  e_cal_client_view_stop(view.get(), nullptr);
  g_signal_handlers_disconnect_by_data(view.get(), &awaited);
  g_main_context_unref(context);
  return shown;
}

}  // namespace

bool calendarSettled(ESourceRegistry* registry, ESource* source, ECalClient* client, gint64 deadline) {
  if (!isBirthdaysCalendar(source)) return true;
  std::set<std::string> awaited = datedContacts(registry);
  return awaited.empty() || showsAll(client, awaited, deadline);
}
