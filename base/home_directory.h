// The user's home directory, as every path under it is formed.
// Stateless; safe to call from any thread.
#pragma once

#include <string>

/// The home directory without a trailing separator: $HOME when it is set and
/// not empty, otherwise the user database's entry for the current user, and
/// the empty text when neither is known.
std::string homeDirectory();
