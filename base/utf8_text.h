// UTF-8 checking and repair for everything this program reads from outside
// (script output, calendar and contact files) before it reaches a window or a
// JSON line. Pure functions; safe from any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

/// True when `bytes` is wholly valid UTF-8 (no overlongs, no surrogates,
/// nothing above U+10FFFF).
bool isValidUtf8(std::string_view bytes);

/// `bytes` with every ill-formed sequence replaced by U+FFFD, one replacement
/// per maximal ill-formed subpart (the Unicode standard's recommended
/// practice), so no valid character is ever swallowed with a bad one.
std::string toValidUtf8(std::string_view bytes);

/// Appends toValidUtf8(bytes) to `out`, without a copy when already valid.
void appendValidUtf8(std::string& out, std::string_view bytes);

/// Whether `byte` continues a UTF-8 character rather than starting one.
constexpr bool isUtf8ContinuationByte(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

/// How many bytes at the end of `bytes` form the start of a multi-byte
/// character that is valid so far but not yet complete (0 to 3): bytes that
/// may still become valid once the rest arrives.
size_t incompleteUtf8Tail(std::string_view bytes);
