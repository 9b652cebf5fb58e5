// Telling a refusal for lack of permission from other failures of a system
// call: the probe, the store walks and the picture writer each act on it.
// Pure; safe from any thread.
#pragma once

#include <cerrno>

/// Whether `error` (an errno value) says the caller may not do this: EACCES
/// or EPERM.
constexpr bool isPermissionError(int error) { return error == EACCES || error == EPERM; }
