// The program's own modules: the parts that need a heavy library (the window
// needs Qt, the calendar store needs libical) are built as shared modules and
// loaded only by the mode that uses them, so the other modes start without
// those libraries. They sit beside the program's file in the build folder and
// in ../lib/tovana-mervo/ from it once installed; the current directory never
// counts. A module is checked before it is loaded: a file cut short would
// fault in the loader (SIGBUS) before any error could be told.
#pragma once

#include <string>

/// The folder that holds the running program's file, without a trailing
/// separator; empty when it cannot be found.
std::string programDirectory();

/// The full path of the running program's file; empty when unknown.
std::string programPath();

/// Where an installed program keeps its modules, relative to its own folder.
inline constexpr const char* kInstalledModuleFolder = "../lib/tovana-mervo";

/// Whether `path` is a whole shared object for this machine's word size: its
/// ELF header, program headers, every loadable segment and its section
/// headers lie inside the file.
bool moduleFileIsWhole(const std::string& path);

/// Loads `moduleFile` (a file name such as "tovana-mervo-window.so") from
/// programDirectory(), or when it is not there from kInstalledModuleFolder
/// under it, and returns the address of its `symbol`, or nullptr with
/// a one-line reason in `error`; a module that is not whole is not loaded.
/// A loaded module stays loaded for the process.
void* loadModuleSymbol(const char* moduleFile, const char* symbol, std::string* error = nullptr);
