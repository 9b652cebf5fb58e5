// The environment a capture bundle script runs with: the program's own,
// then the caller's additions, then the fixed search path; nothing else is
// added. Reads the process environment, so it must not race with a setenv()
// on another thread (this program changes its environment nowhere).
#pragma once

#include <map>
#include <string>
#include <vector>

/// "NAME=value" entries: every inherited variable, each variable of
/// `extraEnv` set to its given value (replacing an inherited one of that
/// name), and PATH set to kScriptSearchPath whatever either held. A name in
/// `extraEnv` that no environment can hold (empty, or containing '=') is left
/// out rather than corrupting another variable.
std::vector<std::string> scriptEnvironment(const std::map<std::string, std::string>& extraEnv);
