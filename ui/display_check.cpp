#include "ui/display_check.h"

#include <array>
#include <cstdlib>
#include <string_view>

namespace {

std::string variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

bool drawsWithoutDisplay(std::string_view platform) {
  static constexpr std::array<std::string_view, 8> kPlatforms = {
      "offscreen", "minimal", "minimalegl", "linuxfb", "eglfs", "vnc", "vkkhrdisplay", "directfb"};
  for (std::string_view name : kPlatforms)
    if (platform == name) return true;
  return false;
}

}  // namespace

DisplayEnvironment currentDisplayEnvironment() {
  return {variable("DISPLAY"), variable("WAYLAND_DISPLAY"), variable("QT_QPA_PLATFORM")};
}

bool hasDisplayToOpen(const DisplayEnvironment& environment) {
  if (!environment.display.empty() || !environment.waylandDisplay.empty()) return true;
  // QT_QPA_PLATFORM holds platforms to try in order, separated by ';', each
  // optionally followed by ':' and its options.
  std::string_view rest = environment.qtPlatform;
  while (!rest.empty()) {
    const std::size_t end = rest.find(';');
    std::string_view entry = rest.substr(0, end);
    if (drawsWithoutDisplay(entry.substr(0, entry.find(':')))) return true;
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  }
  return false;
}
