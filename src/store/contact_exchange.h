#pragma once

#include "store/vcard.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

class ContactStore;

// What an import or an export did: the counts, one line for the user (`summary`) and the problems
// met, each a sentence that names the card (its position, name and line) or the file.
struct ContactExchangeResult {
    bool fileOk = true; // false when the file could not be read or written, or holds no card
    std::size_t cards = 0; // cards found in the file
    std::size_t added = 0; // new contacts
    std::size_t merged = 0; // cards whose new numbers went into a contact of the same name
    std::size_t duplicates = 0; // cards the contacts already hold: nothing added
    std::size_t refused = 0; // cards that could not be taken
    std::size_t exported = 0;
    std::string summary;
    std::vector<std::string> problems;
};

// vCard import into and export from the contact list. A card is the same contact as an existing
// one when their names (first, middle and last, case-insensitive) are equal and every number of
// the card is already among the contact's numbers; it is then skipped. When the names are equal
// and they share a number (or the contact has none), the card's other numbers are added to the
// contact as far as its ten slots allow. Any other card becomes a new contact.
namespace ContactExchange {

// A larger file is refused before anything is read: far more than 65,535 contacts take.
inline constexpr std::size_t kMaxFileSize = 256 * 1024 * 1024;

// Adds the cards of `bytes` to `contacts` (and the groups they name to its group store, while it
// has room). The caller saves the contacts and the groups.
ContactExchangeResult Import(std::string_view bytes, ContactStore& contacts);
ContactExchangeResult ImportFile(const std::filesystem::path& file, ContactStore& contacts);

// Every contact as one card; the file replaces `file` only when all of it was written.
std::string ExportText(const ContactStore& contacts, VCardVersion version);
ContactExchangeResult ExportFile(
    const std::filesystem::path& file, const ContactStore& contacts, VCardVersion version);

} // namespace ContactExchange
