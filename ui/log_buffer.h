// The setup log's text and its display rows. It keeps the newest output that
// fits in its capacity, byte for byte, and drops the oldest rows, so a script
// stuck printing cannot exhaust memory. A row is what one line of the pane
// shows: a line of output, or `columns` columns of a longer one (a tab
// reaches the next multiple of 8). Rows are found again by scanning from a
// checkpoint kept every 64 rows, so the index stays small even for millions
// of short lines.
//
// Not thread safe: one thread (the UI thread) owns it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

/// One display row: where its bytes start in the whole output, its bytes
/// without the line feed that ends it, and where the next row starts.
struct LogRow {
  uint64_t offset = 0;
  std::string text;
  uint64_t end = 0;
};

class LogBuffer {
 public:
  /// The most output the setup log keeps.
  static constexpr std::size_t kCapacityBytes = 64 * 1024 * 1024;

  LogBuffer(std::size_t capacityBytes, int columns);
  LogBuffer(const LogBuffer&) = delete;
  LogBuffer& operator=(const LogBuffer&) = delete;

  /// Adds `text` (whole UTF-8 characters) at the end; drops the oldest rows
  /// while more than the capacity is kept.
  void append(std::string_view text);

  /// Everything kept, unchanged: all output while it fits in the capacity,
  /// then its newest part, starting where a row starts.
  std::string text() const;

  /// The kept bytes between two offsets of the whole output.
  std::string text(uint64_t from, uint64_t to) const;

  /// Offsets in the whole output of the oldest kept byte and of the end.
  uint64_t firstOffset() const { return frontOffset_; }
  uint64_t endOffset() const { return frontOffset_ + bytes_.size(); }

  /// Rows kept; row 0 is the oldest.
  int64_t rowCount() const { return rowsStarted_ - firstRow_; }

  /// Up to `count` rows from row `first` on.
  std::vector<LogRow> rows(int64_t first, int count) const;

  /// A row's text as drawn: each tab replaced by the spaces it stands for.
  static std::string withTabsExpanded(std::string_view rowText);

 private:
  static constexpr int64_t kRowsPerCheckpoint = 64;

  /// Where the row that starts at `offset` ends (the next row's start).
  uint64_t rowEnd(uint64_t offset) const;
  /// Where row `row` (counted from the first ever) starts.
  uint64_t rowStart(int64_t row) const;
  void startRow(uint64_t offset);
  void dropOldestRows();
  char byteAt(uint64_t offset) const { return bytes_[offset - frontOffset_]; }

  std::size_t capacity_;
  int columns_;
  std::deque<char> bytes_;
  uint64_t frontOffset_ = 0;  // offset of bytes_.front() in the whole output
  int64_t rowsStarted_ = 0;
  int64_t firstRow_ = 0;  // the oldest kept row, counted from the first ever
  // Start of every 64th row (counted from the first ever) still kept;
  // checkpoints_.front() belongs to row firstCheckpoint_ * 64.
  std::deque<uint64_t> checkpoints_;
  int64_t firstCheckpoint_ = 0;
  int tailColumns_ = 0;     // columns taken in the last row
  bool tailEnded_ = false;  // the last row ends with a line feed
};
