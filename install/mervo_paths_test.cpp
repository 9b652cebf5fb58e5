#include "install/mervo_paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

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

}  // namespace
