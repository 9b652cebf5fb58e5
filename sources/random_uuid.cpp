// Random UUIDs; see random_uuid.h.
#include "sources/random_uuid.h"

#include <sys/random.h>

#include <cerrno>
#include <cstdint>
#include <random>

namespace {

void fillRandom(uint8_t (&bytes)[16]) {
  size_t filled = 0;
  while (filled < sizeof bytes) {
    ssize_t got = getrandom(bytes + filled, sizeof bytes - filled, 0);
    if (got > 0) {
      filled += static_cast<size_t>(got);
    } else if (got < 0 && errno != EINTR) {
      // No getrandom (very old kernel): the library's own random device.
      std::random_device device;
      for (; filled < sizeof bytes; ++filled) bytes[filled] = static_cast<uint8_t>(device());
    }
  }
}

}  // namespace

std::string newRandomUuid() {
  uint8_t bytes[16];
  fillRandom(bytes);
  bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(36);
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
  }
  return text;
}
