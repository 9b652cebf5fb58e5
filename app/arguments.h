// The command line as the modes read it: the arguments without the program's
// path, and the two option readers. Pure functions of the argument list.
#pragma once

#include <string>
#include <string_view>
#include <vector>

/// The command-line arguments without the first one (the program's path).
using Arguments = std::vector<std::string>;

/// True when some argument equals `flag` exactly (whole text, letter case).
bool hasArgument(const Arguments& args, std::string_view flag);

/// The number after the first `name`, or `fallback` when `name` is absent,
/// last, or followed by text that is not wholly a number as strtod reads it in
/// the C locale (leading whitespace and trailing characters both fail). A
/// value strtod reports out of range is taken as it gives it (±inf, or the
/// nearest representable value near zero).
double numericArg(const Arguments& args, std::string_view name, double fallback);

/// The argument after the first `name`, unchanged, or the empty text.
std::string stringArg(const Arguments& args, std::string_view name);
