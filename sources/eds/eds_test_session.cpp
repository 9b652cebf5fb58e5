// The private desktop session of the tests; see eds_test_session.h.
#include "sources/eds/eds_test_session.h"

#include <dirent.h>
#include <fcntl.h>
#include <libebook/libebook.h>
#include <libecal/libecal.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "sources/eds/eds_glib.h"
#include "sources/eds/eds_session.h"

extern char** environ;

namespace test {
namespace {

constexpr const char* kEdsServices = "/usr/share/dbus-1/services";
constexpr const char* kEdsNames[] = {"org.gnome.evolution.dataserver.Sources5",
                                     "org.gnome.evolution.dataserver.Calendar8",
                                     "org.gnome.evolution.dataserver.AddressBook10"};

std::string busConfig(BusKind kind, const std::string& folder) {
  std::string config =
      "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
      " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n<busconfig>\n<type>session</type>\n"
      "<listen>unix:dir=" + folder + "</listen>\n<auth>EXTERNAL</auth>\n";
  if (kind != BusKind::withoutEds) config += std::string("<servicedir>") + kEdsServices + "</servicedir>\n";
  config += "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
            "<allow eavesdrop=\"true\"/><allow own=\"*\"/>";
  // A sandbox that keeps the session's programs away from the desktop store.
  if (kind == BusKind::denyingEds)
    for (const char* name : kEdsNames)
      config += std::string("<deny send_destination=\"") + name + "\"/><deny own=\"" + name + "\"/>";
  // The limits of the usual session bus: one batch may carry a whole book.
  config += "</policy>\n<limit name=\"max_incoming_bytes\">1000000000</limit>"
            "<limit name=\"max_outgoing_bytes\">1000000000</limit>"
            "<limit name=\"max_message_size\">1000000000</limit>\n</busconfig>\n";
  return config;
}

/// The processes whose parent is this one. The tests make this process the
/// reaper of orphans, so the services a bus starts end up here.
std::vector<pid_t> childProcesses() {
  std::vector<pid_t> children;
  DIR* proc = opendir("/proc");
  if (!proc) return children;
  const std::string self = std::to_string(getpid());
  while (dirent* entry = readdir(proc)) {
    const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
    if (pid <= 0) continue;
    std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
    std::string line;
    std::getline(stat, line);
    const size_t close = line.rfind(')');
    if (close == std::string::npos) continue;
    // After the name: state, then the parent's id.
    char state = 0;
    long parent = 0;
    if (std::sscanf(line.c_str() + close + 1, " %c %ld", &state, &parent) == 2 && std::to_string(parent) == self)
      children.push_back(pid);
  }
  closedir(proc);
  return children;
}

/// Stops `pid` (TERM, then KILL after two seconds) and reaps it.
void stopProcess(pid_t pid) {
  kill(pid, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (waitpid(pid, nullptr, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::string readAddress(int fd) {
  std::string address;
  char c = 0;
  while (read(fd, &c, 1) == 1 && c != '\n') address += c;
  return address;
}

GObjectPtr<ESourceRegistry> registry() {
  GObjectPtr<ESourceRegistry> opened(e_source_registry_new_sync(nullptr, nullptr));
  if (!opened) throw std::runtime_error("the source registry did not answer");
  return opened;
}

const char* extensionOf(SourceKind kind) {
  switch (kind) {
    case SourceKind::calendar: return E_SOURCE_EXTENSION_CALENDAR;
    case SourceKind::taskList: return E_SOURCE_EXTENSION_TASK_LIST;
    case SourceKind::addressBook: return E_SOURCE_EXTENSION_ADDRESS_BOOK;
  }
  return E_SOURCE_EXTENSION_CALENDAR;
}

GObjectPtr<EClient> connect(const std::string& uid, SourceKind kind) {
  GObjectPtr<ESourceRegistry> opened = registry();
  GObjectPtr<ESource> source(e_source_registry_ref_source(opened.get(), uid.c_str()));
  if (!source) {
    std::fprintf(stderr, "the registry does not know the source %s\n", uid.c_str());
    return nullptr;
  }
  GErrorOwner error;
  const auto type = kind == SourceKind::calendar ? E_CAL_CLIENT_SOURCE_TYPE_EVENTS : E_CAL_CLIENT_SOURCE_TYPE_TASKS;
  GObjectPtr<EClient> client(
      kind == SourceKind::addressBook
          ? e_book_client_connect_sync(source.get(), kConnectWithoutWaiting, nullptr, error.out())
          : e_cal_client_connect_sync(source.get(), type, kConnectWithoutWaiting, nullptr, error.out()));
  if (!client) std::fprintf(stderr, "connecting to a source failed: %s\n", error.get()->message);
  return client;
}

/// The cards of `text` as the service's parser takes them: from a
/// BEGIN:VCARD line to the END:VCARD that closes it, or to the end of the
/// text when that is missing.
std::vector<std::string> cardTexts(const std::string& text) {
  std::vector<std::string> cards;
  size_t begin = std::string::npos;
  int depth = 0;
  size_t lineStart = 0;
  while (lineStart < text.size()) {
    size_t lineEnd = text.find('\n', lineStart);
    if (lineEnd == std::string::npos) lineEnd = text.size();
    std::string line = text.substr(lineStart, lineEnd - lineStart);
    for (char& c : line) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (line.rfind("BEGIN:VCARD", 0) == 0 && depth++ == 0) begin = lineStart;
    if (line.rfind("END:VCARD", 0) == 0 && depth > 0 && --depth == 0)
      cards.push_back(text.substr(begin, lineEnd + 1 - begin));
    lineStart = lineEnd + 1;
  }
  if (depth > 0) cards.push_back(text.substr(begin));
  return cards;
}

/// The top-level components of an iCalendar text: its calendars (the
/// parser wraps several in one root) or a bare component.
std::vector<GObjectPtr<ICalComponent>> calendarsIn(const std::string& text) {
  std::vector<GObjectPtr<ICalComponent>> calendars;
  GObjectPtr<ICalComponent> parsed(i_cal_component_new_from_string(text.c_str()));
  if (!parsed) return calendars;
  if (i_cal_component_isa(parsed.get()) != I_CAL_XROOT_COMPONENT) {
    calendars.push_back(std::move(parsed));
    return calendars;
  }
  for (GObjectPtr<ICalComponent> part(i_cal_component_get_first_component(parsed.get(), I_CAL_ANY_COMPONENT)); part;
       part.reset(i_cal_component_get_next_component(parsed.get(), I_CAL_ANY_COMPONENT)))
    calendars.emplace_back(i_cal_component_clone(part.get()));
  return calendars;
}

}  // namespace

PrivateBus::PrivateBus(BusKind kind, const std::string& folder) {
  mkdir(folder.c_str(), 0700);
  const std::string configPath = folder + "/bus.conf";
  std::ofstream(configPath) << busConfig(kind, folder);
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 3);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const std::string configArgument = "--config-file=" + configPath;
  std::vector<char*> argv = {const_cast<char*>("dbus-daemon"), const_cast<char*>(configArgument.c_str()),
                             const_cast<char*>("--nofork"), const_cast<char*>("--print-address=3"), nullptr};
  if (posix_spawnp(&daemon_, "dbus-daemon", &actions, nullptr, argv.data(), environ) != 0) daemon_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (daemon_ > 0) address_ = readAddress(pipeFds[0]);
  close(pipeFds[0]);
}

PrivateBus::~PrivateBus() {
  if (daemon_ > 0) stopProcess(daemon_);
  // The services it started are orphans now, and ours to stop.
  for (pid_t child : childProcesses()) stopProcess(child);
}

PrivateSession::PrivateSession() {
  // Services the bus starts are left without a parent; they come to this
  // process, which stops them at the end.
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  for (const char* name : {"home", "config", "data", "cache", "runtime"}) mkdir((folder_ / name).c_str(), 0700);
  setenv("HOME", (folder_ / "home").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
  setenv("XDG_DATA_HOME", (folder_ / "data").c_str(), 1);
  setenv("XDG_CACHE_HOME", (folder_ / "cache").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (folder_ / "runtime").c_str(), 1);
  setenv("GSETTINGS_BACKEND", "memory", 1);
  unsetenv("TOVANA_MERVO_CALENDARS");
  unsetenv("TOVANA_MERVO_CONTACTS");
  bus_ = std::make_unique<PrivateBus>(BusKind::withEds, folder_ / "bus");
  setenv("DBUS_SESSION_BUS_ADDRESS", bus_->address().c_str(), 1);
}

PrivateSession::~PrivateSession() { bus_.reset(); }

TestSource::TestSource(const std::string& displayName, SourceKind kind, bool enabled) : kind_(kind) {
  GObjectPtr<ESourceRegistry> opened = registry();
  GObjectPtr<ESource> source(e_source_new(nullptr, nullptr, nullptr));
  e_source_set_display_name(source.get(), displayName.c_str());
  e_source_set_parent(source.get(), "local-stub");
  e_source_set_enabled(source.get(), enabled);
  e_source_backend_set_backend_name(E_SOURCE_BACKEND(e_source_get_extension(source.get(), extensionOf(kind))),
                                    "local");
  GErrorOwner error;
  if (!e_source_registry_commit_source_sync(opened.get(), source.get(), nullptr, error.out()))
    throw std::runtime_error(std::string("committing a source failed: ") + error.get()->message);
  uid_ = e_source_get_uid(source.get());
}

TestSource::~TestSource() {
  try {
    GObjectPtr<ESourceRegistry> opened = registry();
    GObjectPtr<ESource> source(e_source_registry_ref_source(opened.get(), uid_.c_str()));
    if (source) e_source_remove_sync(source.get(), nullptr, nullptr);
  } catch (const std::runtime_error&) {
  }
}

bool TestSource::importCalendar(const std::string& text) {
  GObjectPtr<EClient> client = connect(uid_, kind_);
  const std::vector<GObjectPtr<ICalComponent>> calendars = calendarsIn(text);
  if (!client || calendars.empty()) return false;
  for (const GObjectPtr<ICalComponent>& calendar : calendars) {
    GErrorOwner error;
    if (!e_cal_client_receive_objects_sync(E_CAL_CLIENT(client.get()), calendar.get(), E_CAL_OPERATION_FLAG_NONE,
                                           nullptr, error.out())) {
      std::fprintf(stderr, "importing a calendar failed: %s\n", error.get()->message);
      return false;
    }
  }
  return true;
}

void TestSource::feedBirthdays() {
  GObjectPtr<ESourceRegistry> opened = registry();
  GObjectPtr<ESource> source(e_source_registry_ref_source(opened.get(), uid_.c_str()));
  if (!source) throw std::runtime_error("the source is gone");
  e_source_contacts_set_include_me(
      E_SOURCE_CONTACTS(e_source_get_extension(source.get(), E_SOURCE_EXTENSION_CONTACTS_BACKEND)), TRUE);
  GErrorOwner error;
  if (!e_source_write_sync(source.get(), nullptr, error.out()))
    throw std::runtime_error(std::string("writing a source failed: ") + error.get()->message);
}

bool TestSource::addCards(const std::string& text) {
  GObjectPtr<EClient> client = connect(uid_, kind_);
  if (!client) return false;
  // In batches: one call per card rewrites the book each time, one call for
  // a whole large book overruns the bus's message limit.
  const std::vector<std::string> cards = cardTexts(text);
  constexpr size_t kBatch = 500;
  for (size_t first = 0; first < cards.size(); first += kBatch) {
    GSList* contacts = nullptr;
    for (size_t i = first; i < std::min(cards.size(), first + kBatch); ++i)
      contacts = g_slist_prepend(contacts, e_contact_new_from_vcard(cards[i].c_str()));
    contacts = g_slist_reverse(contacts);
    GErrorOwner error;
    const bool added = e_book_client_add_contacts_sync(E_BOOK_CLIENT(client.get()), contacts,
                                                       E_BOOK_OPERATION_FLAG_NONE, nullptr, nullptr, error.out());
    g_slist_free_full(contacts, g_object_unref);
    if (!added) {
      std::fprintf(stderr, "adding cards failed: %s\n", error.get()->message);
      return false;
    }
  }
  return true;
}

namespace {

/// The UIDs of the events or the cards of one text, as the service's own
/// parsers read them.
std::set<std::string> uidsIn(const std::string& text, SourceKind kind) {
  std::set<std::string> uids;
  auto add = [&uids](const char* uid) {
    if (uid && *uid) uids.insert(uid);
  };
  if (kind == SourceKind::addressBook) {
    for (const std::string& card : cardTexts(text)) {
      GObjectPtr<EContact> contact(e_contact_new_from_vcard(card.c_str()));
      if (contact) add(static_cast<const char*>(e_contact_get_const(contact.get(), E_CONTACT_UID)));
    }
    return uids;
  }
  for (const GObjectPtr<ICalComponent>& calendar : calendarsIn(text)) {
    // A bare event stands for itself; a calendar holds its events.
    add(i_cal_component_get_uid(calendar.get()));
    for (GObjectPtr<ICalComponent> event(i_cal_component_get_first_component(calendar.get(), I_CAL_VEVENT_COMPONENT));
         event; event.reset(i_cal_component_get_next_component(calendar.get(), I_CAL_VEVENT_COMPONENT)))
      add(i_cal_component_get_uid(event.get()));
  }
  return uids;
}

}  // namespace

bool SeparatingSources::load(const std::string& text) {
  const std::set<std::string> uids = uidsIn(text, kind_);
  auto held = std::find_if(sources_.begin(), sources_.end(), [&uids](const Held& h) {
    return std::none_of(uids.begin(), uids.end(), [&h](const std::string& uid) { return h.uids.count(uid) > 0; });
  });
  if (held == sources_.end()) {
    const std::string name = "Separated " + std::to_string(sources_.size() + 1);
    sources_.push_back({std::make_unique<TestSource>(name, kind_), {}});
    held = sources_.end() - 1;
  }
  const bool loaded = kind_ == SourceKind::addressBook ? held->source->addCards(text)
                                                        : held->source->importCalendar(text);
  if (loaded) held->uids.insert(uids.begin(), uids.end());
  return loaded;
}

bool SeparatingSources::holds(const std::string& uid) const {
  return std::any_of(sources_.begin(), sources_.end(), [&uid](const Held& h) { return h.uids.count(uid) > 0; });
}

}  // namespace test
