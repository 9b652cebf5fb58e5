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

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_set>

#include "base/unique_fd.h"
#include "sources/vcard/vcard_reader.h"

namespace {

constexpr size_t kBlockSize = size_t{1} << 20;

/// The unread part of the file. Its storage grows to the largest card and is
/// then reused; space is never zero-filled, so pages only asked for but not
/// read into cost nothing, and a large buffer grows in place where it can.
class TextBuffer {
 public:
  std::string_view text() const { return {storage_.get(), used_}; }
  /// Room for `count` more bytes, or nothing when memory runs out.
  char* spaceFor(size_t count) {
    if (capacity_ - used_ < count) {
      const size_t capacity = std::max(used_ + count, capacity_ + capacity_ / 2);
      void* grown = std::realloc(storage_.get(), capacity);
      if (!grown) return nullptr;
      (void)storage_.release();
      storage_.reset(static_cast<char*>(grown));
      capacity_ = capacity;
    }
    return storage_.get() + used_;
  }
  void grow(size_t count) { used_ += count; }
  void dropFront(size_t count) {
    std::memmove(storage_.get(), storage_.get() + count, used_ - count);
    used_ -= count;
  }

 private:
  struct Free {
    void operator()(char* p) const { std::free(p); }
  };
  std::unique_ptr<char, Free> storage_;
  size_t capacity_ = 0;
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
  if (!space) return -1;
  ssize_t got;
  do {
    got = read(fd_.get(), space, count);
  } while (got < 0 && errno == EINTR);
  if (got > 0) buffer.grow(static_cast<size_t>(got));
  return got;
}

/// How many leading bytes of `text` are whole lines: up to its last line end,
/// where CRs at the very end do not count, since an LF may yet follow them.
size_t wholeLinesOf(std::string_view text) {
  size_t end = text.size();
  while (end > 0 && text[end - 1] == '\r') --end;
  const size_t lastLineEnd = text.substr(0, end).find_last_of("\r\n");
  return lastLineEnd == std::string_view::npos ? 0 : lastLineEnd + 1;
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
    const size_t usable = atEnd ? text.size() : wholeLinesOf(text);
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
        firstPosition, atEnd);
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
