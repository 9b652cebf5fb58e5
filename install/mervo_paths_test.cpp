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
  const std::string byDefault = home / "Developer/Tovana/tovana-capture";
  {
    ScopedEnv unset("TOVANA_MERVO_ROOT", std::nullopt);
    EXPECT_EQ(MervoPaths::root(), byDefault);
  }
  {
    ScopedEnv empty("TOVANA_MERVO_ROOT", "");
    EXPECT_EQ(MervoPaths::root(), byDefault);
  }
  ScopedEnv set("TOVANA_MERVO_ROOT", "relative/bundle/");
  EXPECT_EQ(MervoPaths::root(), "relative/bundle/");
  setenv("TOVANA_MERVO_ROOT", "/elsewhere", 1);
  EXPECT_EQ(MervoPaths::root(), "/elsewhere");
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
