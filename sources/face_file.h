// Writing an exported picture so that the file at the path is never left
// half written: the bytes go to a new file beside it, which then takes its
// place. Runs on the calling thread; touches only the given path, temporary
// names beside it (and abandoned ones of earlier runs), and, for its
// duration, the process's handlers of SIGTERM, SIGINT, SIGHUP and SIGXFSZ.
#pragma once

#include <string>
#include <string_view>

/// Puts exactly `bytes` in the file at `path`, which must be missing, a
/// regular file, or a symbolic link; a link is replaced itself, never written
/// through. The file is rewritten in place only when no temporary file can be
/// made beside it or the folder refuses the rename. After a failure, or a
/// signal that ends the process, the file at `path` is as it was and no
/// temporary file of this call is left.
bool writeFaceFile(const std::string& path, std::string_view bytes);
