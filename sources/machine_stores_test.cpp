// Which modules each dump loads, and what a damaged module leaves: the
// desktop store's module only where a session bus may offer that store, the
// calendar reader's only for the calendar.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/test_support.h"

namespace {

using Environment = std::map<std::string, std::optional<std::string>>;

TEST(MachineStores, EachDumpLoadsTheModulesOfItsStoresOnly) {
  test::ScopedTempDir dir;
  const Environment files = {{"LD_DEBUG", "files"}, {"HOME", dir.path()},
                             {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + dir / "bus"},
                             {"TOVANA_MERVO_CALENDARS", dir.path()}, {"TOVANA_MERVO_CONTACTS", dir.path()}};
  Environment desktop = files;
  desktop["TOVANA_MERVO_CALENDARS"] = desktop["TOVANA_MERVO_CONTACTS"] = std::nullopt;
  const struct {
    std::vector<std::string> args;
    const Environment& env;
    bool calendarModule, desktopModule;
  } rows[] = {{{"--calendar-dump"}, files, true, false},
              {{"--calendar-dump"}, desktop, true, true},
              {{"--contacts-dump"}, files, false, false},
              {{"--contact-faces-scan"}, desktop, false, true},
              {{"--contact-face", "--id", "x", "--out", dir / "face"}, files, false, false}};
  for (const auto& row : rows) {
    const std::string err = test::runProgram(row.args, row.env).err;
    EXPECT_EQ(err.find("tovana-mervo-calendar.so") != std::string::npos, row.calendarModule) << row.args[0];
    EXPECT_EQ(err.find("tovana-mervo-eds.so") != std::string::npos, row.desktopModule) << row.args[0];
  }
}

// A module cut short once made the loader fault (SIGBUS) before any result.
TEST(MachineStores, ADamagedModuleIsLeftAsIfMissing) {
  namespace fs = std::filesystem;
  test::ScopedTempDir dir;
  for (const char* file : {"tovana-mervo", "tovana-mervo-calendar.so", "tovana-mervo-eds.so"}) {
    fs::copy_file(fs::path(MERVO_BINARY).parent_path() / file, dir / file);
    if (fs::path(file).extension() == ".so") fs::resize_file(dir / file, 1000);
  }
  const Environment env = {{"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + dir / "bus"}, {"HOME", dir.path()},
                           {"TOVANA_MERVO_CALENDARS", std::nullopt}, {"TOVANA_MERVO_CONTACTS", std::nullopt}};
  EXPECT_EQ(test::runExecutable(dir / "tovana-mervo", {"--calendar-dump"}, env).out,
            "{\"ok\":false,\"reason\":\"the calendar reader is not installed\"}\n");
  EXPECT_EQ(test::runExecutable(dir / "tovana-mervo", {"--contacts-dump"}, env).out, "{\"ok\":true,\"people\":[]}\n");
}

}  // namespace
