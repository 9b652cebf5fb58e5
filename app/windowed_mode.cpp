#include "app/windowed_mode.h"

#include <unistd.h>

#include <string>

#include "base/program_modules.h"
#include "base/write_all.h"

int runWindowedMode(int argc, char** argv) {
  using RunWindow = int (*)(int, char**);
  std::string error;
  auto run = reinterpret_cast<RunWindow>(
      loadModuleSymbol("tovana-mervo-window.so", "tovanaMervoRunWindow", &error));
  if (!run) {
    writeAll(STDERR_FILENO, "tovana-mervo: the setup window cannot be loaded: " + error + "\n");
    return 1;
  }
  return run(argc, argv);
}
