// The temporary files of a face export. Each is named after the file it will
// become and the process that writes it, ".NAME.tovana-mervo-PID-N.tmp"
// beside it, so that a later export can recognise one whose process is gone
// (killed by SIGKILL, which no handler sees) and remove it.
// Stateless; any thread.
#pragma once

#include <string>

/// The folder part of `path`: "." for a bare name, "/" for a file at the root.
std::string folderOf(const std::string& path);

/// The temporary name for the file at `path`, for this process's `attempt`.
std::string temporaryNameFor(const std::string& path, unsigned attempt);

/// Removes from `folder` the temporary files of this program, owned by this
/// user, whose process no longer exists. Anything else is left alone.
void removeAbandonedTemporaries(const std::string& folder);
