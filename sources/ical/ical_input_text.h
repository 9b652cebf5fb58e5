// The bytes of an iCalendar file as UTF-8 text without a byte order mark.
// UTF-16 files, which Windows Calendar writes, are converted; UTF-8 files are
// used in place, not copied. Pure function; safe from any thread.
#pragma once

#include <string>
#include <string_view>

/// The text of `bytes`: a view into `bytes`, or into `converted` when the
/// file had to be converted. Invalid UTF-8 and NUL bytes are left to the
/// caller, who repairs each text it hands on.
std::string_view iCalendarText(std::string_view bytes, std::string& converted);
