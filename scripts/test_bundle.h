// Test helpers for the script runner and the script modes: a capture bundle
// in a temporary folder that TOVANA_MERVO_ROOT points at, and a working
// directory change that undoes itself. Used by one test thread.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "tests/test_support.h"

namespace test {

/// A temporary bundle root, made current through TOVANA_MERVO_ROOT.
class TestBundle {
 public:
  TestBundle() : rootEnv_("TOVANA_MERVO_ROOT", folder_.path()) {}

  const std::string& root() const { return folder_.path(); }
  std::string operator/(const std::string& relative) const { return folder_ / relative; }

  /// Writes setup.sh (which also makes the bundle count as installed).
  void writeSetup(const std::string& script) const { writeFile(folder_ / "setup.sh", script); }
  void writeTick(const std::string& script) const {
    writeFile(folder_ / "bin/mervo-tick.sh", script);
  }

 private:
  ScopedTempDir folder_;
  ScopedEnv rootEnv_;
};

/// Changes the working directory and changes it back on destruction.
class ScopedCurrentDirectory {
 public:
  explicit ScopedCurrentDirectory(const std::string& path) {
    char* old = getcwd(nullptr, 0);
    if (!old || chdir(path.c_str()) != 0) std::abort();
    old_ = old;
    std::free(old);
  }
  ~ScopedCurrentDirectory() {
    if (chdir(old_.c_str()) != 0) std::abort();
  }
  ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
  ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;

 private:
  std::string old_;
};

}  // namespace test
