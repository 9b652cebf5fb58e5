// How every dump run ends: its one result object goes to standard output as a
// single line of JSON, then a line feed as a second write, and the process
// exits 0 when the object's `ok` is the boolean true and the whole line was
// written, 2 otherwise.
// Called on the main thread, once per process.
#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace NativeSources {

/// The fixed line written when a result cannot be serialised.
inline constexpr const char* kUnserialisableResult = "{\"ok\":false}";

/// Serialises `result` and ends the process as described above.
[[noreturn]] void emit(const nlohmann::json& result);

/// For dumps that build their JSON text themselves, to keep a large result
/// compact: `jsonText` is the whole object as one line, or nothing when it
/// could not be built; `okIsTrue` is what the object's `ok` holds.
[[noreturn]] void emitText(const std::optional<std::string>& jsonText, bool okIsTrue);

/// The work of emitText without the exit: writes to `fd` and returns the
/// status the process should end with (2 when the line did not fully reach
/// `fd`).
int writeResult(int fd, const std::optional<std::string>& jsonText, bool okIsTrue);

}  // namespace NativeSources
