// The one way this program starts a child process: a capture bundle script
// under /bin/bash, in the bundle root, with the inherited environment and a
// fixed PATH.
//
// Thread safety: runScript may be called from any thread and blocks it until
// the script has ended. When an output handler is given, it is called on a
// reader thread owned by the call, one chunk at a time, in the order the bytes
// arrived; the final remainder, if any, is delivered on the calling thread
// after every other chunk. The handler must therefore be safe to call from a
// thread other than the caller's.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

/// Receives one decoded, valid UTF-8 piece of the script's merged standard
/// output and standard error, unchanged (not split into lines, not trimmed).
using OutputHandler = std::function<void(const std::string& text)>;

/// The search path every script gets, whatever the environment held.
inline constexpr const char* kScriptSearchPath =
    "/usr/local/bin:/opt/homebrew/bin:/usr/bin:/bin:/usr/sbin:/sbin";

/// Runs `/bin/bash scriptPath` with the working directory
/// MervoPaths::root() (a relative root, like a relative scriptPath, is resolved
/// against the program's current directory before the child starts), the program's
/// environment plus `extraEnv`, and PATH fixed. With `onOutput` the script's
/// standard output and standard error are merged into one pipe and delivered
/// to it; without, the child shares the program's own streams. Captured output
/// is read until end of file, or, when a background process of the script
/// keeps the pipe open, for one second (kOutputGracePeriod) after the script
/// has ended; a character split between reads is completed, never dropped, and
/// bytes that are not UTF-8 arrive as U+FFFD.
///
/// Returns the script's exit status, 128 + the signal number when a signal
/// ended it, or kCannotStartStatus (127) when the shell could not be started.
int32_t runScript(const std::string& scriptPath,
                  const std::map<std::string, std::string>& extraEnv = {},
                  OutputHandler onOutput = nullptr);
