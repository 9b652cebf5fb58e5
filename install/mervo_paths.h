// Where the capture bundle lives and whether it is installed. Nothing is
// cached: every call reads the environment again, so one variable moves every
// path at once. Safe to call from any thread.
#pragma once

#include <string>

namespace MervoPaths {

/// $TOVANA_MERVO_ROOT when set and not empty, unchanged (a relative root stays
/// relative); otherwise the home directory + "/Developer/Tovana/tovana-capture".
std::string root();

/// root() + "/setup.sh".
std::string setupScript();

/// root() + "/bin/mervo-tick.sh".
std::string tickScript();

/// True when anything (file, folder, link target) exists at setupScript().
bool installed();

}  // namespace MervoPaths
