// Tests of the vCard contacts store on real folders: where it looks, the
// identifiers it gives and the linked pictures it lets count.
#include "sources/vcard/vcard_contacts_store.h"

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

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

// As a user whom file permissions bind (this thread's file system user, when
// the tests run as root), a card file that cannot be read is passed over and
// the book's other cards are read.
TEST(VCardContactsStore, PassesOverACardFileItCannotRead) {
  test::ScopedTempDir dir;
  test::writeFile(dir / "book/a.vcf", card("A", "TEL:1\r\n"));
  test::writeFile(dir / "book/b.vcf", card("B", "TEL:2\r\n"));
  test::handToUnprivilegedUser(dir.path());
  ASSERT_EQ(chmod((dir / "book/a.vcf").c_str(), 0), 0);
  std::thread([&] {
    if (geteuid() == 0) setfsuid(test::kNobody);
    VCardContactsStore store({dir / "book"});
    const std::vector<Contact> contacts = walk(store);
    ASSERT_EQ(contacts.size(), 1u);
    EXPECT_EQ(contacts[0].fullName, "B");
  }).join();
}

// A `file:` picture counts, whatever its format, inside the store's folders,
// a listed file's own among them, and not beside them (which files count
// there is the linked picture's test).
TEST(VCardContactsStore, LinkedPicturesCountOnlyInsideItsFolders) {
  test::ScopedTempDir dir;
  for (const char* name : {"book/face.txt", "listed/face.txt", "beside.txt"}) test::writeFile(dir / name, name);
  const auto linking = [&](const std::string& path) { return card(path, "PHOTO;VALUE=uri:file://" + dir / path + "\r\n"); };
  test::writeFile(dir / "book/a.vcf", linking("book/face.txt") + linking("beside.txt"));
  test::writeFile(dir / "listed/one.vcf", linking("listed/face.txt"));
  VCardContactsStore store({dir / "book", dir / "listed/one.vcf"});
  std::vector<std::string> faces;
  for (const Contact& contact : walk(store))
    if (contact.imageDataAvailable) faces.push_back(*store.unifiedContactPictures(contact.identifier)->imageData);
  EXPECT_EQ(faces, (std::vector<std::string>{"book/face.txt", "listed/face.txt"}));
}

}  // namespace
