#include "app/mode_table.h"

#include <chrono>

#include "install/canary_mode.h"
#include "scripts/script_modes.h"
#include "sources/calendar_dump.h"
#include "sources/contact_face_export.h"
#include "sources/contact_faces_scan.h"
#include "sources/contacts_dump.h"

namespace {

double secondsSince1970() {
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch()).count();
}

[[noreturn]] void canary(const Arguments&) { runCanaryMode(); }

[[noreturn]] void tick(const Arguments&) { runTickMode(); }

[[noreturn]] void calendarDump(const Arguments& args) {
  const EventWindow window = calendarWindow(args, secondsSince1970());
  NativeSources::dumpCalendar(window.fromUnix, window.toUnix);
}

[[noreturn]] void contactsDump(const Arguments&) { NativeSources::dumpContacts(); }

[[noreturn]] void contactFacesScan(const Arguments&) { NativeSources::dumpContactFaceScan(); }

[[noreturn]] void contactFace(const Arguments& args) {
  // The identifier is read before the output path.
  std::string identifier = stringArg(args, "--id");
  std::string outPath = stringArg(args, "--out");
  NativeSources::dumpContactFace(identifier, outPath);
}

[[noreturn]] void setup(const Arguments& args) { runSetupMode(hasArgument(args, "--install-mode")); }

}  // namespace

const std::vector<Mode>& modeTable() {
  static const std::vector<Mode> table = {
      {"--canary", "print whether Full Disk Access is granted", canary},
      {"--tick", "run the capture bundle's tick script", tick},
      {"--calendar-dump", "print calendar events as JSON (--from, --to)", calendarDump},
      {"--contacts-dump", "print contacts with their handles as JSON", contactsDump},
      {"--contact-faces-scan", "print which contacts have a picture as JSON", contactFacesScan},
      {"--contact-face", "write one contact's picture to a file (--id, --out)", contactFace},
      {"--setup", "run the capture bundle's setup script (--install-mode)", setup},
  };
  return table;
}

const Mode* chooseMode(const Arguments& args) {
  for (const Mode& mode : modeTable())
    if (hasArgument(args, mode.flag)) return &mode;
  return nullptr;
}

EventWindow calendarWindow(const Arguments& args, double nowUnix) {
  return {numericArg(args, "--from", nowUnix - kCalendarLookBackSeconds),
          numericArg(args, "--to", nowUnix + kCalendarLookAheadSeconds)};
}
