// Tests of replacing a file's contents, each replacement in a child process
// of its own: files and links replaced whole, whatever the length of their
// names; what is not a file left alone; a signal or a failed write part-way;
// the in-place rewrite where the folder takes no new file.
#include "base/replace_file_contents.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>

#include "base/unique_fd.h"

namespace {

namespace fs = std::filesystem;

/// The user the unprivileged children become when the tests run as root.
constexpr unsigned kNobody = 65534;

/// Each test works in a scratch folder of its own, removed with everything
/// in it afterwards, even where a row took away the write permission.
class ReplaceFileContents : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = testing::TempDir() + "mervo-replace-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }

  void TearDown() override {
    std::error_code ignored;
    for (auto it = fs::recursive_directory_iterator(dir, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored))
      if (it->is_directory(ignored) && !it->is_symlink(ignored))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(dir, ignored);
  }

  fs::path dir;
};

void writeOld(const fs::path& file) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << "old";
}

/// What the file holds, or nothing when it cannot be opened.
std::optional<std::string> contentsOf(const fs::path& file) {
  const UniqueFd opened(open(file.c_str(), O_RDONLY | O_CLOEXEC));
  return opened.isOpen() ? readToEnd(opened) : std::nullopt;
}

/// When the tests run as root, gives the folder and all in it to the user the
/// unprivileged children become, and lets that user pass through the folders
/// above it (mkdtemp's own folder is 0700).
void handToNobody(const fs::path& folder) {
  if (geteuid() != 0) return;
  ASSERT_EQ(lchown(folder.c_str(), kNobody, kNobody), 0);
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder))
    ASSERT_EQ(lchown(entry.path().c_str(), kNobody, kNobody), 0) << entry.path();
  std::error_code ignored;
  for (fs::path above = folder.parent_path(); above.has_relative_path(); above = above.parent_path())
    fs::permissions(above, fs::perms::others_exec, fs::perm_options::add, ignored);
}

std::set<std::string> entriesIn(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

/// How a child process that replaces a file runs.
struct Child {
  rlim_t fileSizeLimit = RLIM_INFINITY;
  bool ignoresFileSizeSignal = false;
  bool unprivileged = false;  ///< as kNobody when the tests run as root
  std::string workingFolder = "/";
};

/// Starts a child that exits 0 when replaceFileContents(path, bytes)
/// succeeds and 1 when it fails, with the default action for the signals it
/// holds back and without core files.
pid_t startReplacing(const std::string& path, const std::string& bytes, const Child& how = {}) {
  const pid_t child = fork();
  if (child != 0) return child;
  for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP, SIGXFSZ}) signal(signalNumber, SIG_DFL);
  if (how.ignoresFileSizeSignal) signal(SIGXFSZ, SIG_IGN);
  const rlimit noCore{0, 0}, size{how.fileSizeLimit, how.fileSizeLimit};
  const unsigned nobody = kNobody;
  if (setrlimit(RLIMIT_CORE, &noCore) != 0 || setrlimit(RLIMIT_FSIZE, &size) != 0 || chdir(how.workingFolder.c_str()) != 0 ||
      (how.unprivileged && geteuid() == 0 &&
       (setgroups(0, nullptr) != 0 || setresgid(nobody, nobody, nobody) != 0 || setresuid(nobody, nobody, nobody) != 0)))
    _exit(3);
  _exit(replaceFileContents(path, bytes) ? 0 : 1);
}

/// "exit N" or "signal N" for the child's end.
std::string endOf(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFSIGNALED(status) ? "signal " + std::to_string(WTERMSIG(status)) : "exit " + std::to_string(WEXITSTATUS(status));
}

// The name given is what is replaced: a file, keeping its mode, or a link,
// live or dangling, whatever it pointed at staying as it was; a name as long
// as the file system allows, or one without a folder, too. A write cut short
// by the file size limit leaves the old bytes. As a user whom file
// permissions bind, in a folder that takes no new file, a file that may be
// written is rewritten where it is, and gets its old bytes back when the
// limit's signal ends the write; one that may not, or a new one, is not
// written.
TEST_F(ReplaceFileContents, ReplacesWholeOrLeavesTheOldBytesAndNoTemporary) {
  for (const char* name : {"face.jpg", "cut.jpg", "shared/target.jpg", "shut/face.jpg", "shut/cut.jpg", "shut/locked.jpg"})
    writeOld(dir / name);
  ASSERT_EQ(chmod((dir / "face.jpg").c_str(), 0640), 0);
  ASSERT_EQ(symlink((dir / "shared/target.jpg").c_str(), (dir / "live.jpg").c_str()), 0);
  ASSERT_EQ(symlink((dir / "shared/nothing.jpg").c_str(), (dir / "dangling.jpg").c_str()), 0);
  ASSERT_EQ(chmod((dir / "shut/locked.jpg").c_str(), 0444), 0);
  ASSERT_NO_FATAL_FAILURE(handToNobody(dir));
  ASSERT_EQ(chmod((dir / "shut").c_str(), 0555), 0);
  const std::string picture(10000, 'p'), longest(NAME_MAX, 'n');
  const Child unprivileged{.unprivileged = true}, cutShort{.fileSizeLimit = 4096, .ignoresFileSizeSignal = true},
      killedInPlace{.fileSizeLimit = 4096, .unprivileged = true};
  const std::tuple<std::string, Child, std::string, std::optional<std::string>> rows[] = {
      {"face.jpg", {}, "exit 0", picture}, {"live.jpg", {}, "exit 0", picture}, {"dangling.jpg", {}, "exit 0", picture},
      {longest, {}, "exit 0", picture}, {"bare.jpg", {.workingFolder = dir}, "exit 0", picture},
      {"missing/face.jpg", {}, "exit 1", std::nullopt}, {"cut.jpg", cutShort, "exit 1", "old"},
      {"shut/face.jpg", unprivileged, "exit 0", picture}, {"shut/cut.jpg", killedInPlace, "signal " + std::to_string(SIGXFSZ), "old"},
      {"shut/locked.jpg", unprivileged, "exit 1", "old"}, {"shut/new.jpg", unprivileged, "exit 1", std::nullopt}};
  for (const auto& [name, how, end, after] : rows) {
    EXPECT_EQ(endOf(startReplacing(name == "bare.jpg" ? name : (dir / name).string(), picture, how)), end) << name;
    EXPECT_TRUE(contentsOf(dir / name) == after) << name << " holds something else";
  }
  EXPECT_EQ(fs::status(dir / "face.jpg").permissions(), fs::perms(0640));
  EXPECT_FALSE(fs::is_symlink(dir / "live.jpg") || fs::is_symlink(dir / "dangling.jpg"));
  EXPECT_EQ(contentsOf(dir / "shared/target.jpg"), "old");
  EXPECT_EQ(entriesIn(dir), (std::set<std::string>{"bare.jpg", "cut.jpg", "dangling.jpg", "face.jpg", "live.jpg",
                                                          longest, "shared", "shut"}));
  EXPECT_EQ(entriesIn(dir / "shared"), std::set<std::string>{"target.jpg"});
  EXPECT_EQ(entriesIn(dir / "shut"), (std::set<std::string>{"cut.jpg", "face.jpg", "locked.jpg"}));
}

TEST_F(ReplaceFileContents, LeavesWhatIsNotAFileAsItWas) {
  // A device can be made where the system allows it (as root, mostly).
  const std::pair<std::string, mode_t> others[] = {{"folder", S_IFDIR}, {"fifo", S_IFIFO}, {"socket", S_IFSOCK}, {"device", S_IFCHR}};
  for (const auto& [name, type] : others) {
    if ((type == S_IFDIR ? mkdir((dir / name).c_str(), 0755) : mknod((dir / name).c_str(), type | 0666, makedev(1, 3))) != 0) continue;
    struct stat old {}, now {};
    ASSERT_EQ(lstat((dir / name).c_str(), &old), 0);
    EXPECT_FALSE(replaceFileContents(dir / name, "picture")) << name;
    ASSERT_EQ(lstat((dir / name).c_str(), &now), 0) << name;
    EXPECT_TRUE(now.st_ino == old.st_ino && now.st_mode == old.st_mode && entriesIn(dir).size() == 1) << name;
    fs::remove(dir / name);
  }
}

/// Waits until a file in the folder that `watch` watches for IN_OPEN is
/// opened (not the folder itself); false when the watch fails.
bool awaitFileOpened(int watch) {
  alignas(inotify_event) char events[4096];
  for (ssize_t got; (got = read(watch, events, sizeof events)) > 0;)
    for (ssize_t at = 0; at < got; at += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(events + at)->len)
      if (reinterpret_cast<inotify_event*>(events + at)->len > 0) return true;
  return false;
}

// A signal that comes once the new file is open leaves no temporary file,
// and the file whole: the old one, or the new one when the signal came after
// the replacement. SIGKILL cannot be held back: the new file has no name to
// leave behind while it is written.
TEST_F(ReplaceFileContents, ASignalPartWayLeavesNoTemporary) {
  const std::string huge(64 << 20, 'x');
  for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP, SIGXFSZ, SIGKILL}) {
    writeOld(dir / "face.jpg");
    const UniqueFd watch(inotify_init1(IN_CLOEXEC));
    ASSERT_GE(inotify_add_watch(watch.get(), dir.c_str(), IN_OPEN), 0);
    const pid_t child = startReplacing(dir / "face.jpg", huge);
    ASSERT_TRUE(awaitFileOpened(watch.get()));
    kill(child, signalNumber);
    EXPECT_EQ(endOf(child), "signal " + std::to_string(signalNumber));
    const std::optional<std::string> left = contentsOf(dir / "face.jpg");
    EXPECT_TRUE(left == "old" || left == huge) << signalNumber;
    EXPECT_EQ(entriesIn(dir), std::set<std::string>{"face.jpg"}) << signalNumber;
  }
}

}  // namespace
