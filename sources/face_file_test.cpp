// Tests of writing an exported picture: replacement through a temporary
// file, nothing left behind on failure, and the in-place fallback.
#include "sources/face_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/test_support.h"

namespace {

size_t entriesIn(const std::string& folder) {
  return std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator());
}

TEST(FaceFile, ReplacesWholeKeepingModeAndLinksAndLeavesNoTemporary) {
  test::ScopedTempDir dir;
  test::writeFile(dir / "face.jpg", "an older and much longer picture");
  ASSERT_EQ(chmod((dir / "face.jpg").c_str(), 0640), 0);
  ASSERT_EQ(symlink((dir / "face.jpg").c_str(), (dir / "link.jpg").c_str()), 0);
  ASSERT_TRUE(writeFaceFile(dir / "link.jpg", "new"));
  EXPECT_EQ(test::readFile(dir / "face.jpg"), "new");
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.jpg"));
  EXPECT_EQ(std::filesystem::status(dir / "face.jpg").permissions(), std::filesystem::perms(0640));
  EXPECT_FALSE(writeFaceFile(dir / "missing/face.jpg", "x"));
  std::filesystem::create_directory(dir / "folder.jpg");  // a folder in the way
  EXPECT_FALSE(writeFaceFile(dir / "folder.jpg", "x"));
  EXPECT_EQ(entriesIn(dir.path()), 3u);
}

TEST(FaceFile, ClosedFolderRewritesAWritableFileInPlace) {
  if (geteuid() == 0) GTEST_SKIP() << "root may create files anywhere";
  test::ScopedTempDir dir;
  test::writeFile(dir / "shut/face.jpg", "old picture");
  test::writeFile(dir / "shut/locked.jpg", "locked");
  ASSERT_EQ(chmod((dir / "shut/locked.jpg").c_str(), 0444), 0);
  ASSERT_EQ(chmod((dir / "shut").c_str(), 0555), 0);
  EXPECT_TRUE(writeFaceFile(dir / "shut/face.jpg", "new"));
  EXPECT_EQ(test::readFile(dir / "shut/face.jpg"), "new");
  EXPECT_FALSE(writeFaceFile(dir / "shut/other.jpg", "new") || writeFaceFile(dir / "shut/locked.jpg", "new"));
  EXPECT_EQ(test::readFile(dir / "shut/locked.jpg"), "locked");
  chmod((dir / "shut").c_str(), 0755);
}

}  // namespace
