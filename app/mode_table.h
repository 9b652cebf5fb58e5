// The modes of the program, as a table walked in order: the first flag present
// among the arguments decides, wherever it stands. With none, the program
// runs its setup window.
#pragma once

#include <vector>

#include "app/arguments.h"
#include "sources/store/event_window.h"

/// One command-line mode. `run` ends the process and never returns.
struct Mode {
  const char* flag;
  const char* description;
  void (*run)(const Arguments& args);
};

/// Every command-line mode, in the order their flags are tested.
const std::vector<Mode>& modeTable();

/// The first mode whose flag is among `args`, or nullptr for the window.
const Mode* chooseMode(const Arguments& args);

/// The calendar window's defaults, in Unix seconds relative to `now`.
inline constexpr double kCalendarLookBackSeconds = 315360000;   // ten years of 365 days
inline constexpr double kCalendarLookAheadSeconds = 34560000;   // 400 days

/// The window that --calendar-dump reads: --from and --to, or their defaults.
EventWindow calendarWindow(const Arguments& args, double nowUnix);
