// Access to the calendar and contacts stores. A request asks a fresh store
// object and waits, with a deadline, for its answer, which arrives on a thread
// of the store's choosing. Refusal, failure and no answer all read as false.
#pragma once

#include <functional>

/// Called once, on any thread, with whether access was granted.
using GrantCompletion = std::function<void(bool granted)>;

/// The reasons the dumps give when access is not granted.
inline constexpr const char* kCalendarAccessRefused = "calendar access was not granted";
inline constexpr const char* kContactsAccessRefused = "contacts access was not granted";

namespace NativeSources {

/// Starts `request`, handing it a completion, and waits until the completion
/// has run or `timeoutSeconds` have passed on the monotonic clock. Returns the
/// granted flag at that moment. A completion that runs after the wait ended
/// is harmless: the flag and the signal it touches are shared with it.
bool waitForGrant(double timeoutSeconds, const std::function<void(GrantCompletion)>& request);

/// Asks a new calendar store for access; false unless granted in time.
bool requestCalendar(double timeoutSeconds = 120);

/// Asks a new contacts store for access; false unless granted in time.
bool requestContacts(double timeoutSeconds = 120);

}  // namespace NativeSources

namespace PromptableSources {

/// Returns at once. On a background thread, asks for calendar access, then,
/// whatever the answer, for contacts access, allowing 300 seconds for each.
/// Nobody is told the outcome.
void request();

}  // namespace PromptableSources
