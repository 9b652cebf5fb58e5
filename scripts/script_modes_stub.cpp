// Placeholder so the program links while the script modes are being built.
#include <cstdlib>

#include "scripts/run_script.h"
#include "scripts/script_modes.h"

void runTickMode() { std::exit(1); }
void runSetupMode(bool) { std::exit(1); }
int32_t runScript(const std::string&, const std::vector<std::string>&,
                  const std::map<std::string, std::string>&, OutputHandler) {
  return 127;
}
