#include "app/help_text.h"

#include <unistd.h>

#include <cstdlib>

#include "app/mode_table.h"
#include "base/write_all.h"

#ifndef MERVO_VERSION
#error "MERVO_VERSION is set by the build"
#endif

namespace {

constexpr size_t kFlagColumn = 26;

std::string column(const std::string& flag, const std::string& text) {
  std::string line = "  " + flag;
  line.append(line.size() < kFlagColumn ? kFlagColumn - line.size() : 1, ' ');
  return line + text + "\n";
}

std::string modeLines() {
  std::string lines;
  for (const Mode& mode : modeTable()) lines += column(mode.flag, mode.description);
  return lines;
}

}  // namespace

std::string helpText() {
  return "Usage: tovana-mervo [MODE] [OPTION...]\n"
         "The desktop helper of the Tovana capture bundle. Without a mode it opens the\n"
         "setup window. The first of these modes present among the arguments runs:\n" +
         modeLines() +
         "\nOptions:\n" +
         column("--from UNIX, --to UNIX", "the calendar window, in seconds since 1970") +
         column("", "(default: ten years back to 400 days ahead)") +
         column("--id ID, --out PATH", "the contact and the file of --contact-face") +
         column("--install-mode", "--setup gives its script TOVANA_INSTALL_MODE=1") +
         column("-h, --help, --version", "print this help or the version") +
         "\nEnvironment:\n" +
         column("TOVANA_MERVO_ROOT", "the bundle (~/Developer/Tovana/tovana-capture)") +
         column("TOVANA_MERVO_CALENDARS", "':'-separated iCalendar files and folders") +
         column("TOVANA_MERVO_CONTACTS", "':'-separated vCard files and folders") +
         "\nA dump reads the files its variable names when that is set and not empty;\n"
         "otherwise Evolution Data Server when the session bus offers it; otherwise the\n"
         "default folders: under $XDG_DATA_HOME (~/.local/share) evolution/calendar,\n"
         "then ~/.calendars; contacts, then ~/.contacts.\n"
         "\nExit status: 0 done; 1 no capture bundle (--tick, --setup) or no display;\n"
         "2 access refused or a dump that failed; 127 the shell could not start;\n"
         "otherwise the script's own. See tovana-mervo(1).\n";
}

std::string versionText() { return std::string("tovana-mervo ") + MERVO_VERSION + "\n"; }

void runHelpOrVersion(const Arguments& args) {
  // A text that did not reach standard output is a failure the caller sees.
  if (hasArgument(args, "--help") || hasArgument(args, "-h"))
    std::exit(writeAll(STDOUT_FILENO, helpText()) ? 0 : 1);
  if (hasArgument(args, "--version")) std::exit(writeAll(STDOUT_FILENO, versionText()) ? 0 : 1);
}
