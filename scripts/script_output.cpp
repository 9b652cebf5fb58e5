#include "scripts/script_output.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace {

// About one pipe's worth: a full pipe empties in one read.
constexpr size_t kReadBufferSize = 64 * 1024;

int millisecondsUntil(std::chrono::steady_clock::time_point deadline) {
  using namespace std::chrono;
  const auto left = ceil<milliseconds>(deadline - steady_clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

ScriptOutput::ScriptOutput(UniqueFd readEnd, OutputHandler handler)
    : readEnd_(std::move(readEnd)), handler_(std::move(handler)), buffer_(kReadBufferSize) {
  text_.reserve(kReadBufferSize + 4);
}

void ScriptOutput::readPiece() {
  const ssize_t count = ::read(readEnd_.get(), buffer_.data(), buffer_.size());
  if (count > 0) {
    decoder_.decode(std::string_view(buffer_.data(), static_cast<size_t>(count)), text_);
  } else if (count == 0 || (errno != EINTR && errno != EAGAIN)) {
    ended_ = true;
  }
}

void ScriptOutput::deliverText() {
  if (!text_.empty()) handler_(text_);
  text_.clear();
}

void ScriptOutput::deliverUntilEndOrStop(int stopFd) {
  while (!ended_) {
    pollfd watched[2] = {{readEnd_.get(), POLLIN, 0}, {stopFd, POLLIN, 0}};
    if (::poll(watched, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;  // the calling thread still drains the pipe
    }
    if (watched[1].revents != 0) return;
    if (watched[0].revents != 0) {
      readPiece();
      deliverText();
    }
  }
}

void ScriptOutput::deliverRemainder(std::chrono::steady_clock::time_point deadline) {
  while (!ended_) {
    pollfd watched = {readEnd_.get(), POLLIN, 0};
    const int ready = ::poll(&watched, 1, millisecondsUntil(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;  // the grace period is over, or the pipe failed
    readPiece();
    if (text_.size() >= kReadBufferSize) deliverText();
  }
  decoder_.finish(text_);
  deliverText();
  readEnd_.reset();
}
