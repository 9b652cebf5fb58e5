// The check of a module before it is loaded: a file cut short anywhere,
// which the loader would map and fault on, is never whole.
#include "base/program_modules.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

namespace {

TEST(ProgramModules, AFileCutShortAnywhereIsNotWhole) {
  namespace fs = std::filesystem;
  const fs::path module = testing::TempDir() + "mervo-module-" + std::to_string(getpid()) + ".so";
  // This test program is a shared object of this machine's kind as well.
  fs::copy_file("/proc/self/exe", module, fs::copy_options::overwrite_existing);
  const uintmax_t size = fs::file_size(module);
  EXPECT_TRUE(moduleFileIsWhole(module));
  for (const uintmax_t cut : {uintmax_t{0}, uintmax_t{64}, uintmax_t{1000}, size / 2, size - 1}) {
    fs::resize_file(module, cut);
    EXPECT_FALSE(moduleFileIsWhole(module)) << "cut to " << cut << " of " << size << " bytes";
  }
  fs::remove(module);
  EXPECT_FALSE(moduleFileIsWhole(module.parent_path()));
}

}  // namespace
