// Tests of the vCard contacts store on real folders: where it looks, the
// order it reads in, identifiers and access answers.
#include "sources/vcard/vcard_contacts_store.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <semaphore>
#include <thread>

#include "sources/vcard/contacts_locations.h"
#include "sources/vcard/vcard_identifiers.h"
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

TEST(VCardContactsStore, EveryListedIdentifierIsDistinctStableAndExportsItsOwnCard) {
  test::ScopedTempDir dir;
  // Each picture's bytes are its card's name, so an export shows which card it reached.
  const auto face = [](const std::string& name, const std::string& uid = "") {
    return card(name, (uid.empty() ? "" : "UID:" + uid + "\r\n") + "PHOTO:data:text/plain," + name + "\r\n");
  };
  const std::string a = dir / "a.vcf", b = dir / "b.vcf", c = dir / "c.vcf";
  test::writeFile(a, card("first", "UID:same\r\n") + face("derived") +
                         card("one character", "PHOTO;ENCODING=b:Q\r\n") + card("padding only", "PHOTO;ENCODING=b:=QUJD\r\n"));
  test::writeFile(b, face("other book", "same") + face("same book again", "same"));
  // A UID written as the identifier that another card derives.
  test::writeFile(c, face("sly", derivedIdentifier(c, 1)) + face("plain"));
  VCardContactsStore store({a, b, a, c});  // a file named twice is read once
  const std::vector<Contact> first = walk(store), second = walk(store);
  const std::vector<std::string> expected = {
      "same", derivedIdentifier(a, 1), derivedIdentifier(a, 2), derivedIdentifier(a, 3),
      "same@" + derivedIdentifier(b, 0), "same@" + derivedIdentifier(b, 1),
      derivedIdentifier(c, 1), derivedIdentifier(c, 1) + "~2"};
  ASSERT_EQ(first.size(), expected.size());
  for (size_t i = 0; i < first.size(); ++i) {
    const Contact& contact = first[i];
    EXPECT_EQ(contact.identifier, expected[i]) << i;
    EXPECT_EQ(contact.identifier, second[i].identifier) << i;
    const std::optional<ContactPictures> pictures = store.unifiedContactPictures(contact.identifier);
    ASSERT_TRUE(pictures) << contact.identifier;
    EXPECT_EQ(pictures->imageData.has_value(), contact.imageDataAvailable) << contact.identifier;
    if (contact.imageDataAvailable) {
      EXPECT_EQ(pictures->imageData, contact.fullName) << contact.identifier;
    }
  }
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

// A check of the locations stuck in the file system (a dead network mount)
// must not hold up whoever lets the store go: the requester's deadline alone
// decides how long a dump waits.
TEST(VCardContactsStore, LettingGoDoesNotWaitForAStuckAccessCheck) {
  auto release = std::make_shared<std::binary_semaphore>(0);
  const LocationsCheck stuck = [release](const std::vector<std::string>&) {
    return release->try_acquire_for(std::chrono::seconds(3));
  };
  const auto start = std::chrono::steady_clock::now();
  VCardContactsStore(std::vector<std::string>{"/"}, stuck).requestAccess([](bool) {});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  release->release();
}

}  // namespace
