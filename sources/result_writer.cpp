// The one way a dump run ends. The text is serialised whole before anything
// is written, so standard output receives either the full line or the fixed
// fallback line, never a fragment. Called on the main thread, once per process.
#include "sources/result_writer.h"

#include <unistd.h>

#include <cstdlib>

#include "base/standard_streams.h"

namespace NativeSources {
namespace {

constexpr int kStatusOk = 0;
constexpr int kStatusFailed = 2;

bool holdsOkTrue(const nlohmann::json& result) {
  if (!result.is_object()) return false;
  const auto ok = result.find("ok");
  return ok != result.end() && ok->is_boolean() && ok->get<bool>();
}

/// The one-line text of `result`, or nothing when it holds text that is not
/// UTF-8 (the strict handler refuses it rather than guessing).
std::optional<std::string> serialise(const nlohmann::json& result) {
  try {
    return result.dump(-1, ' ', false, nlohmann::json::error_handler_t::strict);
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;
  }
}

}  // namespace

int writeResult(int fd, const std::optional<std::string>& jsonText, bool okIsTrue) {
  // A failure line beside a success status would tell the caller two things
  // at once; the fallback line always ends with the failure status.
  const bool usable = jsonText.has_value();
  writeMessage(fd, usable ? std::string_view(*jsonText) : std::string_view(kUnserialisableResult));
  writeMessage(fd, "\n");
  return usable && okIsTrue ? kStatusOk : kStatusFailed;
}

void emitText(const std::optional<std::string>& jsonText, bool okIsTrue) {
  std::exit(writeResult(STDOUT_FILENO, jsonText, okIsTrue));
}

void emit(const nlohmann::json& result) { emitText(serialise(result), holdsOkTrue(result)); }

}  // namespace NativeSources
