// Comparing protocol words (vCard names, URL schemes, file extensions) without
// regard to ASCII letter case. Bytes beyond ASCII compare as they are. Pure
// functions; safe from any thread.
#pragma once

#include <string_view>

/// `c` with A-Z turned into a-z.
constexpr char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

/// Whether `a` and `b` are equal apart from ASCII letter case.
constexpr bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  return true;
}

/// Whether `text` starts with `prefix`, apart from ASCII letter case.
constexpr bool startsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equalsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

/// Whether `text` ends with `suffix`, apart from ASCII letter case.
constexpr bool endsWithIgnoringAsciiCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && equalsIgnoringAsciiCase(text.substr(text.size() - suffix.size()), suffix);
}
