#include "store/group_store.h"

#include "store/csv_records.h"
#include "store/csv_writer.h"
#include "store/locale_compare.h"
#include "store/text_limit.h"

#include <algorithm>
#include <array>
#include <limits>

namespace {

constexpr std::string_view kAll = "All";
constexpr std::array<std::string_view, 6> kDefaultGroups
    = { "Business", "Family", "Friends", "QuickList", "Others", "Unfiled" };

bool BeginsWithNoCase(std::string_view text, std::string_view prefix)
{
    return FoldedText(text).startsWith(FoldedText(prefix));
}

} // namespace

GroupStore::GroupStore()
{
    m_names.reserve(kMaxGroups);
}

void GroupStore::Load(const std::filesystem::path& file)
{
    m_names.clear();
    constexpr std::array<std::size_t, 1> kLimits = { kNameLimit };
    bool opened = LoadRecords<1>(file, kLimits, std::numeric_limits<std::size_t>::max(),
        [this](std::span<const std::string_view> name) { return Add(name[0]); });
    if (!opened) {
        for (std::string_view name : kDefaultGroups)
            Add(name);
    }
}

bool GroupStore::Save(const std::filesystem::path& file) const
{
    return SaveRecords(file, m_names, [](CsvWriter& writer, const std::string& name) { writer.Text(name); });
}

bool GroupStore::NamesEqual(std::string_view a, std::string_view b)
{
    return CompareTextNoCase(a, b) == 0;
}

std::vector<std::string>::const_iterator GroupStore::FindName(std::string_view name) const
{
    // An exact match is the usual case (every contact names its group) and needs no locale.
    auto exact = std::find(m_names.begin(), m_names.end(), name);
    if (exact != m_names.end())
        return exact;
    return std::find_if(m_names.begin(), m_names.end(),
        [name](const std::string& stored) { return NamesEqual(stored, name); });
}

// A byte-equal name, the common case (every contact's group on loading), needs no locale-aware
// comparison.
bool GroupStore::Find(std::string_view name) const
{
    name = CutToLimit(name, kNameLimit);
    return std::find(m_names.begin(), m_names.end(), name) != m_names.end()
        || FindName(name) != m_names.end();
}

bool GroupStore::Add(std::string_view name)
{
    name = CutToLimit(name, kNameLimit);
    if (!CanAdd())
        return false;
    if (FindName(name) != m_names.end())
        return true;
    auto place = m_names.end();
    if (!m_names.empty() && !NamesEqual(name, kUnfiled)) {
        place = std::find_if(m_names.begin(), m_names.end(),
            [name](const std::string& stored) { return CompareTextNoCase(stored, name) > 0; });
    }
    m_names.insert(place, std::string(name));
    return true;
}

bool GroupStore::Delete(std::string_view name)
{
    auto found = FindName(CutToLimit(name, kNameLimit));
    if (found == m_names.end())
        return false;
    m_names.erase(found);
    return true;
}

bool GroupStore::Rename(std::string_view oldName, std::string_view newName)
{
    auto found = FindName(CutToLimit(oldName, kNameLimit));
    if (found == m_names.end())
        return false;
    m_names[std::size_t(found - m_names.begin())] = CutToLimit(newName, kNameLimit);
    return true;
}

const std::string* GroupStore::GetAt(std::size_t index) const
{
    return index < m_names.size() ? &m_names[index] : nullptr;
}

std::vector<std::size_t> GroupStore::MenuGroups() const
{
    std::vector<std::size_t> positions;
    for (std::size_t i = 0; i < m_names.size(); ++i) {
        if (!m_names[i].empty() && m_names[i] != kUnfiled)
            positions.push_back(i);
    }
    return positions;
}

std::vector<std::string> GroupStore::ComboItems(bool withAll) const
{
    std::vector<std::string> items;
    if (withAll)
        items.emplace_back(kAll);
    std::copy_if(m_names.begin(), m_names.end(), std::back_inserter(items),
        [](const std::string& name) { return !name.empty(); });
    return items;
}

int GroupStore::ComboSelection(const std::vector<std::string>& items, std::string_view group)
{
    for (std::size_t step = 1; step <= items.size(); ++step) {
        std::size_t i = step % items.size();
        if (BeginsWithNoCase(items[i], group))
            return int(i);
    }
    return -1;
}

std::vector<std::string> GroupStore::ListItems() const
{
    std::vector<std::string> items = ComboItems(false);
    std::stable_sort(items.begin(), items.end(),
        [](const std::string& a, const std::string& b) { return CompareTextNoCase(a, b) < 0; });
    return items;
}
