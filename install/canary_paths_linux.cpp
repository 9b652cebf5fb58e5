// Linux has no Full Disk Access switch. What the grant protects on macOS, the
// user's private history and settings, lives here in three folders of the
// home directory, and what keeps a program from them is confinement: a
// sandbox (bubblewrap, Flatpak, a systemd unit with ProtectHome) hides or
// replaces the home. So "granted" means this process can open those folders.
// They are named literally under the home directory, never through
// XDG_DATA_HOME and its kin, which a sandbox points at its own private copies.
#include "base/home_directory.h"
#include "install/access.h"

namespace Access {

const std::string_view settingsURL = "man:tovana-mervo(1)";

std::vector<std::string> canaryPaths() {
  const std::string home = homeDirectory();
  return {
      home + "/.local/share",  // the desktop's data: its stores, recent files, keyrings
      home + "/.local/state",  // the desktop's history
      home + "/.config",       // its settings and permission stores
  };
}

}  // namespace Access
