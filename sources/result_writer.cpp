// The one way a dump run ends. The text is built whole before anything is
// written, so standard output receives either the full line or the fixed
// fallback line, never a fragment. Called on the main thread, once per process.
#include "sources/result_writer.h"

#include <unistd.h>

#include <cstdlib>
#include <exception>
#include <optional>

#include "base/write_all.h"
#include "sources/json_text.h"

namespace {

constexpr int kStatusOk = 0;
constexpr int kStatusFailed = 2;

}  // namespace

ResultText failureResult(std::string_view reason) {
  JsonText out;
  out.beginObject();
  out.key("ok");
  out.value(false);
  out.key("reason");
  out.value(reason);
  out.endObject();
  return {out.take(), false};
}

namespace NativeSources {

int writeResult(int fd, const std::function<ResultText()>& build) {
  std::optional<ResultText> result;
  try {
    result = build();
  } catch (const std::exception&) {
    // Nothing of it is written; the fallback line says the run failed.
  }
  // A failure line beside a success status would tell the caller two things
  // at once; the fallback line always ends with the failure status.
  writeAll(fd, result ? std::string_view(result->json) : std::string_view(kUnwritableResult));
  writeAll(fd, "\n");
  return result && result->ok ? kStatusOk : kStatusFailed;
}

void emit(const std::function<ResultText()>& build) { std::exit(writeResult(STDOUT_FILENO, build)); }

}  // namespace NativeSources
