#include "base/program_modules.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

std::string programPath() {
  char buffer[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
  if (length <= 0 || static_cast<size_t>(length) >= sizeof buffer) return {};
  return std::string(buffer, static_cast<size_t>(length));
}

std::string programDirectory() {
  std::string path = programPath();
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return path.substr(0, slash);
}

namespace {

// The module beside the program when that file exists, else the installed
// one. Both are absolute paths, so dlopen never searches for them.
std::string modulePath(const char* moduleFile) {
  const std::string folder = programDirectory();
  std::string beside = folder + "/" + moduleFile;
  if (access(beside.c_str(), F_OK) == 0) return beside;
  return folder + "/" + kInstalledModuleFolder + "/" + moduleFile;
}

}  // namespace

void* loadModuleSymbol(const char* moduleFile, const char* symbol, std::string* error) {
  if (programPath().empty()) {
    if (error) *error = "the program's own file is unknown";
    return nullptr;
  }
  const std::string path = modulePath(moduleFile);
  // RTLD_LOCAL keeps the module's own copy of shared code to itself.
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    if (error) *error = dlerror();
    return nullptr;
  }
  void* address = dlsym(handle, symbol);
  if (!address && error) *error = std::string("no ") + symbol + " in " + path;
  return address;
}
