// Splitting a vCard property line; see vcard_property.h.
#include "sources/vcard/vcard_property.h"

#include "base/ascii_case.h"
#include "sources/vcard/vcard_lines.h"

namespace {

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::string_view unquote(std::string_view text) {
  text = trimBlanks(text);
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') return text.substr(1, text.size() - 2);
  return text;
}

/// Position of the first `stop` outside double quotes, or npos.
size_t findOutsideQuotes(std::string_view text, char stop, size_t from = 0) {
  bool quoted = false;
  for (size_t i = from; i < text.size(); ++i) {
    if (text[i] == '"') quoted = !quoted;
    else if (text[i] == stop && !quoted) return i;
  }
  return std::string_view::npos;
}

std::vector<std::string_view> splitOutsideQuotes(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (;;) {
    const size_t stop = findOutsideQuotes(text, separator, start);
    parts.push_back(text.substr(start, stop == std::string_view::npos ? std::string_view::npos : stop - start));
    if (stop == std::string_view::npos) return parts;
    start = stop + 1;
  }
}

VCardParameter parseParameter(std::string_view text) {
  VCardParameter parameter;
  const size_t equals = findOutsideQuotes(text, '=');
  if (equals == std::string_view::npos) {
    parameter.values.push_back(unquote(text));
    return parameter;
  }
  parameter.name = trimBlanks(text.substr(0, equals));
  for (std::string_view value : splitOutsideQuotes(text.substr(equals + 1), ','))
    parameter.values.push_back(unquote(value));
  return parameter;
}

}  // namespace

bool VCardProperty::is(std::string_view other) const { return equalsIgnoringAsciiCase(name, other); }

std::optional<std::string_view> VCardProperty::parameter(std::string_view wanted) const {
  for (const VCardParameter& p : parameters)
    if (equalsIgnoringAsciiCase(p.name, wanted) && !p.values.empty()) return p.values.front();
  return std::nullopt;
}

bool VCardProperty::hasParameterValue(std::string_view value, std::string_view wanted) const {
  for (const VCardParameter& p : parameters) {
    if (!wanted.empty() && !p.name.empty() && !equalsIgnoringAsciiCase(p.name, wanted)) continue;
    for (std::string_view v : p.values)
      if (equalsIgnoringAsciiCase(v, value)) return true;
  }
  return false;
}

bool parseProperty(std::string_view line, bool folded, VCardProperty& property) {
  const size_t colon = findOutsideQuotes(line, ':');
  if (colon == std::string_view::npos) return false;
  std::string_view head = line.substr(0, colon);
  property.rawValue = line.substr(colon + 1);
  property.head.clear();
  if (folded && head.find_first_of("\r\n") != std::string_view::npos) {
    property.head = unfold(head);
    head = property.head;
  }
  property.parameters.clear();
  const size_t semicolon = findOutsideQuotes(head, ';');
  std::string_view qualifiedName = trimBlanks(head.substr(0, semicolon));
  const size_t dot = qualifiedName.rfind('.');
  property.group = dot == std::string_view::npos ? std::string_view() : qualifiedName.substr(0, dot);
  property.name = dot == std::string_view::npos ? qualifiedName : qualifiedName.substr(dot + 1);
  if (property.name.empty()) return false;
  if (semicolon != std::string_view::npos)
    for (std::string_view text : splitOutsideQuotes(head.substr(semicolon + 1), ';'))
      if (!trimBlanks(text).empty()) property.parameters.push_back(parseParameter(text));
  return true;
}
