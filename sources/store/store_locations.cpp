// Store locations and their files; see store_locations.h.
#include "sources/store/store_locations.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>

#include "base/ascii_case.h"
#include "base/home_directory.h"
#include "base/permission_error.h"
#include "base/unique_fd.h"

namespace {

std::string environmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

bool accepts(const StoreFileSearch& search, std::string_view name) {
  return std::any_of(search.extensions.begin(), search.extensions.end(), [&](std::string_view extension) {
    return (search.bareExtensionCounts || name.size() > extension.size()) && endsWithIgnoringAsciiCase(name, extension);
  });
}

bool isRegularOrLinkToRegular(const std::string& path, const struct stat& linkInfo) {
  if (S_ISREG(linkInfo.st_mode)) return true;
  struct stat target {};
  return S_ISLNK(linkInfo.st_mode) && stat(path.c_str(), &target) == 0 && S_ISREG(target.st_mode);
}

// Walks `folder` without following links to folders, so a link loop cannot
// trap the walk; links to files are read like files.
void collectFiles(const std::string& folder, const StoreFileSearch& search, int depth,
                  std::vector<std::string>& files, bool& complete) {
  if (depth > search.deepestFolder) {
    complete = false;
    return;
  }
  std::unique_ptr<DIR, int (*)(DIR*)> directory(opendir(folder.c_str()), closedir);
  if (!directory) {
    if (!isPermissionError(errno)) complete = false;
    return;
  }
  // Paths stay as the location spells them: derived contact identifiers
  // are digests of them.
  const std::string prefix = folder.back() == '/' ? folder : folder + "/";
  while (dirent* entry = readdir(directory.get())) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    std::string path = prefix + std::string(name);
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) continue;
    if (S_ISDIR(info.st_mode)) {
      collectFiles(path, search, depth + 1, files, complete);
    } else if (accepts(search, name) && isRegularOrLinkToRegular(path, info)) {
      files.push_back(std::move(path));
    }
  }
}

}  // namespace

std::vector<std::string> locationsFromEnvironment(const char* variable, std::vector<std::string> defaults) {
  std::vector<std::string> locations;
  const std::string listed = environmentValue(variable);
  size_t begin = 0;
  while (begin <= listed.size()) {
    size_t end = listed.find(':', begin);
    if (end == std::string::npos) end = listed.size();
    if (end > begin) locations.push_back(listed.substr(begin, end - begin));
    begin = end + 1;
  }
  return locations.empty() ? defaults : locations;
}

std::string dataHomeDirectory() {
  const std::string dataHome = environmentValue("XDG_DATA_HOME");
  return dataHome.empty() ? homeDirectory() + "/.local/share" : dataHome;
}

std::vector<std::string> filesUnder(const std::string& location, const StoreFileSearch& search, bool& complete) {
  struct stat info {};
  if (stat(location.c_str(), &info) != 0) return {};
  if (!S_ISDIR(info.st_mode)) return {location};
  std::vector<std::string> files;
  collectFiles(location, search, 0, files, complete);
  std::sort(files.begin(), files.end());
  return files;
}

bool locationsReadable(const std::vector<std::string>& locations) {
  for (const std::string& location : locations) {
    // Opened only to learn whether it may be; O_NONBLOCK so that a FIFO
    // named as a location cannot hang the check.
    const UniqueFd file(open(location.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file.isOpen() && isPermissionError(errno)) return false;
  }
  return true;
}
