#pragma once

#include "store/address_book_map.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class ContactRecord;
class ContactStore;
class VCardLabels;

// How the contacts differ from the address book map: which contact is which card, and what was
// added, edited and removed here since the last sync. The contacts file holds no card ids, so a
// contact is its card when its card text is unchanged (fingerprint); an edited contact is found
// by its old name or one of its old numbers; what is left is new here, or was removed here.
namespace AddressBookDiff {

struct Pair {
    std::size_t entry;
    std::size_t record;
};

struct LocalChanges {
    std::vector<Pair> unchanged;
    std::vector<Pair> edited;
    std::vector<std::size_t> added; // contact positions that have no card yet
    std::vector<std::size_t> removed; // entries whose contact is gone
    std::vector<std::uint64_t> fingerprints; // of every contact, by position

    std::size_t Pending() const { return edited.size() + added.size() + removed.size(); }
};

// The contact as a vCard 3.0 card without UID: what the server is sent and what is compared.
std::string CardText(const ContactRecord& record, const VCardLabels& labels);
// A 64-bit hash (FNV-1a) of CardText: equal cards, equal contacts.
std::uint64_t Fingerprint(const ContactRecord& record, const VCardLabels& labels);
// The name (lower case) and the number keys that recognise an edited contact.
void Identify(const ContactRecord& record, std::string& name, std::vector<std::string>& numbers);
// Fills fingerprint, name and numbers of `entry` from the contact.
void Describe(const ContactRecord& record, const VCardLabels& labels, AddressBookEntry& entry);

LocalChanges Find(const ContactStore& contacts, const std::vector<AddressBookEntry>& entries);

} // namespace AddressBookDiff
