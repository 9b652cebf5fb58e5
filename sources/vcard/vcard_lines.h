// Splits vCard text into logical content lines: a physical line ends at every
// LF, CR LF or lone CR (a run of CRs, with or without an LF after it, counts
// once), whatever the rest of the file uses; a physical line that starts with
// a blank or a tab continues the one before it. A UTF-8 byte-order mark at
// the start of a line is skipped. The lines are views into the text, folds
// included, so a long picture line is never copied.
// A reader belongs to one thread; the functions are pure.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

/// One logical line as it stands in the file, from its first byte to the end
/// of its last physical line (line ends and fold blanks still inside).
struct RawLine {
  std::string_view text;
  bool folded = false;  ///< whether `text` holds a line end that unfolding removes
};

class ContentLineReader {
 public:
  explicit ContentLineReader(std::string_view text);

  /// The next logical line, or false at the end of the text.
  bool next(RawLine& line);

  /// Quoted-printable values of old writers break lines with a final `=`
  /// (blanks after it allowed) and go on at the start of the next line; this
  /// joins those lines onto `line`, up to a line that is a card's own
  /// BEGIN:VCARD or END:VCARD.
  void extendSoftBreaks(RawLine& line);

  /// Bytes from the start of the text to where the next line begins.
  size_t offset() const { return pos_; }

 private:
  /// End of the physical line that starts at `from` (its line end excluded).
  size_t physicalEnd(size_t from) const;
  /// Where the physical line after the one ending at `end` starts.
  size_t afterLineEnd(size_t end) const;

  std::string_view text_;
  size_t pos_ = 0;
};

/// Whether `text` ends in a quoted-printable soft break: `=` and any blanks.
bool endsInSoftBreak(std::string_view text);

/// Whether `line` is BEGIN:VCARD or END:VCARD (any letter case).
bool isCardBoundary(std::string_view line);

/// `raw` without its folds: each line end followed by one blank or tab is
/// removed together with that blank or tab; other line ends are kept as LF.
/// With `keepSoftBreaks`, a line end after a quoted-printable soft break is
/// kept as LF and the next line kept whole, for the decoder to join.
std::string unfold(std::string_view raw, bool keepSoftBreaks = false);

/// Whether unfold(raw) is empty, told without copying.
bool unfoldsToNothing(std::string_view raw);

/// Appends unfold(raw, keepSoftBreaks) to `out`.
void appendUnfolded(std::string_view raw, std::string& out, bool keepSoftBreaks = false);
