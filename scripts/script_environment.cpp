#include "scripts/script_environment.h"

#include <string_view>

#include "scripts/run_script.h"

extern char** environ;

namespace {

bool isVariableName(std::string_view name) {
  return !name.empty() && name.find('=') == std::string_view::npos;
}

}  // namespace

std::vector<std::string> scriptEnvironment(const std::map<std::string, std::string>& extraEnv) {
  std::vector<std::string> entries;
  for (char** entry = environ; entry && *entry; ++entry) {
    const std::string_view text(*entry);
    const std::string name(text.substr(0, text.find('=')));
    if (name == "PATH" || extraEnv.contains(name)) continue;
    entries.emplace_back(text);
  }
  for (const auto& [name, value] : extraEnv)
    if (isVariableName(name) && name != "PATH") entries.push_back(name + "=" + value);
  entries.push_back(std::string("PATH=") + kScriptSearchPath);
  return entries;
}
