#include "app/mode_table.h"

#include <gtest/gtest.h>

namespace {

std::string chosen(const Arguments& args) {
  const Mode* mode = chooseMode(args);
  return mode ? mode->flag : "window";
}

TEST(ChooseMode, FirstFlagInTableOrderWins) {
  const std::vector<std::pair<Arguments, std::string>> cases = {
      {{}, "window"},
      {{"--canary"}, "--canary"},
      {{"--setup", "--canary"}, "--canary"},
      {{"--contact-face", "--contact-faces-scan"}, "--contact-faces-scan"},
      {{"--contact-face", "--id", "--tick"}, "--tick"},
      {{"--canary=1"}, "window"},
      {{"--Canary", "-canary", "canary"}, "window"},
      {{"--install-mode", "--from", "3"}, "window"},
  };
  for (const auto& [args, expected] : cases) EXPECT_EQ(chosen(args), expected) << testing::PrintToString(args);
}

TEST(CalendarWindow, DefaultsReachTenYearsBackAnd400DaysAheadElseAsAsked) {
  const double now = 1.8e9;
  EventWindow window = calendarWindow({"--calendar-dump", "--to", "x"}, now);
  EXPECT_EQ(window.fromUnix, now - 315360000);
  EXPECT_EQ(window.toUnix, now + 34560000);
  // No check that the start comes first: the store sees what was asked.
  window = calendarWindow({"--from", "200.5", "--to", "100"}, now);
  EXPECT_EQ(window.fromUnix, 200.5);
  EXPECT_EQ(window.toUnix, 100);
}

}  // namespace
