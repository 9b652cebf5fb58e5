#include "ui/setup_run.h"

#include <string>
#include <system_error>

#include "install/mervo_paths.h"
#include "scripts/child_process.h"
#include "scripts/run_script.h"
#include "ui/pending_changes.h"

namespace {

void runSetupScript(const std::shared_ptr<PendingChanges>& changes) {
  const int32_t status = runScript(MervoPaths::setupScript(), {},
                                   [changes](const std::string& text) {
                                     changes->addOutputWaiting(text, SetupRun::kOutputWaitingLimit);
                                   });
  changes->addSetupEnded(status);
}

}  // namespace

SetupRun::SetupRun(std::shared_ptr<PendingChanges> changes)
    : ended_(std::make_shared<std::atomic<bool>>(false)) {
  try {
    thread_ = std::thread([changes, ended = ended_] {
      runSetupScript(changes);
      ended->store(true, std::memory_order_release);
    });
  } catch (const std::system_error&) {
    changes->addSetupEnded(kCannotStartStatus);
  }
}

SetupRun::~SetupRun() {
  if (!thread_.joinable()) return;
  if (ended_->load(std::memory_order_acquire))
    thread_.join();
  else
    thread_.detach();
}
