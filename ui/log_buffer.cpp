#include "ui/log_buffer.h"

#include <algorithm>

#include "base/utf8_text.h"

namespace {

constexpr int kTabStop = 8;

/// The columns that the character starting with `lead` takes at `column`.
int widthAt(char lead, int column) { return lead == '\t' ? kTabStop - column % kTabStop : 1; }

/// Whether the character starting with `lead` opens a new row after a row
/// that took `column` columns (and ended with a line feed when `ended`).
bool opensRow(char lead, int column, bool ended, int columns) {
  if (ended) return true;
  return lead != '\n' && column > 0 && column + widthAt(lead, column) > columns;
}

}  // namespace

LogBuffer::LogBuffer(std::size_t capacityBytes, int columns)
    : capacity_(capacityBytes), columns_(std::max(1, columns)) {}

void LogBuffer::append(std::string_view text) {
  uint64_t offset = endOffset();
  bytes_.insert(bytes_.end(), text.begin(), text.end());
  for (char c : text) {
    if (rowsStarted_ == 0) startRow(offset);
    if (!isUtf8ContinuationByte(c)) {
      if (opensRow(c, tailColumns_, tailEnded_, columns_)) startRow(offset);
      if (c == '\n')
        tailEnded_ = true;
      else
        tailColumns_ += widthAt(c, tailColumns_);
    }
    ++offset;
  }
  dropOldestRows();
}

void LogBuffer::startRow(uint64_t offset) {
  if (rowsStarted_ % kRowsPerCheckpoint == 0) {
    if (checkpoints_.empty()) firstCheckpoint_ = rowsStarted_ / kRowsPerCheckpoint;
    checkpoints_.push_back(offset);
  }
  ++rowsStarted_;
  tailColumns_ = 0;
  tailEnded_ = false;
}

void LogBuffer::dropOldestRows() {
  while (bytes_.size() > capacity_ && rowCount() > 1) {
    const uint64_t next = rowEnd(frontOffset_);
    bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(next - frontOffset_));
    frontOffset_ = next;
    ++firstRow_;
    if (!checkpoints_.empty() && firstCheckpoint_ * kRowsPerCheckpoint < firstRow_) {
      checkpoints_.pop_front();
      ++firstCheckpoint_;
    }
  }
}

uint64_t LogBuffer::rowEnd(uint64_t offset) const {
  const uint64_t end = endOffset();
  int column = 0;
  bool ended = false;
  for (uint64_t at = offset; at < end; ++at) {
    const char c = byteAt(at);
    if (isUtf8ContinuationByte(c)) continue;
    if (at > offset && opensRow(c, column, ended, columns_)) return at;
    if (c == '\n')
      ended = true;
    else
      column += widthAt(c, column);
  }
  return end;
}

uint64_t LogBuffer::rowStart(int64_t row) const {
  // The nearest kept checkpoint at or before the row, else the oldest row.
  int64_t from = firstRow_;
  uint64_t offset = frontOffset_;
  const int64_t checkpoint = row / kRowsPerCheckpoint - firstCheckpoint_;
  if (checkpoint >= 0 && checkpoint < static_cast<int64_t>(checkpoints_.size()) &&
      (checkpoint + firstCheckpoint_) * kRowsPerCheckpoint >= firstRow_) {
    from = (checkpoint + firstCheckpoint_) * kRowsPerCheckpoint;
    offset = checkpoints_[static_cast<std::size_t>(checkpoint)];
  }
  for (; from < row; ++from) offset = rowEnd(offset);
  return offset;
}

std::vector<LogRow> LogBuffer::rows(int64_t first, int count) const {
  std::vector<LogRow> rows;
  first = std::max<int64_t>(first, 0);
  const int64_t last = std::min(first + count, rowCount());
  if (first >= last) return rows;
  uint64_t start = rowStart(firstRow_ + first);
  for (int64_t row = first; row < last; ++row) {
    const uint64_t end = rowEnd(start);
    std::string bytes = text(start, end);
    if (!bytes.empty() && bytes.back() == '\n') bytes.pop_back();
    rows.push_back({start, std::move(bytes), end});
    start = end;
  }
  return rows;
}

std::string LogBuffer::text() const { return std::string(bytes_.begin(), bytes_.end()); }

std::string LogBuffer::text(uint64_t from, uint64_t to) const {
  from = std::clamp(from, frontOffset_, endOffset());
  to = std::clamp(to, from, endOffset());
  const auto begin = bytes_.begin() + static_cast<std::ptrdiff_t>(from - frontOffset_);
  return std::string(begin, begin + static_cast<std::ptrdiff_t>(to - from));
}

std::string LogBuffer::withTabsExpanded(std::string_view rowText) {
  std::string drawn;
  int column = 0;
  for (char c : rowText) {
    if (isUtf8ContinuationByte(c)) {
      drawn += c;
      continue;
    }
    const int width = widthAt(c, column);
    drawn.append(c == '\t' ? std::string(static_cast<std::size_t>(width), ' ') : std::string(1, c));
    column += width;
  }
  return drawn;
}
