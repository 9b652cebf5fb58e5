#include "install/access.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "base/permission_error.h"
#include "base/unique_fd.h"

namespace Access {
namespace {

bool exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

// O_NONBLOCK: a FIFO or device placed at a canary path must not hang the
// probe, which the window runs on its UI thread every poll.
int openAndClose(const std::string& path) {
  const UniqueFd file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  return file.isOpen() ? 0 : errno;
}

}  // namespace

Result check(const OpenProbe& open) {
  const std::vector<std::string> paths = canaryPaths();
  std::string fallback = paths.front();
  for (const std::string& path : paths) {
    if (!exists(path)) continue;
    int error = open(path);
    if (error == 0) return {Result::Case::granted, path};
    if (isPermissionError(error)) fallback = path;
  }
  return {Result::Case::refused, fallback};
}

Result check() { return check(openAndClose); }

bool isGranted() { return check().isGranted(); }

}  // namespace Access
