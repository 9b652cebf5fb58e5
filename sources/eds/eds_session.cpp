// The desktop store's service on the session bus; see eds_session.h.
#include "sources/eds/eds_session.h"

#include <gio/gio.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>

namespace {

constexpr const char* kRegistryName = "org.gnome.evolution.dataserver.Sources5";
/// The bus itself answers within milliseconds; a bus that does not answer
/// in this time is treated as absent.
constexpr int kBusCallMilliseconds = 10000;
constexpr const char* kRegistryPath = "/org/gnome/evolution/dataserver/SourceManager";
/// Starting the registry on a busy machine may take a while; the callers'
/// own deadlines are longer still.
constexpr int kRegistryStartMilliseconds = 120000;
constexpr gint64 kSourcesWaitMicroseconds = 10 * G_USEC_PER_SEC;

GVariant* callBus(GDBusConnection* bus, const char* method, GVariant* parameters, const char* replyType) {
  return g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                     method, parameters, G_VARIANT_TYPE(replyType), G_DBUS_CALL_FLAGS_NONE,
                                     kBusCallMilliseconds, nullptr, nullptr);
}

bool registryRunning(GDBusConnection* bus) {
  GVariant* reply = callBus(bus, "NameHasOwner", g_variant_new("(s)", kRegistryName), "(b)");
  if (!reply) return false;
  gboolean owned = FALSE;
  g_variant_get(reply, "(b)", &owned);
  g_variant_unref(reply);
  return owned;
}

bool registryActivatable(GDBusConnection* bus) {
  GVariant* reply = callBus(bus, "ListActivatableNames", nullptr, "(as)");
  if (!reply) return false;
  GVariantIter* names = nullptr;
  g_variant_get(reply, "(as)", &names);
  bool found = false;
  const gchar* name = nullptr;
  while (!found && g_variant_iter_next(names, "&s", &name)) found = std::strcmp(name, kRegistryName) == 0;
  g_variant_iter_free(names);
  g_variant_unref(reply);
  return found;
}

std::string textOf(const char* text) { return text ? text : ""; }

/// Starts the registry if need be and asks it for a sign of life. A policy
/// that forbids the registry is told at once this way; the registry's own
/// client would only give up after its call timeout.
EdsReach pingRegistry() {
  GErrorOwner error;
  GObjectPtr<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, error.out()));
  if (!bus) return EdsReach::failed;
  GVariant* reply = g_dbus_connection_call_sync(bus.get(), kRegistryName, kRegistryPath, "org.freedesktop.DBus.Peer",
                                                "Ping", nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE,
                                                kRegistryStartMilliseconds, nullptr, error.out());
  if (reply) {
    g_variant_unref(reply);
    return EdsReach::answered;
  }
  return error.isAccessDenied() ? EdsReach::refused : EdsReach::failed;
}

}  // namespace

bool edsOfferedOnSessionBus() {
  // The shared session connection is the one the client libraries use next.
  GObjectPtr<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
  if (!bus) return false;
  return registryRunning(bus.get()) || registryActivatable(bus.get());
}

namespace {

/// Whether `registry` lists any source within a second. A registry client
/// made while the service is busy can come back without having learnt of
/// any source, and stays so; the service always holds its built-in sources,
/// so an empty list means "ask again".
bool listsSources(ESourceRegistry* registry) {
  const gint64 deadline = g_get_monotonic_time() + G_USEC_PER_SEC;
  while (true) {
    GList* sources = e_source_registry_list_sources(registry, nullptr);
    const bool listed = sources != nullptr;
    g_list_free_full(sources, g_object_unref);
    if (listed) return true;
    if (g_get_monotonic_time() > deadline) return false;
    g_usleep(20000);
  }
}

}  // namespace

EdsRegistry openEdsRegistry() {
  EdsRegistry result;
  result.reach = pingRegistry();
  if (result.reach != EdsReach::answered) return result;
  const gint64 deadline = g_get_monotonic_time() + kSourcesWaitMicroseconds;
  do {
    GErrorOwner error;
    result.registry.reset(e_source_registry_new_sync(nullptr, error.out()));
    if (!result.registry) {
      result.reach = error.isAccessDenied() ? EdsReach::refused : EdsReach::failed;
      return result;
    }
    if (listsSources(result.registry.get())) return result;
    result.registry.reset();
  } while (g_get_monotonic_time() < deadline);
  result.reach = EdsReach::failed;
  return result;
}

std::vector<GObjectPtr<ESource>> enabledSources(ESourceRegistry* registry, const char* extension) {
  std::vector<GObjectPtr<ESource>> sources;
  GList* listed = e_source_registry_list_enabled(registry, extension);
  // The list's references pass to the owners.
  for (GList* item = listed; item; item = item->next) sources.emplace_back(static_cast<ESource*>(item->data));
  g_list_free(listed);
  std::stable_sort(sources.begin(), sources.end(), [](const auto& a, const auto& b) {
    const std::string nameA = textOf(e_source_get_display_name(a.get()));
    const std::string nameB = textOf(e_source_get_display_name(b.get()));
    if (nameA != nameB) return nameA < nameB;
    return textOf(e_source_get_uid(a.get())) < textOf(e_source_get_uid(b.get()));
  });
  return sources;
}

namespace {

/// Whether the registry answers with its sources, asked in one call: the
/// walk that follows a grant builds the registry's client, and building it
/// twice was a quarter of a contacts dump.
EdsReach registryListsSources() {
  const EdsReach reach = pingRegistry();
  if (reach != EdsReach::answered) return reach;
  GErrorOwner error;
  GObjectPtr<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, error.out()));
  if (!bus) return EdsReach::failed;
  GVariant* reply = g_dbus_connection_call_sync(
      bus.get(), kRegistryName, kRegistryPath, "org.freedesktop.DBus.ObjectManager", "GetManagedObjects", nullptr,
      G_VARIANT_TYPE("(a{oa{sa{sv}}})"), G_DBUS_CALL_FLAGS_NONE, kRegistryStartMilliseconds, nullptr, error.out());
  if (reply) {
    g_variant_unref(reply);
    return EdsReach::answered;
  }
  return error.isAccessDenied() ? EdsReach::refused : EdsReach::failed;
}

}  // namespace

void requestEdsAccess(std::function<void(bool granted)> completion) {
  auto answer = [completion] { completion(registryListsSources() == EdsReach::answered); };
  try {
    std::thread(answer).detach();
  } catch (const std::system_error&) {
    answer();
  }
}
