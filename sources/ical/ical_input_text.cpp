// Preparing file bytes for the iCalendar parser; see ical_input_text.h.
#include "sources/ical/ical_input_text.h"

#include <unicode/ucnv.h>

#include <algorithm>

namespace {

bool startsWith(std::string_view bytes, std::string_view prefix) {
  return bytes.substr(0, prefix.size()) == prefix;
}

// ICU's "UTF-16" converter reads the byte order mark; unpaired surrogates
// become U+FFFD.
std::string utf16ToUtf8(std::string_view bytes) {
  UErrorCode status = U_ZERO_ERROR;
  int32_t needed = ucnv_convert("UTF-8", "UTF-16", nullptr, 0, bytes.data(),
                                static_cast<int32_t>(bytes.size()), &status);
  if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) return {};
  std::string text(static_cast<size_t>(needed), '\0');
  status = U_ZERO_ERROR;
  int32_t written = ucnv_convert("UTF-8", "UTF-16", text.data(), needed, bytes.data(),
                                 static_cast<int32_t>(bytes.size()), &status);
  if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING) return {};
  text.resize(static_cast<size_t>(std::max(written, 0)));
  return text;
}

}  // namespace

std::string_view iCalendarText(std::string_view bytes, std::string& converted) {
  std::string_view text = bytes;
  if ((startsWith(bytes, "\xFF\xFE") || startsWith(bytes, "\xFE\xFF")) &&
      bytes.size() < (size_t{1} << 30)) {
    converted = utf16ToUtf8(bytes);
    text = converted;
  }
  if (startsWith(text, "\xEF\xBB\xBF")) text.remove_prefix(3);
  return text;
}
