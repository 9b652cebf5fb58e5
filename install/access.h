// The Full Disk Access probe: tries to open, read-only, the protected files
// or folders that the permission guards (the canaries). Any existing canary
// that opens means access is granted. Which paths are canaries, and where the
// user makes the grant, belong to the platform (canary_paths_*.cpp).
// Stateless; safe to call from any thread; never blocks on what it opens.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace Access {

/// The outcome of one probe and the canary path that decided it.
struct Result {
  enum class Case { granted, refused };
  Case kind = Case::refused;
  std::string path;

  bool isGranted() const { return kind == Case::granted; }
  bool operator==(const Result&) const = default;
};

/// Opens `path` read-only and closes it at once; returns 0 when it opened,
/// otherwise the errno of the failure. Tests replace it to reach EPERM and
/// EACCES, which root never sees.
using OpenProbe = std::function<int(const std::string& path)>;

/// Where the user learns how to make the grant: on macOS the settings page
/// that lists Full Disk Access; on Linux the program's manual, which says
/// which folders stand for it.
extern const std::string_view settingsURL;

/// The three canaries under the home directory, in probing order.
std::vector<std::string> canaryPaths();

/// Runs the probe with the real open().
Result check();

/// Runs the probe with `open` in place of the real open().
Result check(const OpenProbe& open);

/// check().isGranted().
bool isGranted();

}  // namespace Access
