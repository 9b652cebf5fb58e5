// Tests of the result writer: the line it writes, the status it chooses, and
// the fallback line for a result that cannot be serialised.
#include "sources/result_writer.h"

#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using nlohmann::json;

/// Each write() the writer made, as one message of a packet socket.
std::vector<std::string> receiveWrites(int fd) {
  std::vector<std::string> writes;
  char buffer[65536];
  for (;;) {
    const ssize_t got = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (got <= 0) break;
    writes.emplace_back(buffer, static_cast<size_t>(got));
  }
  return writes;
}

struct Emitted {
  int status = -1;
  std::string out;
};

/// Runs emit(result) in a child process with standard output on a pipe.
Emitted runEmit(const json& result) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    dup2(fds[1], STDOUT_FILENO);
    close(fds[0]);
    close(fds[1]);
    NativeSources::emit(result);
  }
  close(fds[1]);
  Emitted emitted;
  char buffer[4096];
  ssize_t got;
  while ((got = read(fds[0], buffer, sizeof buffer)) > 0) emitted.out.append(buffer, got);
  close(fds[0]);
  int wstatus = 0;
  waitpid(child, &wstatus, 0);
  emitted.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  return emitted;
}

TEST(ResultWriter, StatusIsZeroOnlyForOkHoldingTrue) {
  const std::vector<std::pair<json, int>> cases = {
      {{{"ok", true}}, 0},
      {{{"ok", true}, {"people", json::array()}}, 0},
      {{{"ok", false}, {"reason", "contacts access was not granted"}}, 2},
      {json::object(), 2},
      {{{"reason", "x"}}, 2},
      {{{"ok", 1}}, 2},
      {{{"ok", "true"}}, 2},
      {{{"ok", nullptr}}, 2},
      {json::array({true}), 2},
  };
  for (const auto& [result, status] : cases) {
    const Emitted emitted = runEmit(result);
    EXPECT_EQ(emitted.status, status) << result.dump();
    EXPECT_EQ(emitted.out, result.dump() + "\n") << result.dump();
  }
}

TEST(ResultWriter, WritesOneCompactLineThatReadsBack) {
  const json result = {{"ok", true},
                       {"text", "tab\there \"quoted\" line\nbreak caf\xC3\xA9"},
                       {"number", 0.1},
                       {"list", {"a", "b"}}};
  const Emitted emitted = runEmit(result);
  ASSERT_FALSE(emitted.out.empty());
  EXPECT_EQ(emitted.out.find('\n'), emitted.out.size() - 1) << emitted.out;
  EXPECT_EQ(emitted.out.find(": "), std::string::npos) << emitted.out;
  EXPECT_EQ(json::parse(emitted.out), result);
}

TEST(ResultWriter, UnserialisableResultGivesFallbackLineAndFailureStatus) {
  // The object claims success, but a line reading {"ok":false} must never
  // come with status 0.
  for (const bool ok : {true, false}) {
    const json result = {{"ok", ok}, {"name", "bad \xFF byte"}};
    const Emitted emitted = runEmit(result);
    EXPECT_EQ(emitted.out, "{\"ok\":false}\n") << ok;
    EXPECT_EQ(emitted.status, 2) << ok;
  }
}

TEST(ResultWriter, TextAndLineFeedAreTwoSeparateWrites) {
  int fds[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds), 0);
  EXPECT_EQ(NativeSources::writeResult(fds[0], std::string("{\"ok\":true}"), true), 0);
  EXPECT_EQ(receiveWrites(fds[1]), (std::vector<std::string>{"{\"ok\":true}", "\n"}));
  EXPECT_EQ(NativeSources::writeResult(fds[0], std::nullopt, true), 2);
  EXPECT_EQ(receiveWrites(fds[1]), (std::vector<std::string>{"{\"ok\":false}", "\n"}));
  EXPECT_EQ(NativeSources::writeResult(fds[0], std::string("{\"ok\":false}"), false), 2);
  EXPECT_EQ(receiveWrites(fds[1]).size(), 2u);
  close(fds[0]);
  close(fds[1]);
}

}  // namespace
