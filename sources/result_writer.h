// How every dump run ends: its one result object goes to standard output as a
// single line of JSON, then a line feed as a second write, and the process
// exits 0 when the object's `ok` is the boolean true, 2 otherwise. Every dump
// writes its result with JsonText, so all four follow one UTF-8 rule.
// Called on the main thread, once per process.
#pragma once

#include <functional>
#include <string>
#include <string_view>

/// A result object written as one line of compact JSON.
struct ResultText {
  std::string json;
  bool ok = false;  ///< whether the object's `ok` is true
};

/// The failure object: `ok` false and `reason`.
ResultText failureResult(std::string_view reason);

namespace NativeSources {

/// The fixed line written when a result cannot be built at all (no memory
/// for it, ...).
inline constexpr const char* kUnwritableResult = "{\"ok\":false}";

/// Builds the result with `build` and ends the process as described above.
[[noreturn]] void emit(const std::function<ResultText()>& build);

/// The work of emit without the exit: writes to `fd` and returns the status
/// the process should end with.
int writeResult(int fd, const std::function<ResultText()>& build);

}  // namespace NativeSources
