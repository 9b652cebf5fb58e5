// The window of a calendar read: which occurrences it matches. Pure values;
// safe from any thread.
#pragma once

/// The instants [fromUnix, toUnix) in Unix seconds.
struct EventWindow {
  double fromUnix = 0;
  double toUnix = 0;

  /// False for a window whose start lies after its end (or is not a number):
  /// such a window matches nothing.
  bool isOrdered() const { return fromUnix <= toUnix; }

  /// Whether an occurrence from `startUnix` to `endUnix` is in the window:
  /// it overlaps it, or, when it has no length, its start lies in it.
  bool matches(double startUnix, double endUnix) const {
    if (!isOrdered()) return false;
    if (endUnix <= startUnix) return startUnix >= fromUnix && startUnix < toUnix;
    return startUnix < toUnix && endUnix > fromUnix;
  }
};
