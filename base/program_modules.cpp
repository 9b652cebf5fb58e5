// The program's own modules; see program_modules.h.
#include "base/program_modules.h"

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstring>

#include "base/unique_fd.h"

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

bool readAt(int fd, void* into, size_t size, uint64_t offset) {
  return pread(fd, into, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
}

/// Whether `length` bytes from `offset` lie inside a file of `fileSize` bytes.
bool inside(uint64_t offset, uint64_t length, uint64_t fileSize) {
  return offset <= fileSize && length <= fileSize - offset;
}

bool headerFits(const ElfW(Ehdr)& header, uint64_t fileSize) {
  constexpr unsigned char kClass = sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32;
  return std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 && header.e_ident[EI_CLASS] == kClass &&
         header.e_phentsize == sizeof(ElfW(Phdr)) &&
         inside(header.e_phoff, uint64_t{header.e_phnum} * header.e_phentsize, fileSize) &&
         inside(header.e_shoff, uint64_t{header.e_shnum} * header.e_shentsize, fileSize);
}

// The module beside the program when that file exists, else the installed
// one. Both are absolute paths, so dlopen never searches for them.
std::string modulePath(const char* moduleFile) {
  const std::string folder = programDirectory();
  std::string beside = folder + "/" + moduleFile;
  if (access(beside.c_str(), F_OK) == 0) return beside;
  return folder + "/" + kInstalledModuleFolder + "/" + moduleFile;
}

}  // namespace

bool moduleFileIsWhole(const std::string& path) {
  const UniqueFd file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat status {};
  if (!file.isOpen() || fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) return false;
  const auto fileSize = static_cast<uint64_t>(status.st_size);
  ElfW(Ehdr) header{};
  if (!readAt(file.get(), &header, sizeof header, 0) || !headerFits(header, fileSize)) return false;
  for (uint64_t index = 0; index < header.e_phnum; ++index) {
    ElfW(Phdr) segment{};
    if (!readAt(file.get(), &segment, sizeof segment, header.e_phoff + index * sizeof segment)) return false;
    if (segment.p_type == PT_LOAD && !inside(segment.p_offset, segment.p_filesz, fileSize)) return false;
  }
  return true;
}

void* loadModuleSymbol(const char* moduleFile, const char* symbol, std::string* error) {
  if (programPath().empty()) {
    if (error) *error = "the program's own file is unknown";
    return nullptr;
  }
  const std::string path = modulePath(moduleFile);
  if (access(path.c_str(), F_OK) == 0 && !moduleFileIsWhole(path)) {
    if (error) *error = path + ": the module is damaged (cut short, or built for another machine)";
    return nullptr;
  }
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
