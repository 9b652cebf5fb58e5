// Utf8ChunkDecoder: however a stream is cut into pieces, the text that comes
// out is the same as decoding the whole stream at once.
#include "scripts/utf8_chunk_decoder.h"

#include <gtest/gtest.h>

#include "base/utf8_text.h"

namespace {

const std::vector<std::string> kStreams = {
    "plain ascii\n",
    "caf\xC3\xA9 \xE2\x82\xAC 3 \xF0\x9D\x84\x9E clef\n",
    "bad \xFF byte, overlong \xC0\xAF, surrogate \xED\xA0\x80, too big \xF4\x90\x80\x80.",
    "\xE2\x82",              // ends inside a character
    "\xF0\x9D\x84",          // ends three bytes into a four-byte character
    "\xE2\x82\xE2\x82\xAC",  // a truncated character followed by a whole one
    "\x80\x80\xC3",
};

std::string decodeInPieces(const std::string& stream, const std::vector<size_t>& cuts) {
  Utf8ChunkDecoder decoder;
  std::string text;
  size_t from = 0;
  for (size_t cut : cuts) {
    std::string piece;
    decoder.decode(std::string_view(stream).substr(from, cut - from), piece);
    EXPECT_TRUE(isValidUtf8(piece)) << "cut at " << cut << " of " << stream;
    text += piece;
    from = cut;
  }
  decoder.decode(std::string_view(stream).substr(from), text);
  decoder.finish(text);
  return text;
}

TEST(Utf8ChunkDecoder, AnyCutGivesTheTextOfTheWholeStream) {
  for (const std::string& stream : kStreams) {
    const std::string whole = toValidUtf8(stream);
    EXPECT_EQ(decodeInPieces(stream, {}), whole) << stream;
    for (size_t first = 0; first <= stream.size(); ++first)
      for (size_t second = first; second <= stream.size(); ++second)
        EXPECT_EQ(decodeInPieces(stream, {first, second}), whole)
            << stream << " cut at " << first << " and " << second;
  }
}

}  // namespace
