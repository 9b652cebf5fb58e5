// Replacing a file's contents so that the file is never seen half written:
// the bytes go to a new file in the same folder, made durable, which then
// takes the target's place by rename. The new file has no name until it is
// complete (O_TMPFILE), so a process that ends while writing it, even by
// SIGKILL, leaves nothing behind; where the file system cannot make such a file it
// gets a short temporary name instead. SIGTERM, SIGINT, SIGHUP and SIGXFSZ
// are held back on the calling thread for the few calls during which a
// temporary name exists; one that came meanwhile ends the process once the
// name is gone, as it would have. Where the folder takes no new file, or
// refuses to let the file be replaced (a sticky folder and another user's
// file), an existing file is rewritten where it is, and gets its old bytes
// back when that fails. Runs on the calling thread; keeps no state. The
// signals are held on that thread only: in a process whose other threads
// take them, one may still end it while a temporary name exists.
#pragma once

#include <string>
#include <string_view>

/// Puts exactly `bytes` in the file at `path`, which must be missing, a
/// regular file, or a symbolic link; a link is replaced itself, never written
/// through, and a regular file keeps its permissions. False, with the path as
/// it was, when anything else is there or the bytes could not all be put in
/// place; the folder then holds no temporary file of this call.
bool replaceFileContents(const std::string& path, std::string_view bytes);
