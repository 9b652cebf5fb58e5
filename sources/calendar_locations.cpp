// Calendar locations and their files; see calendar_locations.h.
#include "sources/calendar_locations.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "install/home_directory.h"

namespace {

std::string environmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

bool refused(int error) { return error == EACCES || error == EPERM; }

bool endsWithIcs(std::string_view name) {
  if (name.size() < 4) return false;
  std::string_view tail = name.substr(name.size() - 4);
  auto lower = [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); };
  return tail[0] == '.' && lower(tail[1]) == 'i' && lower(tail[2]) == 'c' && lower(tail[3]) == 's';
}

// Walks `folder` without following links to folders, so a link loop cannot
// trap the walk; links to files are read like files.
void collectCalendarFiles(const std::string& folder, std::vector<std::string>& files, int depth) {
  if (depth > 64) return;
  std::unique_ptr<DIR, int (*)(DIR*)> directory(opendir(folder.c_str()), closedir);
  if (!directory) return;
  while (dirent* entry = readdir(directory.get())) {
    std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    std::string path = folder + "/" + std::string(name);
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) continue;
    if (S_ISDIR(info.st_mode)) {
      collectCalendarFiles(path, files, depth + 1);
    } else if (endsWithIcs(name)) {
      if (S_ISLNK(info.st_mode) && (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)))
        continue;
      if (S_ISREG(info.st_mode)) files.push_back(std::move(path));
    }
  }
}

}  // namespace

std::vector<std::string> calendarLocations() {
  std::vector<std::string> locations;
  const std::string listed = environmentValue("TOVANA_MERVO_CALENDARS");
  size_t begin = 0;
  while (begin <= listed.size()) {
    size_t end = listed.find(':', begin);
    if (end == std::string::npos) end = listed.size();
    if (end > begin) locations.push_back(listed.substr(begin, end - begin));
    begin = end + 1;
  }
  if (!locations.empty()) return locations;
  const std::string home = homeDirectory();
  std::string dataHome = environmentValue("XDG_DATA_HOME");
  if (dataHome.empty()) dataHome = home + "/.local/share";
  return {dataHome + "/evolution/calendar", home + "/.calendars"};
}

bool calendarLocationsReadable(const std::vector<std::string>& locations) {
  for (const std::string& location : locations) {
    struct stat info {};
    if (stat(location.c_str(), &info) != 0) {
      if (refused(errno)) return false;
      continue;
    }
    // Opened only to learn whether it may be; closed at once.
    int fd = open(location.c_str(), O_RDONLY | O_CLOEXEC | (S_ISDIR(info.st_mode) ? O_DIRECTORY : 0));
    if (fd >= 0) {
      close(fd);
    } else if (refused(errno)) {
      return false;
    }
  }
  return true;
}

std::vector<std::string> calendarFilesIn(const std::string& location) {
  struct stat info {};
  if (stat(location.c_str(), &info) != 0) return {};
  if (!S_ISDIR(info.st_mode)) return {location};
  std::string folder = location;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  std::vector<std::string> files;
  collectCalendarFiles(folder, files, 0);
  std::sort(files.begin(), files.end());
  return files;
}
