// Decoding vCard property values: quoted-printable, character sets, text
// escapes, structured values, base64 and percent-encoding. Every text that
// leaves here is valid UTF-8; bad bytes become U+FFFD. Pure; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

/// Decodes quoted-printable text: `=XX` becomes the byte, `=` before a line
/// end is a soft break and vanishes; a malformed `=` stays as it is.
std::string decodeQuotedPrintable(std::string_view text);

/// `bytes` in the character set `charset` (a CHARSET parameter; empty means
/// UTF-8) as valid UTF-8. Unknown sets are read as UTF-8.
std::string toUtf8FromCharset(std::string_view bytes, std::string_view charset);

/// Undoes the text escapes: `\\`, `\n`/`\N` (line break), `\,`, `\;`. Any
/// other backslash stays as written.
std::string unescapeText(std::string_view text);

/// Splits a structured value at unescaped `separator`s, escapes kept.
std::vector<std::string_view> splitUnescaped(std::string_view text, char separator);

/// The bytes of base64 text (standard or URL-safe alphabet); blanks, line
/// ends and stray characters are skipped, and decoding stops at padding.
std::string decodeBase64(std::string_view text);

/// Whether decodeBase64(text) gives at least one byte, told from the count
/// of base64 characters before any padding, without decoding.
bool base64YieldsBytes(std::string_view text);

/// `%XX` sequences as bytes; anything else unchanged.
std::string percentDecode(std::string_view text);
