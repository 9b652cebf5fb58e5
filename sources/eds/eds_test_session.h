// A private desktop session for the desktop store's tests: HOME and the XDG
// folders in a temporary folder, and session buses of three kinds, one that
// starts Evolution Data Server's services when asked, one without them, and
// one whose policy denies them. Every process a bus starts is stopped with
// it. Sources and their data are made through the client libraries, as a
// desktop program makes them. Used from the test's main thread only.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>
#include <sys/types.h>

#include "tests/test_support.h"

namespace test {

/// What a private bus offers.
enum class BusKind { withEds, withoutEds, denyingEds };

/// One session bus (dbus-daemon) of its own; stopped, with every process it
/// started, on destruction.
class PrivateBus {
 public:
  PrivateBus(BusKind kind, const std::string& folder);
  ~PrivateBus();
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;

  /// The bus's address; empty when it could not be started.
  const std::string& address() const { return address_; }

 private:
  pid_t daemon_ = -1;
  std::string address_;
};

/// The private session of one test program: the folders, set in this
/// process's environment, and the bus with the services, whose address is
/// DBUS_SESSION_BUS_ADDRESS. Made once, before any GLib call.
class PrivateSession {
 public:
  PrivateSession();
  ~PrivateSession();
  PrivateSession(const PrivateSession&) = delete;
  PrivateSession& operator=(const PrivateSession&) = delete;

  const std::string& root() const { return folder_.path(); }
  const PrivateBus& bus() const { return *bus_; }

 private:
  ScopedTempDir folder_;
  std::unique_ptr<PrivateBus> bus_;
};

/// The kind of a source made for a test.
enum class SourceKind { calendar, taskList, addressBook };

/// One source in the session's registry, removed on destruction.
class TestSource {
 public:
  TestSource(const std::string& displayName, SourceKind kind, bool enabled = true);
  ~TestSource();
  TestSource(const TestSource&) = delete;
  TestSource& operator=(const TestSource&) = delete;

  const std::string& uid() const { return uid_; }

  /// Imports the events and zones of one iCalendar text, one call for each
  /// calendar in it; false when the service refuses one.
  bool importCalendar(const std::string& text);
  /// Adds the cards of one vCard text in one call; false when refused.
  bool addCards(const std::string& text);
  /// Lets the built-in birthdays calendar read this address book, as the
  /// book's "use in the birthdays calendar" setting does.
  void feedBirthdays();

 private:
  std::string uid_;
  SourceKind kind_;
};

/// Sources of one kind that take whole files, each file into the first
/// source that holds none of its UIDs: a source keeps one object per UID, so
/// files that share one would overwrite each other. Removed on destruction.
class SeparatingSources {
 public:
  explicit SeparatingSources(SourceKind kind) : kind_(kind) {}
  SeparatingSources(const SeparatingSources&) = delete;
  SeparatingSources& operator=(const SeparatingSources&) = delete;

  /// Loads `text` (importCalendar or addCards); false when the service
  /// refuses it.
  bool load(const std::string& text);
  /// Whether a loaded text holds `uid`.
  bool holds(const std::string& uid) const;

 private:
  struct Held {
    std::unique_ptr<TestSource> source;
    std::set<std::string> uids;
  };
  SourceKind kind_;
  std::vector<Held> sources_;
};

}  // namespace test
