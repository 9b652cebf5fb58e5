// Writing the program's messages to its standard streams. Each message goes
// out as one write() where the descriptor takes it whole, so messages from
// several threads never interleave; a partial write is continued, never lost.
#pragma once

#include <string_view>

/// Writes all of `bytes` to `fd`, retrying after EINTR and partial writes.
/// Returns false when the descriptor refuses them (closed, full disk, ...).
bool writeMessage(int fd, std::string_view bytes);
