#include "install/canary_mode.h"

#include <unistd.h>

#include <cstdlib>

#include "base/write_all.h"
#include "install/access.h"

void runCanaryMode() {
  const Access::Result result = Access::check();
  const char* word = result.isGranted() ? "granted " : "refused ";
  writeAll(STDOUT_FILENO, word + result.path + "\n");
  std::exit(result.isGranted() ? 0 : 2);
}
