// What --help and --version print. The list of modes comes from the mode
// table itself, so the help cannot drift from what the program dispatches.
#pragma once

#include <string>

#include "app/arguments.h"

/// The usage text: every mode of modeTable() with its description, then the
/// options, the environment, where the dumps read from and the exit statuses.
std::string helpText();

/// One line: the program's name and version.
std::string versionText();

/// Prints helpText() or versionText() to standard output and exits 0 when
/// `args` holds --help (or -h) or --version (the help first); returns
/// otherwise. Called after the mode table, so a mode flag anywhere wins.
void runHelpOrVersion(const Arguments& args);
