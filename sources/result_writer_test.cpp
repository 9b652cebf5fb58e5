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

struct Emitted {
  int status = -1;
  std::vector<std::string> writes;  // each write() as one packet
};

/// Runs emit(result) in a child whose standard output is a packet socket.
Emitted runEmit(const json& result) {
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    dup2(fds[1], STDOUT_FILENO);
    NativeSources::emit(result);
  }
  close(fds[1]);
  Emitted emitted;
  int wstatus = 0;
  waitpid(child, &wstatus, 0);
  emitted.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  char buffer[4096];
  for (ssize_t got; (got = recv(fds[0], buffer, sizeof buffer, MSG_DONTWAIT)) > 0;) emitted.writes.emplace_back(buffer, got);
  close(fds[0]);
  return emitted;
}

TEST(ResultWriter, OneCompactLineThenLineFeedAndStatusZeroOnlyForOkTrue) {
  const json good = {{"ok", true}, {"text", "tab\there \"q\" line\nbreak caf\xC3\xA9"}, {"n", 0.1}};
  // Text that is not UTF-8 cannot be written; the fallback line claims
  // failure, so it must never come with status 0.
  const std::vector<std::tuple<json, std::string, int>> cases = {
      {good, good.dump(), 0},
      {{{"ok", false}, {"reason", "no"}}, R"({"ok":false,"reason":"no"})", 2},
      {json::object(), "{}", 2},
      {{{"ok", 1}}, R"({"ok":1})", 2},
      {{{"ok", true}, {"name", "bad \xFF byte"}}, R"({"ok":false})", 2},
  };
  for (const auto& [result, line, status] : cases) {
    const Emitted emitted = runEmit(result);
    EXPECT_EQ(emitted.status, status) << line;
    EXPECT_EQ(emitted.writes, (std::vector<std::string>{line, "\n"})) << line;
  }
}

}  // namespace
