// runScript with the shell named by the caller. runScript itself always uses
// /bin/bash; the tests use this to reach a shell that cannot be started.
// Same thread-safety rules as runScript.
#pragma once

#include "scripts/run_script.h"

/// runScript, with `shellPath` started instead of /bin/bash.
int32_t runScriptWithShell(const std::string& shellPath, const std::string& scriptPath,
                           const std::vector<std::string>& arguments,
                           const std::map<std::string, std::string>& extraEnv,
                           OutputHandler onOutput);
