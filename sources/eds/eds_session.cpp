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
/// How long the choice of store may take: the bus itself answers within
/// milliseconds, and one that accepts and never answers must not hold up a
/// run that goes on to read the files.
constexpr gint64 kChoiceMicroseconds = 3 * G_USEC_PER_SEC;
constexpr const char* kRegistryPath = "/org/gnome/evolution/dataserver/SourceManager";
/// Starting the registry on a busy machine may take a while; the callers'
/// own deadlines are longer still.
constexpr int kRegistryStartMilliseconds = 120000;
constexpr gint64 kSourcesWaitMicroseconds = 10 * G_USEC_PER_SEC;

/// The milliseconds left until `deadline` on the monotonic clock, at least 1.
int millisecondsUntil(gint64 deadline) {
  return static_cast<int>(std::max<gint64>(1, (deadline - g_get_monotonic_time()) / 1000));
}

GVariant* callBus(GDBusConnection* bus, const char* method, GVariant* parameters, const char* replyType,
                  gint64 deadline) {
  return g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                     method, parameters, G_VARIANT_TYPE(replyType), G_DBUS_CALL_FLAGS_NONE,
                                     millisecondsUntil(deadline), nullptr, nullptr);
}

bool registryRunning(GDBusConnection* bus, gint64 deadline) {
  GVariant* reply = callBus(bus, "NameHasOwner", g_variant_new("(s)", kRegistryName), "(b)", deadline);
  if (!reply) return false;
  gboolean owned = FALSE;
  g_variant_get(reply, "(b)", &owned);
  g_variant_unref(reply);
  return owned;
}

bool registryActivatable(GDBusConnection* bus, gint64 deadline) {
  GVariant* reply = callBus(bus, "ListActivatableNames", nullptr, "(as)", deadline);
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

/// The shared session connection, or nothing when it is not made by
/// `deadline`. Connecting is asked for on a main context of this call's own
/// and given up at the deadline: the blocking call has no time limit, and a
/// bus that accepts and never answers its handshake would hold it for ever.
GObjectPtr<GDBusConnection> sessionBusBy(gint64 deadline) {
  struct Attempt {
    GObjectPtr<GDBusConnection> bus;
    bool ended = false;
  } attempt;
  GMainContext* context = g_main_context_new();
  g_main_context_push_thread_default(context);
  GObjectPtr<GCancellable> cancellable(g_cancellable_new());
  g_bus_get(G_BUS_TYPE_SESSION, cancellable.get(), [](GObject*, GAsyncResult* result, gpointer data) {
    auto* attempt = static_cast<Attempt*>(data);
    attempt->bus.reset(g_bus_get_finish(result, nullptr));
    attempt->ended = true;
  }, &attempt);
  if (!iterateUntil(context, deadline, [&attempt] { return attempt.ended; })) {
    // A cancelled attempt still ends through its callback (a bus that takes
    // the handshake and never greets is given up by GLib itself).
    g_cancellable_cancel(cancellable.get());
    while (!attempt.ended) g_main_context_iteration(context, TRUE);
  }
  g_main_context_pop_thread_default(context);
  g_main_context_unref(context);
  return std::move(attempt.bus);
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
  const gint64 deadline = g_get_monotonic_time() + kChoiceMicroseconds;
  // The shared session connection is the one the client libraries use next.
  GObjectPtr<GDBusConnection> bus = sessionBusBy(deadline);
  if (!bus) return false;
  return registryRunning(bus.get(), deadline) || registryActivatable(bus.get(), deadline);
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

bool edsSourceIsLocal(ESource* source, const char* extension) {
  if (!e_source_has_extension(source, extension)) return false;
  const char* backend = e_source_backend_get_backend_name(E_SOURCE_BACKEND(e_source_get_extension(source, extension)));
  return backend && std::strcmp(backend, "local") == 0;
}

namespace {

/// Whether the registry answers with its sources, asked in one call: the
/// walk that follows a grant builds the registry's client, which costs more.
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
