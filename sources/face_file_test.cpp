// Tests of writing an exported picture: whole replacement, targets that are
// not picture files, links, failures and signals part-way, abandoned
// temporary files, and the in-place fallback of the built program.
#include "sources/face_file.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>

#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> entriesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

/// Runs `work` in a child process, with the default action for the signals
/// the export handles and without core files; exits 0 when it returns true.
pid_t startChild(const std::function<bool()>& work) {
  const pid_t child = fork();
  if (child != 0) return child;
  for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP, SIGXFSZ}) signal(signalNumber, SIG_DFL);
  const rlimit noCore{0, 0};
  setrlimit(RLIMIT_CORE, &noCore);
  _exit(work() ? 0 : 1);
}

int waitFor(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

/// The name of the first temporary file to appear in `folder`, waiting up to
/// ten seconds; empty when none came.
std::string awaitTemporary(const std::string& folder) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline)
    for (const std::string& name : entriesIn(folder))
      if (name.ends_with(".tmp")) return name;
  return {};
}

// A picture is replaced whole, keeping its mode. The name given is what is
// replaced: a link, live or dangling, gives way to the picture, and whatever
// it pointed at stays as it was.
TEST(FaceFile, ReplacesAPictureOrALinkItselfWhole) {
  test::ScopedTempDir dir;
  test::writeFile(dir / "face.jpg", "an older and much longer picture");
  ASSERT_EQ(chmod((dir / "face.jpg").c_str(), 0640), 0);
  test::writeFile(dir / "shared/target.jpg", "someone else's file");
  ASSERT_EQ(symlink((dir / "shared/target.jpg").c_str(), (dir / "live.jpg").c_str()), 0);
  ASSERT_EQ(symlink((dir / "shared/nothing.jpg").c_str(), (dir / "dangling.jpg").c_str()), 0);
  for (const char* name : {"face.jpg", "live.jpg", "dangling.jpg"}) {
    ASSERT_TRUE(writeFaceFile(dir / name, "new")) << name;
    EXPECT_FALSE(fs::is_symlink(dir / name)) << name;
    EXPECT_EQ(test::readFile(dir / name), "new") << name;
  }
  EXPECT_EQ(fs::status(dir / "face.jpg").permissions(), fs::perms(0640));
  EXPECT_FALSE(writeFaceFile(dir / "missing/face.jpg", "x"));
  EXPECT_EQ(entriesIn(dir.path()), (std::vector<std::string>{"dangling.jpg", "face.jpg", "live.jpg", "shared"}));
  EXPECT_EQ(entriesIn(dir / "shared"), std::vector<std::string>{"target.jpg"});
  EXPECT_EQ(test::readFile(dir / "shared/target.jpg"), "someone else's file");
}

// Only a picture file (or a link in its place) is replaced: anything else at
// the path stays exactly what it was.
TEST(FaceFile, LeavesWhatIsNotAPictureFileAsItWas) {
  test::ScopedTempDir dir;
  ASSERT_EQ(mkdir((dir / "folder").c_str(), 0755), 0);
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0644), 0);
  const int listening = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, (dir / "socket").c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  std::vector<std::string> targets = {"folder", "fifo", "socket"};
  // A device can be made where the system allows it (as root, mostly).
  if (mknod((dir / "device").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) targets.push_back("device");
  const std::vector<std::string> before = entriesIn(dir.path());
  for (const std::string& target : targets) {
    struct stat old {}, now {};
    ASSERT_EQ(lstat((dir / target).c_str(), &old), 0);
    EXPECT_FALSE(writeFaceFile(dir / target, "picture")) << target;
    ASSERT_EQ(lstat((dir / target).c_str(), &now), 0) << target;
    EXPECT_TRUE(now.st_ino == old.st_ino && now.st_mode == old.st_mode) << target;
  }
  EXPECT_EQ(entriesIn(dir.path()), before);
  close(listening);
}

// A write cut short by the file size limit, through a temporary file or in
// place (a name too long to have a temporary one beside it), leaves the old
// picture whole, whether the limit's signal ends the process or is ignored.
TEST(FaceFile, AWriteCutShortLeavesTheOldPicture) {
  test::ScopedTempDir dir;
  const std::string bigger(10000, 'n');
  for (const std::string& name : {std::string("face.jpg"), std::string(240, 'f')}) {
    for (const bool ignoreSignal : {false, true}) {
      test::writeFile(dir / name, "old picture");
      const int status = waitFor(startChild([&] {
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        if (ignoreSignal) signal(SIGXFSZ, SIG_IGN);
        return writeFaceFile(dir / name, bigger);
      }));
      const std::string row = name.substr(0, 8) + (ignoreSignal ? ", signal ignored" : ", signal");
      EXPECT_TRUE(ignoreSignal ? WIFEXITED(status) && WEXITSTATUS(status) == 1
                               : WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << row;
      EXPECT_EQ(test::readFile(dir / name), "old picture") << row;
      EXPECT_EQ(entriesIn(dir.path()), std::vector<std::string>{name}) << row;
      fs::remove(dir / name);
    }
  }
}

// A signal in the middle of a large write removes the temporary file, then
// ends the process as the signal would; after SIGKILL, which no process can
// catch, the next export into the folder removes what was left.
TEST(FaceFile, NoTemporaryOutlivesItsExport) {
  test::ScopedTempDir dir;
  const std::string huge(64 << 20, 'x');
  test::writeFile(dir / "face.jpg", "old picture");
  pid_t killed = 0;
  for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP, SIGXFSZ, SIGKILL}) {
    const pid_t child = killed = startChild([&] { return writeFaceFile(dir / "face.jpg", huge); });
    const std::string temporary = awaitTemporary(dir.path());
    kill(child, signalNumber);
    const int status = waitFor(child);
    ASSERT_FALSE(temporary.empty()) << strsignal(signalNumber);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber) << strsignal(signalNumber);
    EXPECT_EQ(test::readFile(dir / "face.jpg"), "old picture") << strsignal(signalNumber);
    if (signalNumber != SIGKILL)
      EXPECT_EQ(entriesIn(dir.path()), std::vector<std::string>{"face.jpg"}) << strsignal(signalNumber);
    else
      EXPECT_TRUE(fs::exists(dir / temporary));
  }
  // A temporary file of a live process, and files that only look alike, stay.
  const std::vector<std::string> kept = {".a.tovana-mervo-" + std::to_string(getpid()) + "-0.tmp",
                                         ".b.tovana-mervo-x-0.tmp", "c.tovana-mervo-" + std::to_string(killed) + "-0.tmp",
                                         "face.jpg", "other.jpg"};
  for (const std::string& name : kept)
    if (name != "face.jpg") test::writeFile(dir / name, "");
  ASSERT_TRUE(writeFaceFile(dir / "other.jpg", "x"));
  std::vector<std::string> sortedKept = kept;
  std::sort(sortedKept.begin(), sortedKept.end());
  EXPECT_EQ(entriesIn(dir.path()), sortedKept);
}

// The built program, as a user whom file permissions bind: a folder that
// takes no new file, or a sticky one that refuses to let another user's
// writable file be replaced, gets the picture written in place, and a write
// cut short there puts the old bytes back.
TEST(FaceExportProgram, RewritesInPlaceOnlyWhereItMustAndNeverLeavesAMix) {
  test::ScopedTempDir dir;
  std::string photo;
  for (int i = 0; i < 1000; ++i) photo += "QkJD";  // 3000 bytes of "BBC"
  test::writeFile(dir / "book/ann.vcf", "BEGIN:VCARD\r\nUID:ann\r\nFN:Ann\r\nPHOTO;ENCODING=b:" + photo + "\r\nEND:VCARD\r\n");
  test::writeFile(dir / "shut/face.jpg", "old picture");
  test::writeFile(dir / "shut/locked.jpg", "locked");
  ASSERT_EQ(chmod((dir / "shut/locked.jpg").c_str(), 0444), 0);
  test::handToUnprivilegedUser(dir.path());
  ASSERT_EQ(chmod((dir / "shut").c_str(), 0555), 0);
  // Made after the hand-over: the folder and the file stay this user's.
  test::writeFile(dir / "sticky/face.jpg", "old picture");
  ASSERT_EQ(chmod((dir / "sticky").c_str(), 01777), 0);
  ASSERT_EQ(chmod((dir / "sticky/face.jpg").c_str(), 0666), 0);

  test::RunOptions options{.env = {{"TOVANA_MERVO_CONTACTS", dir / "book"}}, .unprivileged = true};
  const auto exportTo = [&](const std::string& out) {
    return test::runProgramWith({"--contact-face", "--id", "ann", "--out", dir / out}, options);
  };
  std::string expected;
  for (int i = 0; i < 1000; ++i) expected += "BBC";
  for (const char* out : {"shut/face.jpg", "sticky/face.jpg"}) {
    options.fileSizeLimit = 1024;
    EXPECT_NE(exportTo(out).status, 0) << out;
    EXPECT_EQ(test::readFile(dir / out), "old picture") << out << " after a write cut short";
    options.fileSizeLimit.reset();
    const test::ProgramRun run = exportTo(out);
    EXPECT_EQ(run.status, 0) << out << ": " << run.out;
    EXPECT_TRUE(test::readFile(dir / out) == expected) << out << " holds something else than the picture";
  }
  EXPECT_EQ(entriesIn(dir / "sticky"), std::vector<std::string>{"face.jpg"});
  for (const char* out : {"shut/locked.jpg", "shut/new.jpg"}) {
    const test::ProgramRun run = exportTo(out);
    EXPECT_EQ(run.status, 2) << out;
    EXPECT_EQ(run.out, "{\"ok\":false,\"reason\":\"could not write the face to " + dir / out + "\"}\n");
  }
  EXPECT_EQ(test::readFile(dir / "shut/locked.jpg"), "locked");
  EXPECT_EQ(entriesIn(dir / "shut"), (std::vector<std::string>{"face.jpg", "locked.jpg"}));
}

}  // namespace
