#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// One card of the shared address book as the contacts last agreed with it: where it lives on the
// server, its version there (ETag) and how to recognise its contact here. The contacts file has
// no place for these, so they live in a file of their own beside it.
struct AddressBookEntry {
    std::string href; // the card's path on the server ("/office/contacts/4f1c.vcf")
    std::string etag; // the server's version of the card when it was last read or written
    std::string uid; // the card's UID
    std::uint64_t fingerprint = 0; // the contact's card text (ContactFingerprint) as last agreed
    // The contact's name (lower case) and number keys as last agreed: an edited contact, whose
    // fingerprint changed, is found again by either.
    std::string name;
    std::vector<std::string> numbers;
    // Content lines of the server's card that the contact does not hold (e-mail labels, photos,
    // birthdays ...), unfolded, one per line: written back with the contact so that an edit made
    // here keeps what others stored.
    std::string extra;
};

// The mapping between the contacts and a CardDAV address book, stored in
// "KestriumAddressBook.json" in the data folder. It belongs to one account (server and user): a
// map of another account is not used.
class AddressBookMap {
public:
    static constexpr std::string_view kFileName = "KestriumAddressBook.json";

    std::string account; // "user@server URL" the map belongs to
    std::string bookUrl; // the address book found from the server URL
    std::string syncToken; // the server's token after the last sync; empty: none yet
    std::vector<AddressBookEntry> entries;

    // An unreadable or missing file gives an empty map (the next sync then starts afresh, pairing
    // the contacts with the server's cards by content).
    void Load(const std::filesystem::path& file);
    bool Save(const std::filesystem::path& file) const;

    void Clear() { *this = AddressBookMap{}; }
};
