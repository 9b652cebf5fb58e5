// Locations of the address book; see contacts_locations.h.
#include "sources/contacts_locations.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "install/home_directory.h"
#include "sources/vcard_property.h"

namespace {

namespace fs = std::filesystem;

std::string environmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

bool hasVCardName(const fs::path& path) {
  const std::string name = path.filename().string();
  auto endsWith = [&](std::string_view suffix) {
    return name.size() > suffix.size() &&
           equalsIgnoringCase(std::string_view(name).substr(name.size() - suffix.size()), suffix);
  };
  return endsWith(".vcf") || endsWith(".vcard");
}

}  // namespace

std::vector<std::string> contactsLocations() {
  std::vector<std::string> locations;
  const std::string listed = environmentValue("TOVANA_MERVO_CONTACTS");
  size_t start = 0;
  while (start <= listed.size() && !listed.empty()) {
    size_t stop = listed.find(':', start);
    if (stop == std::string::npos) stop = listed.size();
    if (stop > start) locations.push_back(listed.substr(start, stop - start));
    start = stop + 1;
  }
  if (!locations.empty()) return locations;
  const std::string home = homeDirectory();
  std::string dataHome = environmentValue("XDG_DATA_HOME");
  if (dataHome.empty()) dataHome = home + "/.local/share";
  locations.push_back(dataHome + "/contacts");
  locations.push_back(home + "/.contacts");
  return locations;
}

std::vector<std::string> vCardFilesOf(const std::string& location, bool& complete) {
  std::error_code error;
  const fs::file_status status = fs::status(location, error);
  if (error || !fs::exists(status)) return {};
  if (!fs::is_directory(status)) return {location};
  std::vector<std::string> files;
  fs::recursive_directory_iterator walk(location, fs::directory_options::skip_permission_denied, error);
  if (error) complete = false;
  for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
    std::error_code typeError;
    if (hasVCardName(walk->path()) && walk->is_regular_file(typeError)) files.push_back(walk->path().string());
  }
  if (error) complete = false;
  std::sort(files.begin(), files.end());
  return files;
}

bool locationsReadable(const std::vector<std::string>& locations) {
  for (const std::string& location : locations) {
    const int fd = open(location.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
      close(fd);
      continue;
    }
    if (errno == EACCES || errno == EPERM) return false;
  }
  return true;
}
