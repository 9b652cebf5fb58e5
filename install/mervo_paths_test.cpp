#include "install/mervo_paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

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
  EXPECT_EQ(MervoPaths::setupScript(), "relative/bundle//setup.sh");
  EXPECT_EQ(MervoPaths::tickScript(), "relative/bundle//bin/mervo-tick.sh");
  setenv("TOVANA_MERVO_ROOT", "/elsewhere", 1);
  EXPECT_EQ(MervoPaths::root(), "/elsewhere");
}

TEST(MervoPaths, InstalledTestsOnlyForSomethingAtSetupScript) {
  ScopedTempDir bundle;
  ScopedEnv root("TOVANA_MERVO_ROOT", bundle.path());
  EXPECT_FALSE(MervoPaths::installed());
  test::writeFile(bundle / "bin/mervo-tick.sh", "");
  EXPECT_FALSE(MervoPaths::installed());
  ASSERT_EQ(mkdir((bundle / "setup.sh").c_str(), 0700), 0);  // a folder counts
  EXPECT_TRUE(MervoPaths::installed());
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
      {"/home/ana/", "/home/ana/Library/Messages/chat.db"},
      {"/home/ana//", "/home/ana/Library/Messages/chat.db"},
      {"/home/ana", "/home/ana/Library/Messages/chat.db"},
      {"/", "/Library/Messages/chat.db"},
      {"//", "/Library/Messages/chat.db"}};
  for (auto [home, canary] : rows) {
    ScopedEnv set("HOME", home);
    EXPECT_EQ(Access::canaryPaths().front(), canary) << "HOME=" << home;
    EXPECT_EQ(MervoPaths::root().find("//"), std::string::npos) << "HOME=" << home;
  }
}

}  // namespace
