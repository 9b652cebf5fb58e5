// Whether the window has a display to open, decided from the environment
// before the toolkit starts (the toolkit aborts when it finds none).
// Stateless; safe from any thread.
#pragma once

#include <string>

/// The environment variables that decide where a window can be opened.
struct DisplayEnvironment {
  std::string display;         ///< $DISPLAY (X11)
  std::string waylandDisplay;  ///< $WAYLAND_DISPLAY
  std::string qtPlatform;      ///< $QT_QPA_PLATFORM
};

/// The variables of this process.
DisplayEnvironment currentDisplayEnvironment();

/// True when an X11 or Wayland display is named, or QT_QPA_PLATFORM names a
/// platform that draws without one (such as offscreen or linuxfb).
bool hasDisplayToOpen(const DisplayEnvironment& environment);
