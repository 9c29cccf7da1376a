// The address book map file and the local changes worked out from the contacts against it.
#include "store/address_book_diff.h"
#include "store/address_book_map.h"
#include "store/contact_store.h"
#include "store/vcard_contact.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

ContactRecord Contact(std::string_view first, std::string_view last, std::string_view number)
{
    ContactRecord record;
    record.SetFirstName(first);
    record.SetLastName(last);
    record.SetNumber(0, number);
    return record;
}

// A map whose entries are the contacts as they are now.
AddressBookMap MapOf(const ContactStore& contacts)
{
    AddressBookMap map;
    const VCardLabels labels(contacts.Labels());
    for (std::size_t i = 0; i < contacts.Count(); ++i) {
        AddressBookEntry entry;
        entry.href = "/book/" + std::to_string(i) + ".vcf";
        AddressBookDiff::Describe(*contacts.GetAt(i), labels, entry);
        map.entries.push_back(entry);
    }
    return map;
}

TEST(AddressBookMapTest, SavesAndLoadsEveryFieldAndRefusesBadFiles)
{
    testing_support::TempDir dir;
    AddressBookMap map;
    map.account = "office@https://dav.example/";
    map.bookUrl = "https://dav.example/office/contacts/";
    map.syncToken = "http://radicale.org/ns/sync/abc";
    map.entries.push_back({ "/office/contacts/a b.vcf", "\"e1\"", "uid-1\\\t", 0xfedcba9876543210ull,
        "ada lovelace", { "+442079460001", "ada@example.org" }, "BDAY:1815-12-10\nX-ABLabel:Ünïcode\n" });
    ASSERT_TRUE(map.Save(dir / "map.json"));

    AddressBookMap read;
    read.Load(dir / "map.json");
    EXPECT_EQ(read.account, map.account);
    EXPECT_EQ(read.bookUrl, map.bookUrl);
    EXPECT_EQ(read.syncToken, map.syncToken);
    ASSERT_EQ(read.entries.size(), 1u);
    const AddressBookEntry& entry = read.entries[0];
    EXPECT_EQ(entry.href, "/office/contacts/a b.vcf");
    EXPECT_EQ(entry.etag, "\"e1\"");
    EXPECT_EQ(entry.uid, "uid-1\\\t");
    EXPECT_EQ(entry.fingerprint, 0xfedcba9876543210ull);
    EXPECT_EQ(entry.name, "ada lovelace");
    EXPECT_EQ(entry.numbers, (std::vector<std::string>{ "+442079460001", "ada@example.org" }));
    EXPECT_EQ(entry.extra, "BDAY:1815-12-10\nX-ABLabel:Ünïcode\n");

    testing_support::WriteBytes(dir / "map.json", "{\"version\": 1, \"entries\": [tru");
    read.Load(dir / "map.json");
    EXPECT_TRUE(read.entries.empty());
    EXPECT_TRUE(read.bookUrl.empty());
    read.Load(dir / "missing.json");
    EXPECT_TRUE(read.entries.empty());
}

TEST(AddressBookDiffTest, FindsUnchangedEditedAddedAndRemovedContacts)
{
    ContactStore contacts;
    contacts.Append(Contact("Ada", "Lovelace", "555 0001"));
    contacts.Append(Contact("Bob", "Byte", "555 0002"));
    contacts.Append(Contact("Cy", "Cache", "555 0003"));
    contacts.Append(Contact("Di", "Disk", "555 0004"));
    contacts.Append(Contact("Ada", "Lovelace", "555 0009")); // same name as the first, other number
    const AddressBookMap map = MapOf(contacts);
    AddressBookDiff::LocalChanges changes = AddressBookDiff::Find(contacts, map.entries);
    EXPECT_EQ(changes.unchanged.size(), 5u);
    EXPECT_EQ(changes.Pending(), 0u);

    // Bob gets a note (same name), Cy a new name (same number), Di goes, Eve comes; the second Ada
    // is edited too and must not take the unchanged first Ada's card.
    ContactRecord bob(*contacts.GetAt(1));
    bob.SetNote("new note");
    contacts.Replace(1, bob);
    ContactRecord cy(*contacts.GetAt(2));
    cy.SetFirstName("Cyrus");
    contacts.Replace(2, cy);
    ContactRecord ada2(*contacts.GetAt(4));
    ada2.SetTitle("Countess");
    contacts.Replace(4, ada2);
    contacts.RemoveAt(3);
    contacts.Append(Contact("Eve", "Ether", "555 0005"));

    changes = AddressBookDiff::Find(contacts, map.entries);
    ASSERT_EQ(changes.unchanged.size(), 1u);
    EXPECT_EQ(changes.unchanged[0].entry, 0u);
    EXPECT_EQ(changes.unchanged[0].record, 0u);
    ASSERT_EQ(changes.edited.size(), 3u);
    EXPECT_EQ(changes.edited[0].entry, 1u); // Bob by name
    EXPECT_EQ(changes.edited[1].entry, 2u); // Cyrus by number
    EXPECT_EQ(changes.edited[2].entry, 4u); // the second Ada by name, the first card being taken
    EXPECT_EQ(changes.added, (std::vector<std::size_t>{ 4 }));
    EXPECT_EQ(changes.removed, (std::vector<std::size_t>{ 3 }));
    EXPECT_EQ(changes.Pending(), 5u);
}

TEST(ContactStoreTest, FindByNumberMatchesWrittenFormsAndPrefixes)
{
    ContactStore contacts;
    contacts.Append(Contact("Ada", "Lovelace", "+44 20 7946 0001"));
    ContactRecord sip = Contact("Bob", "Byte", "");
    sip.SetNumber(5, "Bob@PBX.example");
    contacts.Append(sip);
    contacts.Append(Contact("Short", "Number", "112"));

    ASSERT_NE(contacts.FindByNumber("+442079460001"), nullptr);
    EXPECT_EQ(contacts.FindByNumber("+442079460001")->FirstName(), "Ada");
    EXPECT_EQ(contacts.FindByNumber("020 7946 0001")->FirstName(), "Ada") << "national form";
    EXPECT_EQ(contacts.FindByNumber("bob@pbx.example")->FirstName(), "Bob");
    EXPECT_EQ(contacts.FindByNumber("112")->FirstName(), "Short");
    EXPECT_EQ(contacts.FindByNumber("9112"), nullptr) << "short numbers match only whole";
    EXPECT_EQ(contacts.FindByNumber("+44 20 7946 0002"), nullptr);
    EXPECT_EQ(contacts.FindByNumber(""), nullptr);
}

} // namespace
