// Value decoding for the vCard reader; see vcard_values.h.
#include "sources/vcard/vcard_values.h"

#include <iconv.h>

#include <array>
#include <cerrno>

#include "base/ascii_case.h"
#include "base/utf8_text.h"
#include "sources/vcard/vcard_property.h"

namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

constexpr std::array<signed char, 256> base64Table() {
  std::array<signed char, 256> table{};
  for (auto& entry : table) entry = -1;
  const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(alphabet[i])] = static_cast<signed char>(i);
  // The URL-safe alphabet, which some writers use.
  table['-'] = 62;
  table['_'] = 63;
  return table;
}

constexpr std::array<signed char, 256> kBase64 = base64Table();

bool isBlankOrLineEnd(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

/// Latin-1 is a direct map to the first 256 code points; no converter needed.
std::string fromLatin1(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (unsigned char c : bytes) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

/// The converter from `charset` to UTF-8; closed when the holder goes.
class Converter {
 public:
  explicit Converter(const std::string& charset) : cd_(iconv_open("UTF-8", charset.c_str())) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  /// Converts all of `bytes`; a byte the set cannot read becomes U+FFFD.
  std::string convert(std::string_view bytes) {
    std::string out;
    char buffer[4096];
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    while (inLeft > 0) {
      char* outPtr = buffer;
      size_t outLeft = sizeof buffer;
      const size_t done = iconv(cd_, &in, &inLeft, &outPtr, &outLeft);
      out.append(buffer, outPtr - buffer);
      if (done != static_cast<size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      out.append("\xEF\xBF\xBD");  // EILSEQ or EINVAL: skip one bad byte
      ++in;
      --inLeft;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::string decodeQuotedPrintable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '=') {
      out.push_back(c);
      continue;
    }
    // A soft break: '=' then optional blanks, then a line end.
    size_t j = i + 1;
    while (j < text.size() && (text[j] == ' ' || text[j] == '\t')) ++j;
    if (j < text.size() && (text[j] == '\r' || text[j] == '\n')) {
      while (j < text.size() && text[j] == '\r') ++j;
      if (j < text.size() && text[j] == '\n') ++j;
      i = j - 1;
      continue;
    }
    if (j == text.size()) {
      i = j - 1;  // '=' at the very end: a soft break with nothing after it
      continue;
    }
    if (i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 && hexDigit(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2])));
      i += 2;
    } else {
      out.push_back('=');
    }
  }
  return out;
}

std::string toUtf8FromCharset(std::string_view bytes, std::string_view charset) {
  if (charset.empty() || equalsIgnoringAsciiCase(charset, "UTF-8") || equalsIgnoringAsciiCase(charset, "UTF8") ||
      equalsIgnoringAsciiCase(charset, "US-ASCII") || equalsIgnoringAsciiCase(charset, "ASCII"))
    return toValidUtf8(bytes);
  if (equalsIgnoringAsciiCase(charset, "ISO-8859-1") || equalsIgnoringAsciiCase(charset, "LATIN1") ||
      equalsIgnoringAsciiCase(charset, "ISO8859-1"))
    return fromLatin1(bytes);
  Converter converter{std::string(charset)};
  if (!converter.ok()) return toValidUtf8(bytes);
  return toValidUtf8(converter.convert(bytes));
}

std::string unescapeText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\\' || i + 1 == text.size()) {
      out.push_back(c);
      continue;
    }
    const char next = text[i + 1];
    if (next == 'n' || next == 'N') {
      out.push_back('\n');
    } else if (next == '\\' || next == ',' || next == ';') {
      out.push_back(next);
    } else {
      out.push_back(c);
      continue;
    }
    ++i;
  }
  return out;
}

std::vector<std::string_view> splitUnescaped(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\') {
      ++i;
    } else if (text[i] == separator) {
      parts.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  parts.push_back(text.substr(start));
  return parts;
}

std::string decodeBase64(std::string_view text) {
  std::string out;
  out.reserve(text.size() / 4 * 3 + 3);
  unsigned int bits = 0;
  int count = 0;
  for (const char c : text) {
    if (isBlankOrLineEnd(c)) continue;
    const int value = kBase64[static_cast<unsigned char>(c)];
    if (value < 0) {
      if (c == '=') break;
      continue;  // stray characters are passed over, as lenient readers do
    }
    bits = (bits << 6) | static_cast<unsigned int>(value);
    if (++count == 4) {
      out.push_back(static_cast<char>((bits >> 16) & 0xFF));
      out.push_back(static_cast<char>((bits >> 8) & 0xFF));
      out.push_back(static_cast<char>(bits & 0xFF));
      bits = 0;
      count = 0;
    }
  }
  if (count == 2) {
    out.push_back(static_cast<char>((bits >> 4) & 0xFF));
  } else if (count == 3) {
    out.push_back(static_cast<char>((bits >> 10) & 0xFF));
    out.push_back(static_cast<char>((bits >> 2) & 0xFF));
  }
  return out;
}

bool base64YieldsBytes(std::string_view text) {
  // Two characters make a byte; blanks and strays are passed over, and
  // padding ends the data, exactly as decodeBase64 reads them.
  int characters = 0;
  for (const char c : text) {
    if (c == '=') return false;
    if (kBase64[static_cast<unsigned char>(c)] >= 0 && ++characters == 2) return true;
  }
  return false;
}

std::string percentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 && hexDigit(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2])));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}
