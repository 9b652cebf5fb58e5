// The read end of a script's merged output pipe, decoded to valid UTF-8 and
// handed to the caller's handler. While the script runs the reader thread
// uses it; once that thread has been joined the calling thread takes over for
// the remainder. It is never used by two threads at once, and it keeps no
// more than one read buffer of output however much the script writes.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "base/unique_fd.h"
#include "scripts/run_script.h"
#include "scripts/utf8_chunk_decoder.h"

/// How long the remainder is still read after the script has ended. A
/// background process started by the script may hold the pipe open for as
/// long as it lives; what it writes after this is not read.
inline constexpr std::chrono::milliseconds kOutputGracePeriod{1000};

/// One script's output on its way from the pipe to the handler.
class ScriptOutput {
 public:
  ScriptOutput(UniqueFd readEnd, OutputHandler handler);
  ScriptOutput(const ScriptOutput&) = delete;
  ScriptOutput& operator=(const ScriptOutput&) = delete;

  /// Reader thread: reads the pipe and delivers each piece as soon as it is
  /// read, until end of file or until `stopFd` becomes readable (or hangs up).
  /// A character split at the end of a piece waits for the next piece.
  void deliverUntilEndOrStop(int stopFd);

  /// Calling thread, after the reader thread has stopped: reads what is left
  /// until end of file or `deadline`, and delivers it, with the bytes of a
  /// character the stream ended inside of as U+FFFD, in one call (more only
  /// when more than one read buffer is left). Closes the pipe.
  void deliverRemainder(std::chrono::steady_clock::time_point deadline);

 private:
  // Reads once and appends the decoded bytes to text_; sets ended_ at end of
  // file or on an error that will not go away.
  void readPiece();
  void deliverText();

  UniqueFd readEnd_;
  OutputHandler handler_;
  Utf8ChunkDecoder decoder_;
  std::vector<char> buffer_;
  std::string text_;
  bool ended_ = false;
};
