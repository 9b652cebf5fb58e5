// writeAll against descriptors that take bytes slowly or not at all.
#include "base/write_all.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "base/unique_fd.h"

namespace {

// The pipe is full before the writer starts, and the message is many
// pipe-fulls: the writer meets EAGAIN and must wait for the reader.
TEST(WriteAll, NonBlockingPipeThatIsFullGetsEveryByte) {
  std::optional<Pipe> pipe = makePipe();
  ASSERT_TRUE(pipe);
  ASSERT_EQ(fcntl(pipe->writeEnd.get(), F_SETFL, O_NONBLOCK), 0);
  const std::string filler(4096, '.');
  size_t filled = 0;
  for (ssize_t took; (took = write(pipe->writeEnd.get(), filler.data(), filler.size())) > 0;)
    filled += static_cast<size_t>(took);
  ASSERT_EQ(errno, EAGAIN);
  std::string message;
  for (int i = 0; message.size() < 1'000'000; ++i) message += std::to_string(i) + "\n";
  bool sent = false;
  std::thread writer([&] {
    sent = writeAll(pipe->writeEnd.get(), message);
    pipe->writeEnd.reset();
  });
  const std::optional<std::string> received = readToEnd(pipe->readEnd);
  writer.join();
  EXPECT_TRUE(sent);
  ASSERT_TRUE(received);
  EXPECT_EQ(received->size(), filled + message.size());
  EXPECT_TRUE(received->substr(filled) == message);
}

TEST(WriteAll, RealErrorIsReportedAtOnce) {
  UniqueFd full(open("/dev/full", O_WRONLY | O_NONBLOCK | O_CLOEXEC));
  ASSERT_TRUE(full.isOpen());
  EXPECT_FALSE(writeAll(full.get(), "no room\n"));
  EXPECT_FALSE(writeAll(-1, "no descriptor\n"));
  EXPECT_TRUE(writeAll(full.get(), ""));
}

}  // namespace
