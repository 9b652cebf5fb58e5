// The desktop store's service on the session bus: whether the bus offers it,
// and its source registry with the enabled sources of one kind. Each call
// opens what it needs and lets it go; calls block the calling thread and may
// run on any thread.
#pragma once

#include <libedataserver/libedataserver.h>

#include <functional>
#include <vector>

#include "sources/eds/eds_glib.h"

/// Whether the session bus has the source registry or can start it. False
/// when there is no bus to reach, it does not know the registry, or it does
/// not answer within a few seconds.
bool edsOfferedOnSessionBus();

/// How an attempt to reach the registry ended.
enum class EdsReach { answered, refused, failed };

/// The source registry, and how reaching it went.
struct EdsRegistry {
  GObjectPtr<ESourceRegistry> registry;
  EdsReach reach = EdsReach::failed;
};

/// Opens the source registry: `refused` when the bus or the service denies
/// access, `failed` for any other error.
EdsRegistry openEdsRegistry();

/// The enabled sources with `extension` (E_SOURCE_EXTENSION_CALENDAR,
/// E_SOURCE_EXTENSION_ADDRESS_BOOK), in order of display name, then UID.
std::vector<GObjectPtr<ESource>> enabledSources(ESourceRegistry* registry, const char* extension);

/// Whether `source` keeps its data in local files on this machine (backend
/// "local" for its `extension`), not with an account elsewhere.
bool edsSourceIsLocal(ESource* source, const char* extension);

/// The wait time of the client connect calls that means "do not wait for
/// the backend to report itself online": waiting stalls about half a minute
/// per source on a machine without network.
inline constexpr guint32 kConnectWithoutWaiting = static_cast<guint32>(-1);

/// Answers an access request on a thread of its own, which shares nothing
/// with the caller: granted when the registry answers with its sources (one
/// call, without building the registry's client), refused when the bus
/// or the service denies access or the registry cannot be reached. With no
/// thread to be had, answers on the calling thread.
void requestEdsAccess(std::function<void(bool granted)> completion);
