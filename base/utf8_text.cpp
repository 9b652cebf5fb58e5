#include "base/utf8_text.h"

#include <array>
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

// A byte-at-a-time validator whose whole state fits in six bits: the state
// is the bit offset, within the byte's 64-bit table entry, of that byte's
// transition from the state, so one step is one load and one shift with no
// branch (about three times faster than scanning character by character on
// text that is not mostly ASCII, which matters for script output).
enum : unsigned {
  kError = 0,  // every entry holds 0 at offset 0: an error stays an error
  kAccept = 6,
  kTail1 = 12,    // one more continuation byte
  kTail2 = 18,    // two more
  kTail3 = 24,    // three more
  kAfterE0 = 30,  // A0..BF, then one more (no overlongs)
  kAfterED = 36,  // 80..9F, then one more (no surrogates)
  kAfterF0 = 42,  // 90..BF, then two more (no overlongs)
  kAfterF4 = 48,  // 80..8F, then two more (nothing above U+10FFFF)
};

constexpr unsigned nextState(unsigned state, unsigned byte) {
  const bool continuation = byte >= 0x80 && byte <= 0xBF;
  switch (state) {
    case kAccept:
      if (byte < 0x80) return kAccept;
      if (byte >= 0xC2 && byte <= 0xDF) return kTail1;
      if (byte == 0xE0) return kAfterE0;
      if (byte == 0xED) return kAfterED;
      if (byte >= 0xE1 && byte <= 0xEF) return kTail2;
      if (byte == 0xF0) return kAfterF0;
      if (byte >= 0xF1 && byte <= 0xF3) return kTail3;
      if (byte == 0xF4) return kAfterF4;
      return kError;
    case kTail1: return continuation ? kAccept : kError;
    case kTail2: return continuation ? kTail1 : kError;
    case kTail3: return continuation ? kTail2 : kError;
    case kAfterE0: return byte >= 0xA0 && byte <= 0xBF ? kTail1 : kError;
    case kAfterED: return byte >= 0x80 && byte <= 0x9F ? kTail1 : kError;
    case kAfterF0: return byte >= 0x90 && byte <= 0xBF ? kTail2 : kError;
    case kAfterF4: return byte >= 0x80 && byte <= 0x8F ? kTail2 : kError;
    default: return kError;
  }
}

constexpr std::array<uint64_t, 256> transitionTable() {
  std::array<uint64_t, 256> table{};
  for (unsigned byte = 0; byte < 256; ++byte)
    for (unsigned state = kAccept; state <= kAfterF4; state += 6)
      table[byte] |= uint64_t{nextState(state, byte)} << state;
  return table;
}

constexpr std::array<uint64_t, 256> kTransitions = transitionTable();

}  // namespace

bool isValidUtf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* const end = p + bytes.size();
  uint64_t state = kAccept;  // only the low six bits count; see kTransitions
  while (p < end) {
    // Plain ASCII runs are the common case: skip them eight bytes at a time.
    if ((state & 63) == kAccept) {
      for (uint64_t word; end - p >= 8; p += 8) {
        __builtin_memcpy(&word, p, 8);
        if (word & 0x8080808080808080ull) break;
      }
    }
    const auto* const blockEnd = end - p > 64 ? p + 64 : end;
    for (; p < blockEnd; ++p) state = kTransitions[*p] >> (state & 63);
    if ((state & 63) == kError) return false;
  }
  return (state & 63) == kAccept;
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
