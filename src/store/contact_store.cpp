#include "store/contact_store.h"

#include "store/contact_file.h"
#include "store/csv_records.h"
#include "store/csv_writer.h"
#include "store/locale_compare.h"
#include "store/text_limit.h"
#include "store/text_match.h"

#include <QString>

#include <algorithm>
#include <array>
#include <new>

namespace {

constexpr int kMatchFieldCount = 5;

// Field numbers of MatchesQuery: 1 first, 2 middle, 3 last name, 4 title, 5 company.
const std::string& MatchField(const ContactRecord& record, int number)
{
    switch (number) {
    case 1:
        return record.FirstName();
    case 2:
        return record.MiddleName();
    case 3:
        return record.LastName();
    case 4:
        return record.Title();
    default:
        return record.Company();
    }
}

int MatchWord(const ContactRecord& record, std::string_view word, int excluded)
{
    for (int number = 1; number <= kMatchFieldCount; ++number) {
        const std::string& field = MatchField(record, number);
        if (number != excluded && !field.empty() && StartsWithNoCase(field, word))
            return number;
    }
    return 0;
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

} // namespace

ContactStore::ContactStore(const std::filesystem::path& groupsFile, const std::filesystem::path& labelsFile)
{
    m_groups.Load(groupsFile);
    m_labels.Load(labelsFile);
}

bool ContactStore::Load(const std::filesystem::path& file)
{
    Clear();
    TextFileReader reader(file);
    if (!reader.IsOpen())
        return true;
    std::array<std::string, ContactFile::kColumnCount> columns;
    ReadRecords(file, reader, columns, {}, kMaxRecords + 1, [this](std::span<std::string> record) {
        ContactRecord scratch = ContactFile::RecordFromColumns(record, m_groups);
        RepairDefaultNumber(scratch);
        return Append(std::move(scratch));
    });
    return true;
}

bool ContactStore::Save(const std::filesystem::path& file) const
{
    CsvWriter writer(file);
    if (!writer.IsOpen())
        return false;
    for (const ContactRecord& record : m_records)
        ContactFile::WriteRecord(writer, record);
    return writer.Commit();
}

bool ContactStore::Append(ContactRecord record)
{
    if (m_records.size() >= kMaxRecords)
        return false;
    record.SetGroup(record.Group(), m_groups);
    record.ComposeDisplayName(&m_labels);
    try {
        m_records.push_back(std::move(record));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

const ContactRecord* ContactStore::GetAt(std::size_t index) const
{
    return index < m_records.size() ? &m_records[index] : nullptr;
}

ContactRecord* ContactStore::GetAt(std::size_t index)
{
    return index < m_records.size() ? &m_records[index] : nullptr;
}

bool ContactStore::RemoveAt(std::size_t index)
{
    if (index >= m_records.size())
        return false;
    m_records.erase(m_records.begin() + std::ptrdiff_t(index));
    return true;
}

void ContactStore::Clear()
{
    m_records.clear();
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
    text = CutToLimit(text, kSearchLimit);
    std::size_t blank = text.find(' ');
    if (blank == std::string_view::npos)
        return MatchWord(record, text, excluded);
    std::string_view first = text.substr(0, blank);
    std::string_view rest = text.substr(blank + 1);
    int matched = MatchesQuery(record, first);
    if (rest.empty() || matched == 0)
        return matched;
    return MatchesQuery(record, rest, matched) != 0 ? 1 : 0;
}

bool ContactStore::ShowsInContactTree(
    const ContactRecord& record, std::string_view group, std::string_view text)
{
    bool allGroups = GroupStore::NamesEqual(group, kAllGroups);
    if (!allGroups && !GroupStore::NamesEqual(record.Group(), group))
        return false;
    return text.empty() || MatchesQuery(record, text) != 0;
}

std::vector<std::size_t> ContactStore::ContactTreeEntries(std::string_view group, std::string_view text) const
{
    std::vector<std::size_t> shown;
    for (std::size_t i = 0; i < m_records.size(); ++i) {
        if (ShowsInContactTree(m_records[i], group, text))
            shown.push_back(i);
    }
    std::vector<QString> keys(m_records.size());
    for (std::size_t i : shown) {
        const std::string& name = m_records[i].DisplayName();
        keys[i] = QString::fromUtf8(name.data(), qsizetype(name.size())).toCaseFolded();
    }
    std::stable_sort(shown.begin(), shown.end(),
        [&keys](std::size_t a, std::size_t b) { return QString::localeAwareCompare(keys[a], keys[b]) < 0; });
    return shown;
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
    return std::string(m_labels.GetLabel(record.LabelIndex(slot))) + ": " + record.Number(slot);
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
