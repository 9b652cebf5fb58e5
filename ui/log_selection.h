// The part of the setup log a person has selected, held in offsets of the
// whole output (as LogBuffer numbers its bytes), so it stays on its text
// while output arrives and goes as soon as the log drops any of that text.
// Its ends are found on a row's text character by character, so a selection
// never starts or ends inside a UTF-8 character.
//
// Not thread safe: the UI thread owns it, beside its LogBuffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class LogBuffer;
struct LogRow;

class LogSelection {
 public:
  /// How wide the start of a row's text is drawn, tabs expanded.
  using WidthOf = std::function<double(std::string_view rowPrefix)>;

  /// Starts a selection at `offset`, as a press does: empty, anchored there.
  void start(uint64_t offset) { anchor_ = cursor_ = offset; }
  /// Moves the free end to `offset`, as a drag or a Shift+click does.
  void extendTo(uint64_t offset) { cursor_ = offset; }
  /// Selects the bytes from `from` to `to` (a word, a row, everything).
  void select(uint64_t from, uint64_t to) {
    anchor_ = from;
    cursor_ = to;
  }
  /// Forgets the selection once `log` has dropped any of its text.
  void keepWithin(const LogBuffer& log);

  uint64_t from() const { return anchor_ < cursor_ ? anchor_ : cursor_; }
  uint64_t to() const { return anchor_ < cursor_ ? cursor_ : anchor_; }
  bool isEmpty() const { return anchor_ == cursor_; }
  /// The selected bytes of `log`, exactly as written.
  std::string text(const LogBuffer& log) const;

  /// Selects the word drawn across `x` of `row` (letters, digits,
  /// underscores and all non-ASCII characters), or the one character there;
  /// right of the row's text, the word the text ends with.
  void selectWordAt(const LogRow& row, double x, const WidthOf& widthOf);

  /// The offset of the character boundary of `row` nearest to `x`.
  static uint64_t offsetAt(const LogRow& row, double x, const WidthOf& widthOf);

 private:
  uint64_t anchor_ = 0;
  uint64_t cursor_ = 0;
};
