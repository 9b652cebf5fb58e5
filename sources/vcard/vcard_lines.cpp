// Logical lines of vCard text; see vcard_lines.h.
#include "sources/vcard/vcard_lines.h"

#include <cstring>

namespace {

bool isFoldBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

ContentLineReader::ContentLineReader(std::string_view text)
    : text_(text), crOnly_(text.find('\n') == std::string_view::npos) {}

size_t ContentLineReader::physicalEnd(size_t from) const {
  const char eol = crOnly_ ? '\r' : '\n';
  const void* hit = std::memchr(text_.data() + from, eol, text_.size() - from);
  size_t end = hit ? static_cast<const char*>(hit) - text_.data() : text_.size();
  if (!crOnly_)
    while (end > from && text_[end - 1] == '\r') --end;
  return end;
}

size_t ContentLineReader::afterLineEnd(size_t end) const {
  size_t next = end;
  while (next < text_.size() && text_[next] == '\r') ++next;
  if (!crOnly_ && next < text_.size() && text_[next] == '\n') ++next;
  return next;
}

bool ContentLineReader::next(RawLine& line) {
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
  while (!line.text.empty() && line.text.back() == '=' && pos_ < text_.size()) {
    RawLine more;
    if (!next(more)) break;
    const size_t end = (more.text.data() - text_.data()) + more.text.size();
    line.text = text_.substr(start, end - start);
    line.folded = true;
  }
}

void appendUnfolded(std::string_view raw, std::string& out) {
  size_t pos = 0;
  while (pos < raw.size()) {
    const size_t lineEnd = raw.find_first_of("\r\n", pos);
    if (lineEnd == std::string_view::npos) {
      out.append(raw.substr(pos));
      return;
    }
    out.append(raw.substr(pos, lineEnd - pos));
    size_t next = lineEnd;
    while (next < raw.size() && raw[next] == '\r') ++next;
    if (next < raw.size() && raw[next] == '\n') ++next;
    if (next < raw.size() && isFoldBlank(raw[next]))
      ++next;  // a fold: the line end and one blank vanish
    else
      out.push_back('\n');  // a soft break of quoted-printable text
    pos = next;
  }
}

std::string unfold(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  appendUnfolded(raw, out);
  return out;
}
