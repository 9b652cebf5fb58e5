#include "base/utf8_text.h"

#include <gtest/gtest.h>

#include <unordered_set>
#include <vector>

namespace {

const std::string kFFFD = "\xEF\xBF\xBD";

TEST(Utf8Text, RepairsEachIllFormedSubpartOnce) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", ""},
      {"plain ascii text", "plain ascii text"},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"a\xFF" "b", "a" + kFFFD + "b"},
      {"\xC0\xAF", kFFFD + kFFFD},                       // overlong
      {"\xED\xA0\x80", kFFFD + kFFFD + kFFFD},           // surrogate
      {"\xF4\x90\x80\x80", kFFFD + kFFFD + kFFFD + kFFFD},  // above U+10FFFF
      {"\xE2\x82" "x", kFFFD + "x"},                     // truncated in the middle
      {"\xF0\x9F\x98", kFFFD},                           // truncated at the end
      {"\xE9t\xE9", kFFFD + "t" + kFFFD},                // Latin-1 bytes
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const auto& [input, expected] : cases) {
    EXPECT_EQ(toValidUtf8(input), expected) << testing::PrintToString(input);
    EXPECT_EQ(isValidUtf8(input), input == expected) << testing::PrintToString(input);
    EXPECT_TRUE(isValidUtf8(toValidUtf8(input)));
  }
}

TEST(Utf8Text, FindsOnlyTailsThatMayStillComplete) {
  const std::vector<std::pair<std::string, size_t>> cases = {
      {"", 0},
      {"abc", 0},
      {"ab\xC3", 1},
      {"\xE2\x82", 2},
      {"x\xF0\x9F\x98", 3},
      {"\xF0\x9F\x98\x80", 0},  // complete
      {"a\xFF", 0},             // never valid
      {"a\xE0\x80", 0},         // overlong start, never valid
      {"a\xED\xA0", 0},         // surrogate start, never valid
      {"\xC3\xA9\xC3", 1},
  };
  for (const auto& [input, expected] : cases)
    EXPECT_EQ(incompleteUtf8Tail(input), expected) << testing::PrintToString(input);
}

// Every string of up to four bytes drawn from the bytes at the edges of the
// encoding's ranges: valid exactly when it splits into encoded scalar values.
TEST(Utf8Text, ValidatorAgreesWithTheEncoderOnEveryEdgeByteString) {
  static constexpr char kEdges[] =
      "\x00\x7F\x80\x8F\x90\x9F\xA0\xBF\xC1\xC2\xDF\xE0\xE1\xED\xEE\xF0\xF3\xF4\xF5\xFF";
  const std::string edges(kEdges, sizeof kEdges - 1);  // the first byte is NUL
  ASSERT_EQ(edges.size(), 20u);
  const auto encode = [](uint32_t c) {
    std::string out;
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += {char(0xC0 | c >> 6), char(0x80 | (c & 0x3F))};
    } else if (c < 0x10000) {
      out += {char(0xE0 | c >> 12), char(0x80 | (c >> 6 & 0x3F)), char(0x80 | (c & 0x3F))};
    } else {
      out += {char(0xF0 | c >> 18), char(0x80 | (c >> 12 & 0x3F)), char(0x80 | (c >> 6 & 0x3F)),
              char(0x80 | (c & 0x3F))};
    }
    return out;
  };
  std::unordered_set<std::string> characters;  // encodings made only of edge bytes
  for (uint32_t c = 0; c <= 0x10FFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    std::string bytes = encode(c);
    if (bytes.find_first_not_of(edges) == std::string::npos) characters.insert(bytes);
  }
  const auto splitsIntoCharacters = [&](const std::string& text) {
    std::vector<bool> reachable(text.size() + 1, false);
    reachable[0] = true;
    for (size_t from = 0; from < text.size(); ++from) {
      if (!reachable[from]) continue;
      for (size_t length = 1; length <= 4 && from + length <= text.size(); ++length)
        if (characters.count(text.substr(from, length))) reachable[from + length] = true;
    }
    return bool(reachable[text.size()]);
  };
  std::vector<std::string> strings = {""};
  for (int length = 1; length <= 4; ++length) {
    std::vector<std::string> longer;
    for (const std::string& prefix : strings)
      if (prefix.size() == size_t(length - 1))
        for (char byte : edges) longer.push_back(prefix + byte);
    for (const std::string& text : longer)
      ASSERT_EQ(isValidUtf8(text), splitsIntoCharacters(text)) << testing::PrintToString(text);
    strings.insert(strings.end(), longer.begin(), longer.end());
  }
}

}  // namespace
