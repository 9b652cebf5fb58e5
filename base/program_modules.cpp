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

void* loadModuleSymbol(const char* moduleFile, const char* symbol, std::string* error) {
  std::string path = programDirectory() + "/" + moduleFile;
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
