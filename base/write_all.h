// Writing whole byte strings to a descriptor: the program's messages to its
// standard streams, result lines, picture files. Each call goes out as one
// write() where the descriptor takes it whole, so messages from several
// threads never interleave; a partial write is continued, never lost. A
// descriptor that another process made non-blocking is waited on until it
// takes more, as a blocking one would be.
#pragma once

#include <string_view>

/// Writes all of `bytes` to `fd`, retrying after EINTR and partial writes and
/// waiting (poll) while a non-blocking descriptor is full. Returns true when
/// every byte went out, false when the descriptor refuses them (closed, full
/// disk, ...) or takes nothing.
bool writeAll(int fd, std::string_view bytes);
