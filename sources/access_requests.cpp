// Access requests to the calendar and contacts stores. The waiting caller and
// the store's completion share one grant cell (an atomic flag and a counting
// semaphore): the completion may run on any thread, in time or long after the
// caller has stopped waiting, and still finds the cell alive. Every operation
// here is safe from any thread; none keeps state between calls.
#include "sources/access_requests.h"

#include <semaphore.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <ctime>
#include <memory>
#include <system_error>
#include <thread>

#include "sources/machine_stores.h"

namespace NativeSources {
namespace {

/// What the waiter and the completion share. The flag is written before the
/// semaphore is posted, so a waiter woken by the post reads the answer. A
/// POSIX semaphore, because the standard library's timed wait polls with
/// growing sleeps and noticed an answer up to tens of milliseconds late.
class GrantCell {
 public:
  GrantCell() { sem_init(&answered_, 0, 0); }
  ~GrantCell() { sem_destroy(&answered_); }
  GrantCell(const GrantCell&) = delete;
  GrantCell& operator=(const GrantCell&) = delete;

  void answer(bool granted) {
    granted_.store(granted, std::memory_order_release);
    sem_post(&answered_);
  }

  /// Waits for the answer until `deadline` on the monotonic clock; which of
  /// the two came first does not matter, the flag says what is known by now.
  bool grantedBy(const timespec& deadline) {
    while (sem_clockwait(&answered_, CLOCK_MONOTONIC, &deadline) != 0 && errno == EINTR) {
    }
    return granted_.load(std::memory_order_acquire);
  }

 private:
  std::atomic<bool> granted_{false};
  sem_t answered_;
};

/// The longest wait we honour: far beyond any prompt, and small enough that
/// adding it to the monotonic clock cannot overflow.
constexpr double kLongestWaitSeconds = 365.0 * 24 * 3600;

/// Now plus `timeoutSeconds` on the monotonic clock.
timespec deadlineAfter(double timeoutSeconds) {
  double seconds = timeoutSeconds;
  if (std::isnan(seconds) || seconds < 0) seconds = 0;
  if (seconds > kLongestWaitSeconds) seconds = kLongestWaitSeconds;
  const auto length = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::duration<double>(seconds));
  timespec deadline{};
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  const long long nanoseconds = deadline.tv_nsec + length.count() % 1'000'000'000;
  deadline.tv_sec += static_cast<time_t>(length.count() / 1'000'000'000 + nanoseconds / 1'000'000'000);
  deadline.tv_nsec = static_cast<long>(nanoseconds % 1'000'000'000);
  return deadline;
}

/// Asks `store` with waitForGrant and lets the store go once the wait ends.
/// A completion that arrives later holds only the shared cell, never the store.
template <typename Store>
bool askStore(std::unique_ptr<Store> store, double timeoutSeconds) {
  if (!store) return false;
  return waitForGrant(timeoutSeconds, [&store](GrantCompletion completion) {
    store->requestAccess(std::move(completion));
  });
}

}  // namespace

bool waitForGrant(double timeoutSeconds, const std::function<void(GrantCompletion)>& request) {
  auto cell = std::make_shared<GrantCell>();
  request([cell](bool granted) { cell->answer(granted); });
  return cell->grantedBy(deadlineAfter(timeoutSeconds));
}

bool requestCalendar(double timeoutSeconds) { return askStore(makeCalendarStore(), timeoutSeconds); }

bool requestContacts(double timeoutSeconds) { return askStore(makeContactsStore(), timeoutSeconds); }

}  // namespace NativeSources

namespace PromptableSources {

namespace {
constexpr double kPromptSeconds = 300;
}

void request() {
  // The prompts may outlive the window's interest in them; the thread owns
  // nothing but its own work, so it runs detached, like a job handed to a
  // background queue.
  try {
    std::thread([] {
      NativeSources::requestCalendar(kPromptSeconds);
      NativeSources::requestContacts(kPromptSeconds);
    }).detach();
  } catch (const std::system_error&) {
    // No thread to be had: the window goes on without the prompts.
  }
}

}  // namespace PromptableSources
