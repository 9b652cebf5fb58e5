// How a file store answers an access request: a check of its locations, run
// on a thread of its own. Thread rule: that thread owns copies of everything
// it touches (the locations, the check, the completion) and is never joined,
// so the store, and the dump that made it, may go while the check is still
// stuck in the file system (a location on a dead network mount); only the
// requester's deadline decides how long anyone waits.
#pragma once

#include <functional>
#include <string>
#include <vector>

/// Whether a store may read its locations; locationsReadable in production.
using LocationsCheck = std::function<bool(const std::vector<std::string>& locations)>;

/// Runs `check` over `locations` on a detached thread, which then calls
/// `completion` with the answer. Answers false at once when no thread can be
/// had: never is not an answer.
void answerAccessOnOwnThread(std::vector<std::string> locations, LocationsCheck check,
                             std::function<void(bool granted)> completion);
