// Access requests to the calendar and contacts stores. The waiting caller and
// the store's completion share one grant cell (an atomic flag and a counting
// semaphore): the completion may run on any thread, in time or long after the
// caller has stopped waiting, and still finds the cell alive. Every operation
// here is safe from any thread; none keeps state between calls.
#include "sources/access_requests.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <semaphore>
#include <system_error>
#include <thread>

#include "sources/machine_stores.h"

namespace NativeSources {
namespace {

/// What the waiter and the completion share. The flag is written before the
/// semaphore is released, so a waiter woken by the release reads the answer.
struct GrantCell {
  std::atomic<bool> granted{false};
  std::counting_semaphore<> answered{0};
};

/// The longest wait we honour: far beyond any prompt, and small enough that
/// adding it to the monotonic clock cannot overflow.
constexpr double kLongestWaitSeconds = 365.0 * 24 * 3600;

std::chrono::steady_clock::duration waitLength(double timeoutSeconds) {
  double seconds = timeoutSeconds;
  if (std::isnan(seconds) || seconds < 0) seconds = 0;
  if (seconds > kLongestWaitSeconds) seconds = kLongestWaitSeconds;
  return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(seconds));
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
  request([cell](bool granted) {
    cell->granted.store(granted, std::memory_order_release);
    cell->answered.release();
  });
  const auto deadline = std::chrono::steady_clock::now() + waitLength(timeoutSeconds);
  // Woken by the answer or by the deadline; which one does not matter, the
  // flag says what is known by now.
  (void)cell->answered.try_acquire_until(deadline);
  return cell->granted.load(std::memory_order_acquire);
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
