// The check of a module before it is loaded: a file cut short anywhere,
// which the loader would map and fault on, is never whole.
#include "base/program_modules.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/test_support.h"

namespace {

TEST(ProgramModules, AFileCutShortAnywhereIsNotWhole) {
  namespace fs = std::filesystem;
  test::ScopedTempDir dir;
  const std::string module = dir / "module.so";
  // This test program is a shared object of this machine's kind as well.
  fs::copy_file("/proc/self/exe", module);
  const uintmax_t size = fs::file_size(module);
  EXPECT_TRUE(moduleFileIsWhole(module));
  for (const uintmax_t cut : {uintmax_t{0}, uintmax_t{64}, uintmax_t{1000}, size / 2, size - 1}) {
    fs::resize_file(module, cut);
    EXPECT_FALSE(moduleFileIsWhole(module)) << "cut to " << cut << " of " << size << " bytes";
  }
  EXPECT_FALSE(moduleFileIsWhole(dir.path()));
}

}  // namespace
