// Turns a byte stream that arrives in arbitrary pieces into valid UTF-8 text,
// piece by piece. A character split between two pieces is held back and
// completed by the next one; bytes that can never become valid are replaced
// with U+FFFD. No byte is dropped. One decoder serves one stream and is used
// by one thread at a time (handing it over needs a happens-before, e.g. join).
#pragma once

#include <string>
#include <string_view>

/// Decodes one byte stream chunk by chunk.
class Utf8ChunkDecoder {
 public:
  /// Appends to `text` the valid UTF-8 of the held-back bytes followed by
  /// `bytes`, except for an incomplete character at the very end, which is
  /// held back for the next call.
  void decode(std::string_view bytes, std::string& text);

  /// Appends to `text` what is still held back, as U+FFFD (the stream ended
  /// inside a character), and starts over.
  void finish(std::string& text);

 private:
  std::string held_;  // at most three bytes
};
