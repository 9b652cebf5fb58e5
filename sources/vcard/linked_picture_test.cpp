// Tests of linked picture files: a file inside the store's folders counts
// whatever its format; one outside them or hidden in them (a listed card file
// in the home makes the home a picture folder), through a link or not, links to
// devices, FIFOs, kernel files and huge files never yield bytes.
#include "sources/vcard/linked_picture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace {

TEST(LinkedPicture, OnlyRegularFilesInsideTheFoldersUpToTheLimitCount) {
  test::ScopedTempDir dir;
  const std::string text = "BM: not a picture, but inside the book";
  for (const char* name : {"book/notes.txt", "book-other/face.jpg", "secret/notes.txt", "book/.ssh/id_rsa", "book/.key"})
    test::writeFile(dir / name, text);
  test::writeFile(dir / "book/empty.jpg", "");
  ASSERT_EQ(mkfifo((dir / "book/fifo").c_str(), 0600), 0);
  ASSERT_EQ(mkdir((dir / "book/folder.jpg").c_str(), 0700), 0);
  // Sparse files: one at the limit, one past it, one of 8 GB.
  const std::pair<std::string, off_t> sizes[] = {
      {"book/limit.jpg", off_t{20} << 20}, {"book/over.jpg", (off_t{20} << 20) + 1}, {"book/huge.jpg", off_t{8} << 30}};
  for (const auto& [name, size] : sizes) {
    test::writeFile(dir / name, "\xFF\xD8\xFF\xE0");
    ASSERT_EQ(truncate((dir / name).c_str(), size), 0) << name;
  }
  const std::pair<const char*, std::string> links[] = {
      {"book/to-secret", dir / "secret/notes.txt"}, {"elsewhere", dir / "book/notes.txt"},
      {"book/to-fifo", dir / "book/fifo"}, {"book/to-zero", "/dev/zero"}, {"book/dangling", dir / "book/gone.jpg"}};
  for (const auto& [name, target] : links) ASSERT_EQ(symlink(target.c_str(), (dir / name).c_str()), 0) << name;
  // /dev and /proc are among the folders, so that only their own rules keep their files out.
  const PictureFolders folders({dir / "book", "/dev", "/proc", dir / "missing"});
  const std::pair<std::string, bool> cases[] = {
      {dir / "book/notes.txt", true},   {dir / "elsewhere", true},          {dir / "book/limit.jpg", true},
      {dir / "secret/notes.txt", false}, {dir / "book/to-secret", false},   {dir / "book-other/face.jpg", false},
      {dir / "book/empty.jpg", false},  {dir / "book/over.jpg", false},     {dir / "book/huge.jpg", false},
      {dir / "book/fifo", false},       {dir / "book/to-fifo", false},     {dir / "book/folder.jpg", false},
      {dir / "book/to-zero", false},    {"/dev/null", false},              {"/proc/self/cmdline", false},
      {dir / "book/dangling", false},   {"", false},                       {dir / "book/.ssh/id_rsa", false},
      {dir / "book/.key", false},
      {dir / "book/notes.txt" + std::string(1, '\0') + ".jpg", false}};
  for (const auto& [path, counts] : cases) {
    EXPECT_EQ(isLinkedPicture(path, folders), counts) << path;
    const std::optional<std::string> bytes = readLinkedPicture(path, folders);
    EXPECT_EQ(bytes.has_value(), counts) << path;
    if (bytes) {
      EXPECT_EQ(bytes->size(), path.ends_with("limit.jpg") ? size_t{20} << 20 : text.size()) << path;
    }
  }
}

}  // namespace
