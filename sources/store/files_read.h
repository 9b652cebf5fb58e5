// The files one walk of a file store has read, known by device and inode, so
// that a file reached through a link, or listed twice, is read once. One
// walk, one thread.
#pragma once

#include <sys/stat.h>

#include <set>
#include <utility>

class FilesRead {
 public:
  /// True the first time the file that `info` describes is offered.
  bool isFirstVisit(const struct stat& info) { return seen_.emplace(info.st_dev, info.st_ino).second; }

 private:
  std::set<std::pair<dev_t, ino_t>> seen_;
};
