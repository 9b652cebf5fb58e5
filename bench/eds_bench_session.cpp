// The private desktop session of bench/run-eds: starts a session bus with
// Evolution Data Server, loads one iCalendar file into a new calendar and one
// vCard file into a new address book (one call each), prints the session's
// environment as NAME=VALUE lines, then "ready", and keeps the session until
// its standard input closes.
//
// usage: eds_bench_session CALENDAR.ics CARDS.vcf
#include <cstdio>
#include <iostream>
#include <string>

#include "sources/eds/eds_test_session.h"
#include "tests/test_support.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: eds_bench_session CALENDAR.ics CARDS.vcf\n";
    return 2;
  }
  test::PrivateSession session;
  {
    test::TestSource calendar("Bench calendar", test::SourceKind::calendar);
    test::TestSource book("Bench book", test::SourceKind::addressBook);
    if (!calendar.importCalendar(test::readFile(argv[1]).value_or("")) ||
        !book.addCards(test::readFile(argv[2]).value_or(""))) {
      std::cerr << "eds_bench_session: loading the data failed\n";
      return 1;
    }
    for (const char* name : {"DBUS_SESSION_BUS_ADDRESS", "HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                             "XDG_CACHE_HOME", "XDG_RUNTIME_DIR", "GSETTINGS_BACKEND"})
      std::cout << name << "=" << std::getenv(name) << "\n";
    std::cout << "BOOK_UID=" << book.uid() << "\nready" << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
    }
  }
  return 0;
}
