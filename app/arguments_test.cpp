#include "app/arguments.h"

#include <gtest/gtest.h>

namespace {

TEST(NumericArg, ReadsTheWholeNextArgumentAsANumber) {
  const double fallback = -7;
  const std::vector<std::pair<Arguments, double>> cases = {
      {{"--from", "1e9"}, 1e9},
      {{"--from", "100", "--from", "200"}, 100},  // the first occurrence counts
      {{"--to", "5", "--from", "6"}, 6},
      {{"--from", " 5"}, fallback},
      {{"--from", "5 "}, fallback},
      {{"--from", "12abc"}, fallback},
      {{"--from", ""}, fallback},
      {{"--from"}, fallback},  // last: nothing follows
      {{}, fallback},
      {{"--from=5"}, fallback},
      {{"--FROM", "5"}, fallback},
  };
  for (const auto& [args, expected] : cases)
    EXPECT_EQ(numericArg(args, "--from", fallback), expected) << testing::PrintToString(args);
}

TEST(StringArg, TakesTheNextArgumentUnchanged) {
  EXPECT_EQ(stringArg({"--id", "abc"}, "--id"), "abc");
  EXPECT_EQ(stringArg({"--id", "--tick"}, "--id"), "--tick");
  EXPECT_EQ(stringArg({"--id", "a", "--id", "b"}, "--id"), "a");
  EXPECT_EQ(stringArg({"--id"}, "--id"), "");
  EXPECT_EQ(stringArg({}, "--id"), "");
}

}  // namespace
