// The windowed mode prints nothing. For as long as a QuietStreams lives, the
// program's standard output and standard error lead to /dev/null, so neither
// the toolkit, the libraries it loads, nor the programs it starts (a browser
// for a link, a file manager) write to the terminal, and every message of
// Qt's is dropped. The program's one line of its own (a fatal toolkit
// failure) goes to the original standard error, kept aside.
//
// Thread safety: construct and destroy on the main thread, one at a time, and
// before the toolkit starts; the message handler may run on any thread.
#pragma once

#include <QtGlobal>

#include "base/unique_fd.h"

class QuietStreams {
 public:
  /// Redirects both streams and installs the quiet message handler. When
  /// /dev/null cannot be opened, the streams stay as they were (the handler
  /// still drops Qt's messages).
  QuietStreams();
  /// Puts both streams and the previous message handler back.
  ~QuietStreams();
  QuietStreams(const QuietStreams&) = delete;
  QuietStreams& operator=(const QuietStreams&) = delete;

 private:
  UniqueFd ownOutput_;
  UniqueFd ownError_;
  QtMessageHandler previousHandler_ = nullptr;
};
