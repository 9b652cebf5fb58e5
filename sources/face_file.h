// Writing an exported picture so that the file at the path is never left
// half written: the bytes go to a new file beside it, which then takes its
// place. Runs on the calling thread; touches only the given path and one
// temporary name beside it.
#pragma once

#include <string>
#include <string_view>

/// Puts exactly `bytes` in the file at `path`. On failure the file at `path`
/// is as it was and no temporary file is left, except where the folder does
/// not allow a new file but the file itself is writable: then it is
/// rewritten in place. A symbolic link at `path` is written through.
bool writeFaceFile(const std::string& path, std::string_view bytes);
