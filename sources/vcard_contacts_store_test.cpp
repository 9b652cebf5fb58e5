// Tests of the vCard contacts store on real folders: where it looks, the
// order it reads in, identifiers, access answers and files it cannot read.
#include "sources/vcard_contacts_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "sources/contacts_locations.h"
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

std::vector<std::string> namesOf(const std::vector<Contact>& contacts) {
  std::vector<std::string> names;
  for (const Contact& contact : contacts) names.push_back(contact.fullName.value_or("-"));
  return names;
}

TEST(ContactsLocations, ListOrDefaultFolders) {
  {
    test::ScopedEnv list("TOVANA_MERVO_CONTACTS", "/a::/b/c.vcf:");
    EXPECT_EQ(contactsLocations(), (std::vector<std::string>{"/a", "/b/c.vcf"}));
  }
  test::ScopedEnv list("TOVANA_MERVO_CONTACTS", "");
  test::ScopedEnv home("HOME", "/home/u");
  {
    test::ScopedEnv data("XDG_DATA_HOME", std::nullopt);
    EXPECT_EQ(contactsLocations(), (std::vector<std::string>{"/home/u/.local/share/contacts", "/home/u/.contacts"}));
  }
  test::ScopedEnv data("XDG_DATA_HOME", "/data");
  EXPECT_EQ(contactsLocations(), (std::vector<std::string>{"/data/contacts", "/home/u/.contacts"}));
}

TEST(VCardContactsStore, ReadsLocationsInOrderAndFoldersByPath) {
  test::ScopedTempDir dir;
  test::writeFile(dir / "book/b.vcf", card("b1") + card("b2"));
  test::writeFile(dir / "book/A.VCF", card("A"));
  test::writeFile(dir / "book/sub/c.vcard", card("c"));
  test::writeFile(dir / "book/notes.txt", card("ignored"));
  test::writeFile(dir / "book/bad.vcf", "BEGIN:VCARD\nFN:truncated\n");
  test::writeFile(dir / "single.list", card("single"));
  VCardContactsStore store({dir / "single.list", dir / "missing", dir / "book"});
  EXPECT_EQ(namesOf(walk(store)), (std::vector<std::string>{"single", "A", "b1", "b2", "c"}));
}

TEST(VCardContactsStore, IdentifiersAreStableAndLeadToThePicture) {
  test::ScopedTempDir dir;
  const std::string photo = "PHOTO;ENCODING=b;TYPE=PNG:iVBORw0K\r\n";
  test::writeFile(dir / "book.vcf", card("uid", "UID:same\r\n" + photo) + card("derived", photo) +
                                        card("dup", "UID:same\r\n") + card("none"));
  VCardContactsStore store({dir / "book.vcf"});
  const std::vector<Contact> first = walk(store);
  const std::vector<Contact> second = walk(store);
  ASSERT_EQ(first.size(), 4u);
  EXPECT_EQ(first[0].identifier, "same");
  EXPECT_NE(first[1].identifier, first[3].identifier);
  for (size_t i = 0; i < first.size(); ++i) EXPECT_EQ(first[i].identifier, second[i].identifier) << i;
  EXPECT_EQ((std::vector<bool>{first[0].imageDataAvailable, first[1].imageDataAvailable, first[2].imageDataAvailable}),
            (std::vector<bool>{true, true, false}));
  // With a duplicate identifier the first card wins.
  const auto same = store.unifiedContactPictures("same");
  ASSERT_TRUE(same && same->imageData);
  EXPECT_EQ(same->imageData->substr(1, 3), "PNG");
  EXPECT_FALSE(same->thumbnailImageData);
  const auto derived = store.unifiedContactPictures(first[1].identifier);
  ASSERT_TRUE(derived);
  EXPECT_TRUE(derived->imageData);
  const auto none = store.unifiedContactPictures(first[3].identifier);
  ASSERT_TRUE(none);
  EXPECT_FALSE(none->imageData);
  EXPECT_FALSE(store.unifiedContactPictures("nobody"));
}

TEST(VCardContactsStore, AnswersAccessOnAnotherThreadAndOutlivesTheStore) {
  test::ScopedTempDir dir;
  std::promise<std::pair<bool, std::thread::id>> answer;
  {
    VCardContactsStore store({dir / "missing"});
    store.requestAccess([&](bool granted) { answer.set_value({granted, std::this_thread::get_id()}); });
  }  // the store is gone before the answer may have come
  const auto [granted, thread] = answer.get_future().get();
  EXPECT_TRUE(granted);
  EXPECT_TRUE(thread != std::this_thread::get_id());
}

TEST(VCardContactsStore, UnreadableFilesAreLeftOut) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
  test::ScopedTempDir dir;
  test::writeFile(dir / "book/a.vcf", card("a"));
  test::writeFile(dir / "book/b.vcf", card("b"));
  test::writeFile(dir / "book/c.vcf", card("c"));
  ASSERT_EQ(chmod((dir / "book/b.vcf").c_str(), 0), 0);
  VCardContactsStore store({dir / "book"});
  std::vector<std::string> names;
  EXPECT_FALSE(store.enumerateContacts({.fullName = true}, [&](const Contact& c) { names.push_back(*c.fullName); }));
  EXPECT_EQ(names, (std::vector<std::string>{"a", "c"}));
  EXPECT_TRUE(locationsReadable({dir / "book"}));
  EXPECT_FALSE(locationsReadable({dir / "book/b.vcf"}));
}

}  // namespace
