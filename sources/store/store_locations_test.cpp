// Tests of where a file store finds its files: the walk of a location, and
// the access check of its locations.
#include "sources/store/store_locations.h"

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>

#include "tests/test_support.h"

namespace {

// A listed file is itself, whatever its name; a folder gives the files with
// its endings, in any letter case, in byte order of path, links to files
// included, down to the deepest folder it may walk, never through a link to
// a folder.
TEST(StoreLocations, AFolderGivesItsFilesByPathNeverThroughFolderLinks) {
  test::ScopedTempDir dir;
  for (const char* name : {"b.ics", "a/deep/x.ICS", "B.iCs", ".ics", "notes.txt", "folder.ics/in.txt", "a/b/c/far.ics"})
    test::writeFile(dir / (std::string("cal/") + name), "");
  ASSERT_EQ(symlink((dir / "cal").c_str(), (dir / "cal/loop").c_str()), 0);
  ASSERT_EQ(symlink((dir / "cal/b.ics").c_str(), (dir / "cal/link.ics").c_str()), 0);
  StoreFileSearch search{.extensions = {".ics"}, .bareExtensionCounts = true, .deepestFolder = 2};
  bool complete = true;
  const std::vector<std::string> expected = {dir / "cal/.ics", dir / "cal/B.iCs", dir / "cal/a/deep/x.ICS",
                                             dir / "cal/b.ics", dir / "cal/link.ics"};
  EXPECT_EQ(filesUnder(dir / "cal", search, complete), expected);
  EXPECT_FALSE(complete) << "a/b/c lies too deep to be walked";
  search.bareExtensionCounts = false;
  EXPECT_EQ(filesUnder(dir / "cal/", search, complete), std::vector(expected.begin() + 1, expected.end()));
  EXPECT_EQ(filesUnder(dir / "cal/notes.txt", search, complete), std::vector<std::string>{dir / "cal/notes.txt"});
  EXPECT_TRUE(filesUnder(dir / "missing", search, complete).empty());
}

// As a user whom file permissions bind (this thread's file system user, when
// the tests run as root): a location that exists but cannot be opened is
// refused, a missing one is not, a folder or a file alike; a folder the walk
// may not read is passed over, which leaves the walk complete.
TEST(StoreLocations, AnUnreadableLocationIsRefusedAndPassedOver) {
  test::ScopedTempDir dir;
  test::writeFile(dir / "book/shut/a.vcf", "");
  test::writeFile(dir / "book/b.vcf", "");
  test::writeFile(dir / "locked.vcf", "");
  test::handToUnprivilegedUser(dir.path());
  ASSERT_EQ(chmod((dir / "book/shut").c_str(), 0), 0);
  ASSERT_EQ(chmod((dir / "locked.vcf").c_str(), 0), 0);
  std::thread([&] {
    if (geteuid() == 0) setfsuid(test::kNobody);
    EXPECT_TRUE(locationsReadable({dir / "book", dir / "missing"}));
    EXPECT_FALSE(locationsReadable({dir / "book", dir / "book/shut"}));
    EXPECT_FALSE(locationsReadable({dir / "locked.vcf"}));
    bool complete = true;
    EXPECT_EQ(filesUnder(dir / "book", {.extensions = {".vcf"}}, complete), std::vector<std::string>{dir / "book/b.vcf"});
    EXPECT_TRUE(complete);
  }).join();
}

}  // namespace
