#include "sources/utf8_text.h"

#include <cstdint>

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The length of the well-formed character at the start of `bytes`, or 0 when
// it is ill-formed; `consumed` is then the length of its maximal ill-formed
// subpart (at least 1), or, when the input ends inside a character that is
// valid so far, the bytes up to the end with `truncated` set.
struct Scan {
  size_t length = 0;
  size_t consumed = 0;
  bool truncated = false;
};

Scan scanCharacter(std::string_view bytes) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(bytes[i]); };
  const uint8_t lead = byte(0);
  if (lead < 0x80) return {1, 1, false};

  size_t need;
  uint8_t low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    need = 1;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    need = 2;
    if (lead == 0xE0) low = 0xA0;   // no overlongs
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    need = 3;
    if (lead == 0xF0) low = 0x90;   // no overlongs
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return {0, 1, false};
  }

  for (size_t i = 1; i <= need; ++i) {
    if (i >= bytes.size()) return {0, i, true};
    const uint8_t b = byte(i);
    const bool inRange = i == 1 ? (b >= low && b <= high) : (b >= 0x80 && b <= 0xBF);
    if (!inRange) return {0, i, false};
  }
  return {need + 1, need + 1, false};
}

}  // namespace

bool isValidUtf8(std::string_view bytes) {
  for (size_t i = 0; i < bytes.size();) {
    // Plain ASCII runs are the common case: skip them eight bytes at a time.
    while (i + 8 <= bytes.size()) {
      uint64_t word;
      __builtin_memcpy(&word, bytes.data() + i, 8);
      if (word & 0x8080808080808080ull) break;
      i += 8;
    }
    if (i >= bytes.size()) break;
    Scan scan = scanCharacter(bytes.substr(i));
    if (scan.length == 0) return false;
    i += scan.length;
  }
  return true;
}

void appendValidUtf8(std::string& out, std::string_view bytes) {
  if (isValidUtf8(bytes)) {
    out.append(bytes);
    return;
  }
  for (size_t i = 0; i < bytes.size();) {
    Scan scan = scanCharacter(bytes.substr(i));
    if (scan.length > 0)
      out.append(bytes.substr(i, scan.length));
    else
      out.append(kReplacement);
    i += scan.consumed;
  }
}

std::string toValidUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  appendValidUtf8(out, bytes);
  return out;
}

size_t incompleteUtf8Tail(std::string_view bytes) {
  // A character is at most four bytes, so its start lies within the last three.
  const size_t first = bytes.size() > 3 ? bytes.size() - 3 : 0;
  for (size_t start = first; start < bytes.size(); ++start) {
    Scan scan = scanCharacter(bytes.substr(start));
    if (scan.truncated && start + scan.consumed == bytes.size()) return bytes.size() - start;
  }
  return 0;
}
