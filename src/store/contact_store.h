#pragma once

#include "store/contact_record.h"
#include "store/group_store.h"
#include "store/phone_label_store.h"
#include "store/record_list.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// The contact list, stored in "KestriumContacts200.csv". It owns the one GroupStore of all contact
// lists and its own copy of the phone label table. Pointers from GetAt stay valid until the next
// Append, RemoveAt, Load or Clear.
class ContactStore {
public:
    static constexpr std::size_t kMaxRecords = 65535;
    static constexpr std::size_t kSearchLimit = 199;
    static constexpr std::string_view kFileName = "KestriumContacts200.csv";
    static constexpr std::string_view kAllGroups = "All";

    // Empty groups and the default labels.
    ContactStore() = default;
    // Loads the groups and the labels as the program does when it creates the store.
    ContactStore(const std::filesystem::path& groupsFile, const std::filesystem::path& labelsFile);

    GroupStore& Groups() { return m_groups; }
    const GroupStore& Groups() const { return m_groups; }
    const PhoneLabelStore& Labels() const { return m_labels; }

    // Replaces the list with the file's records up to the first record that cannot be read
    // completely (a missing file gives an empty list).
    void Load(const std::filesystem::path& file);
    // False when the file cannot be written; the old file then stays.
    bool Save(const std::filesystem::path& file) const;

    // Appends the record with its group validated and its display name composed; false at the
    // record limit or when memory runs out.
    bool Append(ContactRecord record);
    std::size_t Count() const { return m_records.Count(); }
    const ContactRecord* GetAt(std::size_t index) const { return m_records.GetAt(index); }
    // A record that may be changed: drops the prepared tree order.
    ContactRecord* GetAt(std::size_t index);
    bool RemoveAt(std::size_t index);
    // Puts `record` in place of the one at `index`, its group validated and its display name
    // composed as Append does; false for a position outside the list.
    bool Replace(std::size_t index, ContactRecord record);
    // The first contact that holds `number` (compared as VCardContact::NumberKey compares numbers:
    // digits with + * #, or an address in lower case), or null.
    const ContactRecord* FindByNumber(std::string_view number) const;
    // Removes every record and forgets the last contact tree fill.
    void Clear();

    // Every contact whose group equals `oldName` (case-insensitive) gets SetGroup(newName).
    void RenameGroupInContacts(std::string_view oldName, std::string_view newName);
    // The "Edit groups:" operations: change the group list, move the contacts and save them to
    // `contactsFile`. The caller saves the groups file.
    bool DeleteGroup(std::string_view name, const std::filesystem::path& contactsFile);
    bool RenameGroup(
        std::string_view oldName, std::string_view newName, const std::filesystem::path& contactsFile);

    // The search of every contact search: 0 when `text` does not match, else the number of the
    // field that matched (1 first, 2 middle, 3 last name, 4 title, 5 company). Words separated by
    // a blank must match different fields. `excluded` is skipped for a single word.
    static int MatchesQuery(const ContactRecord& record, std::string_view text, int excluded = 0);

    // The contacts tree's search: MatchesQuery, and for a text made of digits and the separators
    // written in numbers (blank - . ( ) / +) also a number that holds those digits in a row, its
    // own separators skipped ("5559876" finds "+1 (555) 987-6543"). `digits` is SearchDigits(text),
    // worked out once per search: the text's digits, or empty when it holds anything else.
    static std::string SearchDigits(std::string_view text);
    static bool MatchesSearch(const ContactRecord& record, std::string_view text, std::string_view digits);

    // The data side of the contacts tree. ShowsInContactTree: the group and search filter ("All"
    // shows every group). ContactTreeEntries: positions of the contacts shown, in the tree's
    // alphabetical order of their display names (case-insensitive, user's locale).
    static bool ShowsInContactTree(
        const ContactRecord& record, std::string_view group, std::string_view text, std::string_view digits);
    std::vector<std::size_t> ContactTreeEntries(std::string_view group, std::string_view text) const;
    // Works out the tree order of every contact once (the sort is the tree's largest cost), so that
    // the fills that follow only pick their contacts from it. Any change to the records drops it,
    // and fills sort again. Meant for a loading thread: it only reads the records.
    void PrepareTreeOrder();
    // True while the fills pick from the prepared order (no record changed since it was made).
    bool HasPreparedTreeOrder() const { return !m_treeOrder.empty() || Count() == 0; }
    // A contact's number children: the non-empty slots from 10 down to 1.
    static std::vector<int> NumberChildSlots(const ContactRecord& record);
    // A number child's text ("Mobile: 555 1234") and image (19 for the IP labels 5 to 10, else 9).
    std::string NumberChildText(const ContactRecord& record, int slot) const;
    static int NumberChildImage(std::int32_t labelIndex);
    // The root item selected after a fill: 1 (the first contact, after the add-new item) when the
    // tree holds two items or more and a search text is given, else 0.
    static std::size_t ContactTreeSelection(std::size_t itemsInTree, bool searchTextEmpty);
    // Narrowing: a fill without force, for the same group (exact) and a text that begins with the
    // last one, may delete non-matching items instead of rebuilding.
    bool CanNarrowContactTree(std::string_view group, std::string_view text, bool force) const;
    void RememberContactTreeFill(std::string_view group, std::string_view text, std::size_t shown);
    std::size_t LastContactTreeCount() const { return m_lastFillShown; }

private:
    // Sorts positions into the tree's order of their display names.
    void SortForTree(std::vector<std::size_t>& positions) const;

    RecordList<ContactRecord, kMaxRecords> m_records;
    // Every position in tree order while no record has changed since PrepareTreeOrder; else empty.
    std::vector<std::size_t> m_treeOrder;
    GroupStore m_groups;
    PhoneLabelStore m_labels;
    std::string m_lastFillGroup;
    std::string m_lastFillText;
    std::size_t m_lastFillShown = 0;
    bool m_hasLastFill = false;
};
