// Walking the cards of one vCard text; see vcard_reader.h.
#include "sources/vcard/vcard_reader.h"

#include <utility>
#include <vector>

#include "base/ascii_case.h"
#include "sources/vcard/vcard_lines.h"

namespace {

bool namesVCard(std::string_view rawValue) {
  while (!rawValue.empty() && (rawValue.front() == ' ' || rawValue.front() == '\t')) rawValue.remove_prefix(1);
  while (!rawValue.empty() && (rawValue.back() == ' ' || rawValue.back() == '\t')) rawValue.remove_suffix(1);
  return equalsIgnoringAsciiCase(rawValue, "VCARD");
}

}  // namespace

void readVCards(std::string_view text, const VCardNeeds& needs, const std::function<void(VCardCard&)>& visit,
                const std::function<void(size_t, size_t)>& onProgress, size_t firstPosition, bool endsText) {
  ContentLineReader lines(text);
  std::vector<VCardBuilder> open;  // innermost last
  size_t passedOver = 0;           // cards open below kMaxVCardDepth
  size_t nextPosition = firstPosition;
  bool afterAgent = false;         // the line before was an AGENT property
  RawLine line;
  VCardProperty property;
  // Hands out the cards still open, innermost first: they keep what they hold.
  const auto closeOpenCards = [&] {
    for (; !open.empty(); open.pop_back()) {
      VCardCard card = open.back().finish();
      visit(card);
    }
    passedOver = 0;
  };
  for (size_t lineStart = 0; lines.next(line); lineStart = lines.offset()) {
    if (!parseProperty(line.text, line.folded, property)) continue;
    const bool followsAgent = std::exchange(afterAgent, property.is("AGENT"));
    if (property.is("BEGIN")) {
      if (!namesVCard(property.rawValue)) continue;
      // Only an agent's card nests; any other BEGIN starts a card of its own
      // after the ones left open, which are done with.
      if (!followsAgent && !open.empty()) {
        closeOpenCards();
        if (onProgress) onProgress(lineStart, nextPosition - firstPosition);
      }
      if (open.size() < kMaxVCardDepth)
        open.emplace_back(nextPosition++, needs);
      else
        ++passedOver;
      continue;
    }
    if (property.is("END")) {
      if (!namesVCard(property.rawValue) || open.empty()) continue;
      if (passedOver > 0) {
        --passedOver;
        continue;
      }
      VCardCard card = open.back().finish();
      open.pop_back();
      visit(card);
      if (open.empty() && onProgress) onProgress(lines.offset(), nextPosition - firstPosition);
      continue;
    }
    if (open.empty() || passedOver > 0) continue;
    if (endsInSoftBreak(property.rawValue) && property.hasParameterValue("QUOTED-PRINTABLE", "ENCODING")) {
      lines.extendSoftBreaks(line);
      if (!parseProperty(line.text, true, property)) continue;
    }
    open.back().add(property, line.folded);
  }
  if (endsText) closeOpenCards();  // cut short by the end of the text
}
