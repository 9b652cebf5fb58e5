#include "install/mervo_paths.h"

#include <gtest/gtest.h>

#include "base/home_directory.h"
#include "install/access.h"
#include "tests/test_support.h"

namespace {

using test::ScopedEnv;
using test::ScopedTempDir;

TEST(MervoPaths, RootFollowsTheEnvironmentOnEveryCall) {
  ScopedTempDir home;
  ScopedEnv homeEnv("HOME", home.path());
  const std::pair<std::optional<std::string>, std::string> rows[] = {
      {std::nullopt, home / "Developer/Tovana/tovana-capture"},
      {"", home / "Developer/Tovana/tovana-capture"},
      {"relative/bundle/", "relative/bundle/"},
      {"/elsewhere", "/elsewhere"}};
  for (const auto& [value, root] : rows) {
    ScopedEnv set("TOVANA_MERVO_ROOT", value);
    EXPECT_EQ(MervoPaths::root(), root) << value.value_or("(unset)");
  }
}

TEST(HomeDirectory, FallsBackToTheUserDatabase) {
  ScopedEnv empty("HOME", "");
  const std::string fromDatabase = homeDirectory();
  EXPECT_FALSE(fromDatabase.empty());
  EXPECT_EQ(fromDatabase.front(), '/');
  ScopedEnv set("HOME", "/some/home");
  EXPECT_EQ(homeDirectory(), "/some/home");
}

// Paths under the home directory never hold "//", whatever $HOME ends with.
TEST(HomeDirectory, HasNoTrailingSeparator) {
  const std::pair<const char*, const char*> rows[] = {
      {"/home/ana/", "/home/ana/.local/share"},
      {"/home/ana//", "/home/ana/.local/share"},
      {"/home/ana", "/home/ana/.local/share"},
      {"/", "/.local/share"},
      {"//", "/.local/share"}};
  for (auto [home, canary] : rows) {
    ScopedEnv set("HOME", home);
    EXPECT_EQ(Access::canaryPaths().front(), canary) << "HOME=" << home;
    EXPECT_EQ(MervoPaths::root().find("//"), std::string::npos) << "HOME=" << home;
  }
}

}  // namespace
