// Entry point: reads the arguments once and hands control to exactly one mode.
// Every command-line mode ends the process itself; --help and --version are
// looked at only when no mode flag is present; otherwise the setup window runs
// until it is closed.
#include "app/arguments.h"
#include "app/help_text.h"
#include "app/mode_table.h"
#include "app/windowed_mode.h"

int main(int argc, char** argv) {
  const Arguments args(argv + (argc > 0 ? 1 : 0), argv + argc);
  if (const Mode* mode = chooseMode(args)) mode->run(args);
  runHelpOrVersion(args);
  return runWindowedMode(argc, argv);
}
