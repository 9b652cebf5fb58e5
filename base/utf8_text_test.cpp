#include "base/utf8_text.h"

#include <gtest/gtest.h>

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
      {"\xE0\x9F\xBF", kFFFD + kFFFD + kFFFD},           // overlong
      {"\xF0\x8F\xBF\xBF", kFFFD + kFFFD + kFFFD + kFFFD},  // overlong
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

// The fast validator and the repairing scanner are written apart: on every
// string of up to four bytes drawn from the edges of the encoding's ranges
// they must agree on what is valid. A byte that is never valid after the
// string keeps the repair from taking the validator's word for it.
TEST(Utf8Text, ValidatorAgreesWithTheRepairOnEveryEdgeByteString) {
  static constexpr char kEdges[] =
      "\x00\x7F\x80\x8F\x90\x9F\xA0\xBF\xC1\xC2\xDF\xE0\xE1\xED\xEE\xF0\xF3\xF4\xF5\xFF";
  const std::string edges(kEdges, sizeof kEdges - 1);  // the first byte is NUL
  std::vector<std::string> strings = {""};
  for (size_t from = 0; from < strings.size(); ++from) {
    if (strings[from].size() == 4) continue;
    for (char byte : edges) {
      const std::string text = strings[from] + byte;
      ASSERT_EQ(isValidUtf8(text), toValidUtf8(text + "\xFF") == text + kFFFD)
          << testing::PrintToString(text);
      strings.push_back(text);
    }
  }
}

}  // namespace
