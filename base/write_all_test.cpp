// writeAll against descriptors that take bytes slowly or not at all.
#include "base/write_all.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "base/unique_fd.h"

namespace {

TEST(WriteAll, NonBlockingPipeThatFillsUpGetsEveryByte) {
  std::optional<Pipe> pipe = makePipe();
  ASSERT_TRUE(pipe);
  ASSERT_EQ(fcntl(pipe->writeEnd.get(), F_SETFL, O_NONBLOCK), 0);
  std::string message;
  for (int i = 0; message.size() < 1'000'000; ++i) message += std::to_string(i) + "\n";
  bool sent = false;
  std::thread writer([&] {
    sent = writeAll(pipe->writeEnd.get(), message);
    pipe->writeEnd.reset();
  });
  // The reader starts late, so the pipe is full long before it empties.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const std::optional<std::string> received = readToEnd(pipe->readEnd);
  writer.join();
  EXPECT_TRUE(sent);
  ASSERT_TRUE(received);
  EXPECT_EQ(received->size(), message.size());
  EXPECT_TRUE(*received == message);
}

TEST(WriteAll, RealErrorIsReportedAtOnce) {
  UniqueFd full(open("/dev/full", O_WRONLY | O_NONBLOCK | O_CLOEXEC));
  ASSERT_TRUE(full.isOpen());
  EXPECT_FALSE(writeAll(full.get(), "no room\n"));
  EXPECT_FALSE(writeAll(-1, "no descriptor\n"));
  EXPECT_TRUE(writeAll(full.get(), ""));
}

}  // namespace
