#include "store/contact_store.h"

#include "store/contact_file.h"
#include "store/csv_records.h"
#include "store/csv_writer.h"
#include "store/locale_compare.h"
#include "store/text_limit.h"
#include "store/text_match.h"
#include "store/vcard_contact.h"

#include <algorithm>
#include <filesystem>
#include <iterator>

namespace {

// The fields a search looks at, by the numbers MatchesQuery returns (1 to 5).
constexpr ContactField kMatchFields[] = { ContactField::FirstName, ContactField::MiddleName,
    ContactField::LastName, ContactField::Title, ContactField::Company };
constexpr int kMatchFieldCount = int(std::size(kMatchFields));

int MatchWord(const ContactRecord& record, std::string_view word, int excluded)
{
    for (int number = 1; number <= kMatchFieldCount; ++number) {
        const std::string_view field = record.Text(kMatchFields[number - 1]);
        if (number != excluded && !field.empty() && StartsWithNoCase(field, word))
            return number;
    }
    return 0;
}

// Splits at the first blank: the first word (any field) and the rest (any other field) must both
// match; a rest with further blanks is split again the same way.
int MatchWords(const ContactRecord& record, std::string_view text, int excluded)
{
    std::size_t blank = text.find(' ');
    if (blank == std::string_view::npos)
        return MatchWord(record, text, excluded);
    std::string_view rest = text.substr(blank + 1);
    int matched = MatchWord(record, text.substr(0, blank), 0);
    if (rest.empty() || matched == 0)
        return matched;
    return MatchWords(record, rest, matched) != 0 ? 1 : 0;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsNumberSeparator(char c)
{
    return c == ' ' || c == '-' || c == '.' || c == '(' || c == ')' || c == '/' || c == '+';
}

// True when the digits of `number`, read with every other byte skipped, hold `digits` in a row.
bool NumberHoldsDigits(std::string_view number, std::string_view digits)
{
    for (std::size_t start = number.find(digits[0]); start != std::string_view::npos;
         start = number.find(digits[0], start + 1)) {
        std::size_t matched = 1;
        for (std::size_t i = start + 1; i < number.size() && matched < digits.size(); ++i) {
            if (number[i] == digits[matched])
                ++matched;
            else if (IsDigit(number[i]))
                break;
        }
        if (matched == digits.size())
            return true;
    }
    return false;
}

// The first non-empty number becomes the default when the default one is empty.
void RepairDefaultNumber(ContactRecord& record)
{
    if (!record.DefaultNumber().empty())
        return;
    for (int slot = 0; slot < ContactRecord::kNumberCount; ++slot) {
        if (!record.Number(slot).empty()) {
            record.SetDefaultNumberIndex(slot);
            return;
        }
    }
}

// A number key without its international or national prefix ("+4930..." and "030..." give
// "4930..." and "30..."); empty for a key that is not digits.
std::string_view SubscriberDigits(std::string_view key)
{
    if (!key.empty() && key.front() == '+')
        key.remove_prefix(1);
    if (key.empty() || !std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return {};
    return key.substr(std::min(key.find_first_not_of('0'), key.size()));
}

// The same line written with and without a country or area prefix: the shorter, of seven digits
// or more, ends the longer.
bool SameSubscriber(std::string_view a, std::string_view b)
{
    if (a.size() < b.size())
        std::swap(a, b);
    constexpr std::size_t kShortestSubscriber = 7;
    return b.size() >= kShortestSubscriber && a.substr(a.size() - b.size()) == b;
}

// The group filter: every group, or the contacts of `group` (a byte-equal name needs no locale).
bool InTreeGroup(const ContactRecord& record, std::string_view group, bool allGroups)
{
    return allGroups || record.Group() == group || GroupStore::NamesEqual(record.Group(), group);
}

} // namespace

ContactStore::ContactStore(const std::filesystem::path& groupsFile, const std::filesystem::path& labelsFile)
{
    m_groups.Load(groupsFile);
    m_labels.Load(labelsFile);
}

// The list is made as large as the file can fill (a record of empty quoted fields takes 105
// bytes), so it is not moved again and again while it grows; room a file of long records leaves
// unused is given back.
void ContactStore::Load(const std::filesystem::path& file)
{
    constexpr std::uintmax_t kShortestQuotedRecord = 3 * ContactFile::kColumnCount;
    Clear();
    m_records.ReserveForFile(file, kShortestQuotedRecord);
    LoadRecords<ContactFile::kColumnCount>(
        file, {}, kMaxRecords + 1, [this](std::span<const std::string_view> record) {
            ContactRecord scratch = ContactFile::RecordFromColumns(record, m_groups);
            RepairDefaultNumber(scratch);
            return Append(std::move(scratch));
        });
    m_records.ReleaseSpareRoom();
}

bool ContactStore::Save(const std::filesystem::path& file) const
{
    return SaveRecords(file, m_records, ContactFile::WriteRecord);
}

bool ContactStore::Append(ContactRecord record)
{
    m_treeOrder = {};
    if (Count() >= kMaxRecords)
        return false;
    record.SetGroup(record.Group(), m_groups);
    record.ComposeDisplayName(&m_labels);
    record.ReleaseSpareCapacity();
    return m_records.Append(std::move(record));
}

ContactRecord* ContactStore::GetAt(std::size_t index)
{
    m_treeOrder = {};
    return m_records.GetAt(index);
}

bool ContactStore::RemoveAt(std::size_t index)
{
    m_treeOrder = {};
    return m_records.RemoveAt(index);
}

bool ContactStore::Replace(std::size_t index, ContactRecord record)
{
    ContactRecord* held = GetAt(index);
    if (held == nullptr)
        return false;
    record.SetGroup(record.Group(), m_groups);
    record.ComposeDisplayName(&m_labels);
    record.ReleaseSpareCapacity();
    *held = std::move(record);
    return true;
}

const ContactRecord* ContactStore::FindByNumber(std::string_view number) const
{
    const std::string key = VCardContact::NumberKey(number);
    if (key.empty())
        return nullptr;
    const std::string_view subscriber = SubscriberDigits(key);
    const ContactRecord* sameSubscriber = nullptr;
    for (std::size_t i = 0; i < Count(); ++i) {
        const ContactRecord& record = *GetAt(i);
        for (int slot = 0; slot < ContactRecord::kNumberCount; ++slot) {
            if (record.Number(slot).empty())
                continue;
            const std::string held = VCardContact::NumberKey(record.Number(slot));
            if (held == key)
                return &record;
            if (sameSubscriber == nullptr && SameSubscriber(SubscriberDigits(held), subscriber))
                sameSubscriber = &record;
        }
    }
    return sameSubscriber;
}

void ContactStore::Clear()
{
    m_treeOrder = {};
    m_records.Clear();
    m_lastFillGroup.clear();
    m_lastFillText.clear();
    m_lastFillShown = 0;
    m_hasLastFill = false;
}

void ContactStore::RenameGroupInContacts(std::string_view oldNameView, std::string_view newNameView)
{
    // Copies first: the caller may pass a record's own group, which the loop changes.
    const std::string oldName(oldNameView);
    const std::string newName(newNameView);
    for (ContactRecord& record : m_records) {
        if (GroupStore::NamesEqual(record.Group(), oldName))
            record.SetGroup(newName, m_groups);
    }
}

bool ContactStore::DeleteGroup(std::string_view name, const std::filesystem::path& contactsFile)
{
    const std::string deleted(name); // `name` may point into the entry that is deleted
    if (!m_groups.Delete(deleted))
        return false;
    RenameGroupInContacts(deleted, GroupStore::kUnfiled);
    Save(contactsFile);
    return true;
}

bool ContactStore::RenameGroup(
    std::string_view oldName, std::string_view newName, const std::filesystem::path& contactsFile)
{
    const std::string oldCopy(oldName); // either may point into the entry that is renamed
    const std::string newCopy(newName);
    if (!m_groups.Rename(oldCopy, newCopy))
        return false;
    RenameGroupInContacts(oldCopy, newCopy);
    Save(contactsFile);
    return true;
}

int ContactStore::MatchesQuery(const ContactRecord& record, std::string_view text, int excluded)
{
    return MatchWords(record, CutToLimit(text, kSearchLimit), excluded);
}

std::string ContactStore::SearchDigits(std::string_view text)
{
    std::string digits;
    for (char c : CutToLimit(text, kSearchLimit)) {
        if (IsDigit(c))
            digits.push_back(c);
        else if (!IsNumberSeparator(c))
            return {};
    }
    return digits;
}

bool ContactStore::MatchesSearch(const ContactRecord& record, std::string_view text, std::string_view digits)
{
    if (MatchesQuery(record, text) != 0)
        return true;
    if (digits.empty())
        return false;
    for (int slot = 0; slot < ContactRecord::kNumberCount; ++slot) {
        if (NumberHoldsDigits(record.Number(slot), digits))
            return true;
    }
    return false;
}

bool ContactStore::ShowsInContactTree(
    const ContactRecord& record, std::string_view group, std::string_view text, std::string_view digits)
{
    return InTreeGroup(record, group, GroupStore::NamesEqual(group, kAllGroups))
        && (text.empty() || MatchesSearch(record, text, digits));
}

// Which contacts show is worked out in store order, which reads the records in memory order; the
// tree order would jump about and miss the cache on nearly every contact.
std::vector<std::size_t> ContactStore::ContactTreeEntries(std::string_view group, std::string_view text) const
{
    const std::string digits = SearchDigits(text);
    const bool allGroups = GroupStore::NamesEqual(group, kAllGroups);
    if (allGroups && text.empty() && !m_treeOrder.empty())
        return m_treeOrder;
    std::vector<char> shows(Count());
    for (std::size_t i = 0; i < shows.size(); ++i) {
        const ContactRecord& record = *GetAt(i);
        shows[i]
            = InTreeGroup(record, group, allGroups) && (text.empty() || MatchesSearch(record, text, digits));
    }
    std::vector<std::size_t> shown;
    if (!m_treeOrder.empty()) {
        // The order is total (equal names keep store order), so the contacts shown keep their
        // prepared order.
        std::copy_if(m_treeOrder.begin(), m_treeOrder.end(), std::back_inserter(shown),
            [&shows](std::size_t i) { return shows[i] != 0; });
        return shown;
    }
    for (std::size_t i = 0; i < shows.size(); ++i) {
        if (shows[i])
            shown.push_back(i);
    }
    SortForTree(shown);
    return shown;
}

void ContactStore::PrepareTreeOrder()
{
    std::vector<std::size_t> all(Count());
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i] = i;
    SortForTree(all);
    m_treeOrder = std::move(all);
}

void ContactStore::SortForTree(std::vector<std::size_t>& positions) const
{
    TextSorter(true).Sort(positions, [this](std::size_t i) { return GetAt(i)->DisplayName(); });
}

std::vector<int> ContactStore::NumberChildSlots(const ContactRecord& record)
{
    std::vector<int> children;
    for (int slot = ContactRecord::kNumberCount - 1; slot >= 0; --slot) {
        if (!record.Number(slot).empty())
            children.push_back(slot);
    }
    return children;
}

std::string ContactStore::NumberChildText(const ContactRecord& record, int slot) const
{
    std::string text(m_labels.GetLabel(record.LabelIndex(slot)));
    return text.append(": ").append(record.Number(slot));
}

int ContactStore::NumberChildImage(std::int32_t labelIndex)
{
    constexpr int kInternetImage = 19;
    constexpr int kPhoneImage = 9;
    return labelIndex >= 5 && labelIndex <= 10 ? kInternetImage : kPhoneImage;
}

std::size_t ContactStore::ContactTreeSelection(std::size_t itemsInTree, bool searchTextEmpty)
{
    return itemsInTree >= 2 && !searchTextEmpty ? 1 : 0;
}

bool ContactStore::CanNarrowContactTree(std::string_view group, std::string_view text, bool force) const
{
    return !force && m_hasLastFill && group == m_lastFillGroup && text.starts_with(m_lastFillText);
}

void ContactStore::RememberContactTreeFill(std::string_view group, std::string_view text, std::size_t shown)
{
    m_lastFillGroup = group;
    m_lastFillText = text;
    m_lastFillShown = shown;
    m_hasLastFill = true;
}
