// On macOS the grant guards the messages, call-history and privacy databases;
// System Settings lists it under Privacy & Security.
#include "base/home_directory.h"
#include "install/access.h"

namespace Access {

const std::string_view settingsURL =
    "x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles";

std::vector<std::string> canaryPaths() {
  const std::string home = homeDirectory();
  return {
      home + "/Library/Messages/chat.db",
      home + "/Library/Application Support/CallHistoryDB/CallHistory.storedata",
      home + "/Library/Application Support/com.apple.TCC/TCC.db",
  };
}

}  // namespace Access
