#include "install/mervo_paths.h"

#include <sys/stat.h>

#include <cstdlib>

#include "base/home_directory.h"

namespace MervoPaths {

std::string root() {
  if (const char* value = std::getenv("TOVANA_MERVO_ROOT"); value && *value) return value;
  return homeDirectory() + "/Developer/Tovana/tovana-capture";
}

std::string setupScript() { return root() + "/setup.sh"; }

std::string tickScript() { return root() + "/bin/mervo-tick.sh"; }

bool installed() {
  struct stat info;
  return stat(setupScript().c_str(), &info) == 0;
}

}  // namespace MervoPaths
