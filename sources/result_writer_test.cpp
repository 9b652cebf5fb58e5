// Tests of the result writer: the line it writes, each as one write, the
// status it chooses, also for a line that is lost, the one UTF-8 rule, and
// the fallback line for a result that cannot be built. The JSON text itself
// is checked in the dumps' tests.
#include "sources/result_writer.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "base/unique_fd.h"

namespace {

struct Written {
  int status = -1;
  std::vector<std::string> writes;  // each write() as one packet
};

/// Runs writeResult(build) into a packet socket, which keeps writes apart.
Written runWriteResult(const std::function<ResultText()>& build) {
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds) != 0) return {};
  Written written;
  written.status = NativeSources::writeResult(fds[1], build);
  close(fds[1]);
  char buffer[4096];
  for (ssize_t got; (got = recv(fds[0], buffer, sizeof buffer, MSG_DONTWAIT)) > 0;) written.writes.emplace_back(buffer, got);
  close(fds[0]);
  return written;
}

TEST(ResultWriter, OneCompactLineThenLineFeedAndStatusZeroOnlyForOkTrue) {
  const std::string goodLine = R"({"ok":true,"n":0.1})";
  // Text that is not UTF-8 is repaired, never the cause of the fallback line.
  const std::vector<std::tuple<std::function<ResultText()>, std::string, int>> cases = {
      {[&] { return ResultText{goodLine, true}; }, goodLine, 0},
      {[] { return failureResult("no \xFF"); }, "{\"ok\":false,\"reason\":\"no \xEF\xBF\xBD\"}", 2},
      {[]() -> ResultText { throw std::bad_alloc(); }, R"({"ok":false})", 2},
  };
  for (const auto& [build, line, status] : cases) {
    const Written written = runWriteResult(build);
    EXPECT_EQ(written.status, status) << line;
    EXPECT_EQ(written.writes, (std::vector<std::string>{line, "\n"})) << line;
  }
}

// The caller reads the status: a line that never reached it (a full disk, no
// descriptor) is a failure, whatever the result said.
TEST(ResultWriter, ALineThatCannotBeWrittenEndsWithStatusTwo) {
  const UniqueFd full(open("/dev/full", O_WRONLY | O_CLOEXEC));
  for (const int fd : {full.get(), -1})
    EXPECT_EQ(NativeSources::writeResult(fd, [] { return ResultText{R"({"ok":true})", true}; }), 2) << fd;
}

}  // namespace
