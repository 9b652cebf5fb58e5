// Building one card from its properties; see vcard_card.h.
#include "sources/vcard/vcard_card.h"

#include <array>

#include "base/ascii_case.h"
#include "sources/vcard/vcard_lines.h"
#include "sources/vcard/vcard_values.h"

namespace {

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool isQuotedPrintable(const VCardProperty& property) {
  return property.hasParameterValue("QUOTED-PRINTABLE", "ENCODING");
}

/// A `file:` URI as a local path: `file:///p`, `file:/p` or
/// `file://localhost/p`; another host, or a NUL byte (`%00`), gives nothing.
std::optional<std::string> localPathOfFileUri(std::string_view uri) {
  if (!startsWithIgnoringAsciiCase(uri, "file:")) return std::nullopt;
  std::string_view rest = uri.substr(5);
  if (rest.substr(0, 2) == "//") {
    rest.remove_prefix(2);
    const size_t slash = rest.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    const std::string_view host = rest.substr(0, slash);
    if (!host.empty() && !equalsIgnoringAsciiCase(host, "localhost")) return std::nullopt;
    rest.remove_prefix(slash);
  }
  if (rest.empty() || rest.front() != '/') return std::nullopt;
  std::string path = percentDecode(rest);
  if (path.find('\0') != std::string::npos) return std::nullopt;
  return path;
}

bool containsIgnoringCase(std::string_view text, std::string_view part) {
  for (size_t at = 0; at + part.size() <= text.size(); ++at)
    if (equalsIgnoringAsciiCase(text.substr(at, part.size()), part)) return true;
  return false;
}

}  // namespace

std::string decodedValueText(const VCardProperty& property, bool folded) {
  const bool quotedPrintable = isQuotedPrintable(property);
  std::string text = folded ? unfold(property.rawValue, quotedPrintable) : std::string(property.rawValue);
  if (quotedPrintable) text = decodeQuotedPrintable(text);
  return toUtf8FromCharset(text, property.parameter("CHARSET").value_or(std::string_view()));
}

std::string nameFromStructuredName(std::string_view decodedValue, bool commasSeparate) {
  const std::vector<std::string_view> parts = splitUnescaped(decodedValue, ';');
  // N holds family;given;additional;prefix;suffix; a name reads prefix first.
  constexpr std::array<size_t, 5> readingOrder = {3, 1, 2, 0, 4};
  std::string name;
  for (const size_t index : readingOrder) {
    if (index >= parts.size()) continue;
    for (std::string_view piece : commasSeparate ? splitUnescaped(parts[index], ',') : std::vector{parts[index]}) {
      const std::string text = unescapeText(trimmed(piece));
      if (text.empty()) continue;
      if (!name.empty()) name.push_back(' ');
      name.append(text);
    }
  }
  return name;
}

VCardBuilder::VCardBuilder(size_t position, const VCardNeeds& needs) : needs_(needs) {
  card_.position = position;
}

void VCardBuilder::add(const VCardProperty& property, bool folded) {
  if (property.is("VERSION")) {
    version21_ = trimmed(property.rawValue) == "2.1";
  } else if (property.is("UID")) {
    if (card_.uid.empty()) card_.uid = unescapeText(trimmed(decodedValueText(property, folded)));
  } else if (needs_.names && property.is("FN")) {
    if (!formattedName_ || formattedName_->empty()) formattedName_ = unescapeText(decodedValueText(property, folded));
  } else if (needs_.names && property.is("N")) {
    structuredNames_.push_back(decodedValueText(property, folded));
  } else if (needs_.handles && property.is("TEL")) {
    std::string number = unescapeText(decodedValueText(property, folded));
    if (startsWithIgnoringAsciiCase(number, "tel:")) number.erase(0, 4);
    card_.phoneNumbers.push_back(std::move(number));
  } else if (needs_.handles && property.is("EMAIL")) {
    card_.emailAddresses.push_back(unescapeText(decodedValueText(property, folded)));
  } else if (needs_.photos && property.is("PHOTO")) {
    addPhoto(property, folded);
  }
}

void VCardBuilder::addPhoto(const VCardProperty& property, bool folded) {
  if (property.hasParameterValue("B", "ENCODING") || property.hasParameterValue("BASE64", "ENCODING")) {
    card_.photos.push_back({PhotoSource::Kind::inlineBase64, property.rawValue, {}});
    return;
  }
  // Only the start of the value is unfolded: enough to tell a data: URI or a
  // file: URI, without copying a picture.
  std::string_view raw = property.rawValue;
  while (!raw.empty() && (raw.front() == ' ' || raw.front() == '\t')) raw.remove_prefix(1);
  const std::string start = unfold(raw.substr(0, 16));
  if (startsWithIgnoringAsciiCase(start, "data:")) {
    const size_t comma = raw.find(',');
    if (comma == std::string_view::npos) return;
    const std::string header = unfold(raw.substr(0, comma));
    const bool base64 = containsIgnoringCase(header, ";base64");
    const PhotoSource::Kind kind = base64 ? PhotoSource::Kind::inlineBase64 : PhotoSource::Kind::inlineText;
    card_.photos.push_back({kind, raw.substr(comma + 1), {}});
  } else if (startsWithIgnoringAsciiCase(start, "file:")) {
    const std::string uri = unescapeText(trimmed(folded ? unfold(raw) : std::string(raw)));
    if (std::optional<std::string> path = localPathOfFileUri(uri))
      card_.photos.push_back({PhotoSource::Kind::file, {}, std::move(*path)});
  }
}

VCardCard VCardBuilder::finish() {
  if (formattedName_ && !formattedName_->empty()) {
    card_.fullName = std::move(*formattedName_);
    return std::move(card_);
  }
  // vCard 2.1 separates the parts of N by semicolons only: a comma is text.
  for (const std::string& value : structuredNames_) {
    card_.fullName = nameFromStructuredName(value, !version21_);
    if (!card_.fullName.empty()) break;
  }
  return std::move(card_);
}
