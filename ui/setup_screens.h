// The five screens of the setup flow and the value that describes one screen.
// Plain values: safe to copy and hand between threads.
#pragma once

#include <QString>

#include <optional>

/// Everything one screen of the window shows: both texts, the primary
/// button's title (none hides the button), whether "Show me the app" is
/// visible and whether the busy indicator runs.
struct Screen {
  QString headline;
  QString body;
  std::optional<QString> button;
  bool secondary = false;
  bool busy = false;

  bool operator==(const Screen&) const = default;
};

namespace SetupScreens {

/// The capture bundle's setup script is not on disk; names the bundle root.
Screen missingFiles(const QString& bundleRoot);

/// Full Disk Access is not granted yet: how to grant it.
Screen access();

/// The setup script runs.
Screen working();

/// The setup script ended with status 0.
Screen success();

/// The setup script ended with any other status, or could not start.
Screen failure();

/// success() for status 0, failure() for any other.
Screen forExitStatus(int status);

}  // namespace SetupScreens
