// The bytes of an iCalendar file as the parser wants them: UTF-8 without a
// byte order mark and without NUL bytes (which would end the parser's text
// early). UTF-16 files, which Windows Calendar writes, are converted.
// Pure function; safe from any thread.
#pragma once

#include <string>
#include <string_view>

/// `bytes` made ready for parsing. Invalid UTF-8 is left to the caller, who
/// repairs each text it hands on.
std::string iCalendarParserText(std::string_view bytes);
