// The fallback of a face export for a file that cannot be replaced: its
// folder takes no new file, or refuses the rename (a sticky folder holding
// another user's writable file). The file is rewritten where it is, and gets
// its old bytes back when that fails. Runs on the exporting thread.
#pragma once

#include <string>
#include <string_view>

#include "sources/face_file_signals.h"

/// Makes the regular file at `path` (never a link) hold exactly `bytes`.
/// False when it is not a regular file that can be read and written, or the
/// new bytes could not all be written: the file then holds its old bytes,
/// also after a signal that `guard` handles.
bool rewriteInPlace(const std::string& path, std::string_view bytes, ExportSignalGuard& guard);
