#include "app/arguments.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct NumberCase {
  std::vector<std::string> args;
  double expected;
};

TEST(NumericArg, ReadsWhatStrtodReadsInWhole) {
  const double fallback = -7;
  const std::vector<NumberCase> cases = {
      {{"--from", "1e9"}, 1e9},
      {{"--from", "+12.5"}, 12.5},
      {{"--from", "0x1p4"}, 16},
      {{"--from", "INF"}, INFINITY},
      {{"--from", "100", "--from", "200"}, 100},  // the first occurrence counts
      {{"--to", "5", "--from", "6"}, 6},
      {{"--from", " 5"}, fallback},
      {{"--from", "5 "}, fallback},
      {{"--from", "12abc"}, fallback},
      {{"--from", "1,5"}, fallback},
      {{"--from", ""}, fallback},
      {{"--from"}, fallback},  // last: nothing follows
      {{}, fallback},
      {{"--from=5"}, fallback},
      {{"--FROM", "5"}, fallback},
  };
  for (const auto& c : cases) {
    std::string shown;
    for (const auto& a : c.args) shown += "[" + a + "]";
    EXPECT_EQ(numericArg(c.args, "--from", fallback), c.expected) << shown;
  }
  EXPECT_TRUE(std::isnan(numericArg({"--from", "nan"}, "--from", 0)));
  EXPECT_EQ(numericArg({"--from", "1e999"}, "--from", 0), INFINITY);
}

TEST(StringArg, TakesTheNextArgumentUnchanged) {
  EXPECT_EQ(stringArg({"--id", "abc"}, "--id"), "abc");
  EXPECT_EQ(stringArg({"--id", "--tick"}, "--id"), "--tick");
  EXPECT_EQ(stringArg({"--id", "a", "--id", "b"}, "--id"), "a");
  EXPECT_EQ(stringArg({"--id"}, "--id"), "");
  EXPECT_EQ(stringArg({}, "--id"), "");
}

}  // namespace
