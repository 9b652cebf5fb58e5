// Tests of the vCard contacts store on real folders: where it looks, the
// order it reads in, identifiers, access answers and files it cannot read.
#include "sources/vcard/vcard_contacts_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "sources/vcard/contacts_locations.h"
#include "tests/test_support.h"

namespace {

std::string card(const std::string& name, const std::string& extra = "") {
  return "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" + name + "\r\n" + extra + "END:VCARD\r\n";
}

std::vector<Contact> walk(VCardContactsStore& store) {
  std::vector<Contact> contacts;
  store.enumerateContacts({true, true, true}, [&](const Contact& contact) { contacts.push_back(contact); });
  return contacts;
}

TEST(ContactsLocations, ListOrDefaultFolders) {
  test::ScopedEnv home("HOME", "/home/u"), data("XDG_DATA_HOME", "/data"), list("TOVANA_MERVO_CONTACTS", "/a::/b.vcf:");
  EXPECT_EQ(contactsLocations(), (std::vector<std::string>{"/a", "/b.vcf"}));
  test::ScopedEnv none("TOVANA_MERVO_CONTACTS", "");
  EXPECT_EQ(contactsLocations(), (std::vector<std::string>{"/data/contacts", "/home/u/.contacts"}));
}

TEST(VCardContactsStore, ReadsLocationsInOrderAndFoldersByPath) {
  test::ScopedTempDir dir;
  test::writeFile(dir / "book/b.vcf", card("b1") + card("b2"));
  test::writeFile(dir / "book/A.VCF", card("A"));
  test::writeFile(dir / "book/sub/c.vcard", card("c"));
  test::writeFile(dir / "book/notes.txt", card("ignored"));
  test::writeFile(dir / "single.list", card("single"));
  VCardContactsStore store({dir / "single.list", dir / "missing", dir / "book"});
  std::vector<std::string> names;
  for (const Contact& contact : walk(store)) names.push_back(contact.fullName.value_or("-"));
  EXPECT_EQ(names, (std::vector<std::string>{"single", "A", "b1", "b2", "c"}));
}

TEST(VCardContactsStore, IdentifiersAreStableAndLeadToThePicture) {
  test::ScopedTempDir dir;
  const std::string photo = "PHOTO;ENCODING=b;TYPE=PNG:iVBORw0K\r\n";
  test::writeFile(dir / "book.vcf", card("uid", "UID:same\r\n" + photo) + card("derived", photo) +
                                        card("dup", "UID:same\r\n") + card("none"));
  VCardContactsStore store({dir / "book.vcf"});
  const std::vector<Contact> first = walk(store), second = walk(store);
  ASSERT_EQ(first.size(), 4u);
  EXPECT_EQ(first[0].identifier, "same");
  EXPECT_NE(first[1].identifier, first[3].identifier);
  for (size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(first[i].identifier, second[i].identifier) << i;
    EXPECT_EQ(first[i].imageDataAvailable, i < 2) << i;
  }
  // With a duplicate identifier the first card wins.
  const auto same = store.unifiedContactPictures("same");
  ASSERT_TRUE(same && same->imageData && !same->thumbnailImageData);
  EXPECT_EQ(same->imageData->substr(1, 3), "PNG");
  EXPECT_TRUE(store.unifiedContactPictures(first[1].identifier).value().imageData);
  EXPECT_FALSE(store.unifiedContactPictures(first[3].identifier).value().imageData);
  EXPECT_FALSE(store.unifiedContactPictures("nobody"));
}

TEST(VCardContactsStore, AnswersAccessOnAnotherThreadAndOutlivesTheStore) {
  std::promise<std::pair<bool, std::thread::id>> answer;
  VCardContactsStore({"/nonexistent"}).requestAccess([&](bool granted) {
    answer.set_value({granted, std::this_thread::get_id()});
  });  // the store is gone before the answer may have come
  const auto [granted, thread] = answer.get_future().get();
  EXPECT_TRUE(granted && thread != std::this_thread::get_id());
}

TEST(VCardContactsStore, UnreadableFilesAreLeftOut) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
  test::ScopedTempDir dir;
  test::writeFile(dir / "book/a.vcf", card("a"));
  test::writeFile(dir / "book/b.vcf", card("b"));
  ASSERT_EQ(chmod((dir / "book/a.vcf").c_str(), 0), 0);
  VCardContactsStore store({dir / "book"});
  size_t seen = 0;
  EXPECT_FALSE(store.enumerateContacts({}, [&](const Contact&) { ++seen; }));
  EXPECT_EQ(seen, 1u);
  EXPECT_FALSE(locationsReadable({dir / "book/a.vcf"}));
}

}  // namespace
