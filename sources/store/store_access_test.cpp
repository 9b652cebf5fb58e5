// Tests of a file store's access answer: given on a thread of its own, which
// nobody waits for.
#include "sources/store/store_access.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <semaphore>

namespace {

// A check stuck in the file system (a dead network mount) must not hold up
// the caller, nor whoever then lets the store go: the requester's deadline
// alone decides how long a dump waits.
TEST(StoreAccess, AnswersOnAThreadOfItsOwnThatNobodyWaitsFor) {
  auto stuck = std::make_shared<std::binary_semaphore>(0);
  auto checked = std::make_shared<std::atomic<bool>>(false);
  std::promise<bool> answer;
  const auto check = [stuck, checked](const std::vector<std::string>& locations) {
    stuck->try_acquire_for(std::chrono::minutes(1));
    checked->store(true);
    return locations == std::vector<std::string>{"/a"};
  };
  answerAccessOnOwnThread({"/a"}, check, [&answer](bool granted) { answer.set_value(granted); });
  EXPECT_FALSE(checked->load()) << "the caller waited for the check";
  stuck->release();
  EXPECT_TRUE(answer.get_future().get());
}

}  // namespace
