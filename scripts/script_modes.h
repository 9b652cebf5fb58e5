// The --tick and --setup modes: run a capture bundle script from the command
// line and end the process with its status. Both run on the main thread.
#pragma once

/// Runs the tick script with the program's own output streams; exits with the
/// script's status, or 1 when the bundle is not installed.
[[noreturn]] void runTickMode();

/// Runs the setup script, copying its merged output to standard output; with
/// `installMode` the script sees TOVANA_INSTALL_MODE=1. Exits with the script's
/// status, or 1 when the bundle is not installed.
[[noreturn]] void runSetupMode(bool installMode);
