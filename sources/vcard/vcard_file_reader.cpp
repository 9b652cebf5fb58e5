// Reading one vCard file in blocks; see vcard_file_reader.h.
//
// Each pass reads the complete lines in the buffer. The cards that ended in
// it are done and their bytes are dropped; a card still open at the end of
// the buffer is read again from its BEGIN once more bytes are in, so a card
// is never cut. Cards nested in a card that is read again were already
// handed out and are not handed out twice.
#include "sources/vcard/vcard_file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <vector>
#include <unordered_set>

#include "base/unique_fd.h"
#include "sources/vcard/vcard_reader.h"

namespace {

constexpr size_t kBlockSize = size_t{1} << 20;

/// The unread part of the file, without zero-filling space that is only read
/// into: its storage grows to the largest card and is then reused.
class TextBuffer {
 public:
  std::string_view text() const { return {storage_.data(), used_}; }
  char* spaceFor(size_t count) {
    if (storage_.size() < used_ + count) storage_.resize(used_ + count);
    return storage_.data() + used_;
  }
  void grow(size_t count) { used_ += count; }
  void dropFront(size_t count) {
    std::memmove(storage_.data(), storage_.data() + count, used_ - count);
    used_ -= count;
  }

 private:
  std::vector<char> storage_;
  size_t used_ = 0;
};

/// A descriptor opened for reading, closed when the holder goes.
class ReadableFile {
 public:
  explicit ReadableFile(const std::string& path)
      : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)) {}

  bool isRegular() const {
    struct stat info {};
    return fd_.isOpen() && fstat(fd_.get(), &info) == 0 && S_ISREG(info.st_mode);
  }

  /// Appends up to `count` bytes to `buffer`; the number read, 0 at the end,
  /// -1 on an error.
  ssize_t readInto(TextBuffer& buffer, size_t count);

 private:
  UniqueFd fd_;
};

ssize_t ReadableFile::readInto(TextBuffer& buffer, size_t count) {
  char* space = buffer.spaceFor(count);
  ssize_t got;
  do {
    got = read(fd_.get(), space, count);
  } while (got < 0 && errno == EINTR);
  if (got > 0) buffer.grow(static_cast<size_t>(got));
  return got;
}

}  // namespace

bool readVCardFile(const std::string& path, const VCardNeeds& needs, const std::function<void(VCardCard&)>& visit) {
  ReadableFile file(path);
  if (!file.isRegular()) return false;
  TextBuffer buffer;
  size_t firstPosition = 0;           // number of the first card in `buffer`
  std::unordered_set<size_t> handed;  // cards in `buffer` already handed out
  size_t wanted = kBlockSize;
  bool atEnd = false;
  while (!atEnd) {
    const ssize_t got = file.readInto(buffer, wanted);
    if (got < 0) return false;
    atEnd = got == 0;
    // Only whole lines are read; the rest waits for the next block.
    const std::string_view text = buffer.text();
    const size_t lastLineEnd = text.rfind('\n');
    const size_t usable = atEnd ? text.size() : (lastLineEnd == std::string_view::npos ? 0 : lastLineEnd + 1);
    size_t doneBytes = 0;
    size_t doneCards = 0;
    readVCards(
        text.substr(0, usable), needs,
        [&](VCardCard& card) {
          if (handed.insert(card.position).second) visit(card);
        },
        [&](size_t offset, size_t cards) {
          doneBytes = offset;
          doneCards = cards;
        },
        firstPosition);
    if (doneBytes > 0) {
      buffer.dropFront(doneBytes);
      firstPosition += doneCards;
      std::erase_if(handed, [&](size_t position) { return position < firstPosition; });
      wanted = kBlockSize;
    } else {
      wanted = text.size() + kBlockSize;  // one long card: read more at once
    }
  }
  return true;
}
