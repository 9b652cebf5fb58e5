// The built program, run as its callers run it.
#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace {

using test::runProgram;
using test::ScopedTempDir;

TEST(Program, WindowWithoutDisplaySaysSoInOneLine) {
  ScopedTempDir home;
  auto run = runProgram({"--canary=1", "--unknown"},
                        {{"HOME", home.path()},
                         {"TOVANA_MERVO_ROOT", home / "none"},
                         {"DISPLAY", std::nullopt},
                         {"WAYLAND_DISPLAY", std::nullopt},
                         {"QT_QPA_PLATFORM", std::nullopt}});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  ASSERT_FALSE(run.err.empty());
  EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
}

}  // namespace
