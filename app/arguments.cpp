#include "app/arguments.h"

#include <locale.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

Arguments::const_iterator findArgument(const Arguments& args, std::string_view name) {
  return std::find(args.begin(), args.end(), name);
}

// The C locale whatever the user's: "1.5" must not depend on LC_NUMERIC.
locale_t cLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", nullptr);
  return locale;
}

bool parseWholeNumber(const std::string& text, double& value) {
  if (text.empty() || std::strchr(" \t\n\v\f\r", text.front())) return false;
  char* end = nullptr;
  double parsed = strtod_l(text.c_str(), &end, cLocale());
  if (end != text.c_str() + text.size()) return false;
  value = parsed;
  return true;
}

}  // namespace

bool hasArgument(const Arguments& args, std::string_view flag) {
  return findArgument(args, flag) != args.end();
}

double numericArg(const Arguments& args, std::string_view name, double fallback) {
  auto found = findArgument(args, name);
  if (found == args.end() || std::next(found) == args.end()) return fallback;
  double value = fallback;
  return parseWholeNumber(*std::next(found), value) ? value : fallback;
}

std::string stringArg(const Arguments& args, std::string_view name) {
  auto found = findArgument(args, name);
  if (found == args.end() || std::next(found) == args.end()) return {};
  return *std::next(found);
}
