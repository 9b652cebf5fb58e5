#include "scripts/utf8_chunk_decoder.h"

#include "base/utf8_text.h"

void Utf8ChunkDecoder::decode(std::string_view bytes, std::string& text) {
  if (held_.empty()) {
    const size_t tail = incompleteUtf8Tail(bytes);
    appendValidUtf8(text, bytes.substr(0, bytes.size() - tail));
    held_.assign(bytes.substr(bytes.size() - tail));
    return;
  }
  // A character was split at the end of the last piece: join the pieces. This
  // copy happens only at such a split, so its cost does not matter.
  std::string joined = std::move(held_);
  joined.append(bytes);
  held_.clear();
  decode(joined, text);
}

void Utf8ChunkDecoder::finish(std::string& text) {
  appendValidUtf8(text, held_);
  held_.clear();
}
