#include "scripts/script_modes.h"

#include <unistd.h>

#include <cstdlib>

#include "base/write_all.h"
#include "install/mervo_paths.h"
#include "scripts/run_script.h"

namespace {

// Both modes start nothing unless the bundle is installed. The message shows
// the root as the user gave it, relative or not.
void exitUnlessInstalled() {
  if (MervoPaths::installed()) return;
  writeAll(STDERR_FILENO, "The Mervo's files are not at " + MervoPaths::root() + ".\n");
  std::exit(1);
}

}  // namespace

void runTickMode() {
  exitUnlessInstalled();
  std::exit(runScript(MervoPaths::tickScript()));
}

void runSetupMode(bool installMode) {
  exitUnlessInstalled();
  std::map<std::string, std::string> extraEnv;
  if (installMode) extraEnv["TOVANA_INSTALL_MODE"] = "1";
  // Called on the reader thread and last on this one, never two at a time.
  const auto copyToStandardOutput = [](const std::string& text) {
    writeAll(STDOUT_FILENO, text);
  };
  std::exit(runScript(MervoPaths::setupScript(), extraEnv, copyToStandardOutput));
}
