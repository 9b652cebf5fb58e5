// Entry point: reads the arguments once and hands control to exactly one mode.
// Every command-line mode ends the process itself; with no mode flag the
// setup window runs until it is closed.
#include "app/arguments.h"
#include "app/mode_table.h"
#include "app/windowed_mode.h"

int main(int argc, char** argv) {
  const Arguments args(argv + (argc > 0 ? 1 : 0), argv + argc);
  if (const Mode* mode = chooseMode(args)) mode->run(args);
  return runWindowedMode(argc, argv);
}
