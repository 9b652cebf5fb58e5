// Logical lines of vCard text; see vcard_lines.h.
#include "sources/vcard/vcard_lines.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/ascii_case.h"

namespace {

bool isFoldBlank(char c) { return c == ' ' || c == '\t'; }

/// The first CR or LF at or after `from`, or the end of `text`: one pass,
/// sixteen bytes at a time where the processor allows.
size_t findLineEnd(std::string_view text, size_t from) {
  size_t at = from;
#if defined(__SSE2__)
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i cr = _mm_set1_epi8('\r');
  for (; at + 16 <= text.size(); at += 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
    const int hits = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(chunk, lf), _mm_cmpeq_epi8(chunk, cr)));
    if (hits != 0) return at + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(hits)));
  }
#endif
  for (; at < text.size(); ++at)
    if (text[at] == '\n' || text[at] == '\r') return at;
  return text.size();
}

}  // namespace

ContentLineReader::ContentLineReader(std::string_view text) : text_(text) {}

size_t ContentLineReader::physicalEnd(size_t from) const { return findLineEnd(text_, from); }

size_t ContentLineReader::afterLineEnd(size_t end) const {
  size_t next = end;
  while (next < text_.size() && text_[next] == '\r') ++next;
  if (next < text_.size() && text_[next] == '\n') ++next;
  return next;
}

bool ContentLineReader::next(RawLine& line) {
  // Windows tools start a file with a byte-order mark, and files joined
  // together keep each one's.
  if (text_.substr(pos_).starts_with("\xEF\xBB\xBF")) pos_ += 3;
  if (pos_ >= text_.size()) return false;
  const size_t start = pos_;
  size_t end = physicalEnd(start);
  size_t next = afterLineEnd(end);
  bool folded = false;
  while (next < text_.size() && isFoldBlank(text_[next])) {
    folded = true;
    end = physicalEnd(next);
    next = afterLineEnd(end);
  }
  pos_ = next;
  line.text = text_.substr(start, end - start);
  line.folded = folded;
  return true;
}

void ContentLineReader::extendSoftBreaks(RawLine& line) {
  const size_t start = line.text.data() - text_.data();
  while (endsInSoftBreak(line.text)) {
    const size_t pos = pos_;
    RawLine more;
    if (!next(more)) break;
    if (isCardBoundary(more.text)) {  // a card's own END or BEGIN is never a value's continuation
      pos_ = pos;
      break;
    }
    const size_t end = (more.text.data() - text_.data()) + more.text.size();
    line.text = text_.substr(start, end - start);
    line.folded = true;
  }
}

bool endsInSoftBreak(std::string_view text) {
  while (!text.empty() && isFoldBlank(text.back())) text.remove_suffix(1);
  return text.ends_with('=');
}

bool isCardBoundary(std::string_view line) {
  while (!line.empty() && isFoldBlank(line.back())) line.remove_suffix(1);
  for (const std::string_view boundary : {"BEGIN:VCARD", "END:VCARD"})
    if (line.size() == boundary.size() && equalsIgnoringAsciiCase(line, boundary)) return true;
  return false;
}

void appendUnfolded(std::string_view raw, std::string& out, bool keepSoftBreaks) {
  size_t pos = 0;
  while (pos < raw.size()) {
    const size_t lineEnd = raw.find_first_of("\r\n", pos);
    if (lineEnd == std::string_view::npos) {
      out.append(raw.substr(pos));
      return;
    }
    const std::string_view before = raw.substr(pos, lineEnd - pos);
    out.append(before);
    size_t next = lineEnd;
    while (next < raw.size() && raw[next] == '\r') ++next;
    if (next < raw.size() && raw[next] == '\n') ++next;
    // After a soft break the next line is taken whole, a leading blank included.
    const bool soft = keepSoftBreaks && endsInSoftBreak(raw.substr(0, lineEnd));
    if (!soft && next < raw.size() && isFoldBlank(raw[next]))
      ++next;  // a fold: the line end and one blank vanish
    else
      out.push_back('\n');  // a soft break of quoted-printable text
    pos = next;
  }
}

bool unfoldsToNothing(std::string_view raw) {
  size_t pos = 0;
  while (pos < raw.size()) {
    if (raw[pos] != '\r' && raw[pos] != '\n') return false;
    while (pos < raw.size() && raw[pos] == '\r') ++pos;
    if (pos < raw.size() && raw[pos] == '\n') ++pos;
    if (pos == raw.size() || !isFoldBlank(raw[pos])) return false;  // a line end that stays
    ++pos;
  }
  return true;
}

std::string unfold(std::string_view raw, bool keepSoftBreaks) {
  std::string out;
  out.reserve(raw.size());
  appendUnfolded(raw, out, keepSoftBreaks);
  return out;
}
