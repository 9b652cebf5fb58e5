// The home directory: $HOME, or the user database's entry when it is empty.
#include "base/home_directory.h"

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace {

using test::ScopedEnv;

TEST(HomeDirectory, FallsBackToTheUserDatabase) {
  ScopedEnv empty("HOME", "");
  const std::string fromDatabase = homeDirectory();
  EXPECT_FALSE(fromDatabase.empty());
  EXPECT_EQ(fromDatabase.front(), '/');
  ScopedEnv set("HOME", "/some/home");
  EXPECT_EQ(homeDirectory(), "/some/home");
}

}  // namespace
