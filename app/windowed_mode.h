// The windowed face of the program: the setup assistant. Its code lives in a
// module of its own so that only this mode loads Qt.
#pragma once

/// Loads the window module and runs the setup window until it is closed;
/// returns the status for main. When the module or a display cannot be had,
/// writes one line to standard error and returns 1.
int runWindowedMode(int argc, char** argv);
