#include "ui/log_selection.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <vector>

#include "base/utf8_text.h"
#include "ui/log_buffer.h"

namespace {

/// Letters, digits, underscores, and every byte of a non-ASCII character,
/// so a word never ends inside one.
bool isWordByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x80 || c == '_' || std::isalnum(byte);
}

/// Every character start of `rowText`, then its end.
std::vector<std::size_t> boundaries(std::string_view rowText) {
  std::vector<std::size_t> at;
  for (std::size_t i = 0; i < rowText.size(); ++i)
    if (!isUtf8ContinuationByte(rowText[i])) at.push_back(i);
  at.push_back(rowText.size());
  return at;
}

/// The first of `at` drawn right of `x`; widths grow with the prefix.
std::vector<std::size_t>::const_iterator firstRightOf(const std::vector<std::size_t>& at,
                                                      std::string_view rowText, double x,
                                                      const LogSelection::WidthOf& widthOf) {
  return std::partition_point(at.begin(), at.end(),
                              [&](std::size_t b) { return widthOf(rowText.substr(0, b)) <= x; });
}

}  // namespace

void LogSelection::keepWithin(const LogBuffer& log) {
  if (from() < log.firstOffset()) start(log.firstOffset());
}

std::string LogSelection::text(const LogBuffer& log) const { return log.text(from(), to()); }

uint64_t LogSelection::offsetAt(const LogRow& row, double x, const WidthOf& widthOf) {
  const std::vector<std::size_t> at = boundaries(row.text);
  const auto right = firstRightOf(at, row.text, x, widthOf);
  if (right == at.begin()) return row.offset;
  if (right == at.end()) return row.offset + row.text.size();
  const std::size_t left = *std::prev(right);
  const double toLeft = x - widthOf(std::string_view(row.text).substr(0, left));
  const double toRight = widthOf(std::string_view(row.text).substr(0, *right)) - x;
  return row.offset + (toLeft <= toRight ? left : *right);
}

void LogSelection::selectWordAt(const LogRow& row, double x, const WidthOf& widthOf) {
  const std::vector<std::size_t> at = boundaries(row.text);
  const auto right = firstRightOf(at, row.text, x, widthOf);
  std::size_t from = right == at.begin() ? 0 : *std::prev(right), to = from;
  if (from < row.text.size() && !isWordByte(row.text[from])) {
    ++to;  // not a word byte, so a character of one byte
  } else {
    while (from > 0 && isWordByte(row.text[from - 1])) --from;
    while (to < row.text.size() && isWordByte(row.text[to])) ++to;
  }
  select(row.offset + from, row.offset + to);
}
