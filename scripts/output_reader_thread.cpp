#include "scripts/output_reader_thread.h"

#include <system_error>

OutputReaderThread::OutputReaderThread(ScriptOutput& output) : stopSignal_(makePipe()) {
  if (!stopSignal_) return;
  const int stopFd = stopSignal_->readEnd.get();
  try {
    thread_ = std::thread([&output, stopFd] { output.deliverUntilEndOrStop(stopFd); });
  } catch (const std::system_error&) {
    // No thread to be had: isRunning() says so and the script is not started.
  }
}

void OutputReaderThread::stop() {
  if (!thread_.joinable()) return;
  stopSignal_->writeEnd.reset();
  thread_.join();
}
