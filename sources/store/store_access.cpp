// A store's access answer on a thread of its own; see store_access.h.
#include "sources/store/store_access.h"

#include <system_error>
#include <thread>

void answerAccessOnOwnThread(std::vector<std::string> locations, LocationsCheck check,
                             std::function<void(bool granted)> completion) {
  try {
    std::thread([locations = std::move(locations), check = std::move(check), completion]() {
      completion(check(locations));
    }).detach();
  } catch (const std::system_error&) {
    completion(false);
  }
}
