#include "store/contact_record.h"

#include "store/group_store.h"
#include "store/phone_label_store.h"
#include "store/text_limit.h"

#include <cstring>

namespace {

constexpr std::array<std::int32_t, ContactRecord::kNumberCount> kDefaultSlotLabels
    = { 0, 1, 2, 12, 11, 5, 8, 7, 3, 4 };

bool IsSlot(int slot)
{
    return slot >= 0 && slot < ContactRecord::kNumberCount;
}

// Spare buffer space a record keeps without giving it back: one allocation step of the heap.
constexpr std::size_t kSpareSlack = 16;

void AppendWord(std::string& text, std::string_view word)
{
    if (word.empty())
        return;
    if (!text.empty())
        text.push_back(' ');
    text += word;
}

} // namespace

ContactRecord::ContactRecord()
    : m_labels(kDefaultSlotLabels)
{
    Replace(std::size_t(ContactField::Group), GroupStore::kUnfiled);
}

// Replaces one text in the shared buffer and moves the ends of the texts after it. A text set to
// what it already is (a loaded contact's group and display name) leaves the buffer alone.
void ContactRecord::Replace(std::size_t text, std::string_view value)
{
    if (Slice(text) == value)
        return;
    const bool inside = value.data() >= m_text.data() && value.data() < m_text.data() + m_text.size();
    if (inside) { // a view of this record's own buffer, which the replace moves
        const std::string copy(value);
        Replace(text, copy);
        return;
    }
    const std::uint32_t begin = text == 0 ? 0 : m_ends[text - 1];
    const std::uint32_t oldSize = m_ends[text] - begin;
    m_text.replace(begin, oldSize, value.data(), value.size());
    const std::uint32_t newSize = std::uint32_t(value.size());
    for (std::size_t i = text; i < kTextCount; ++i)
        m_ends[i] = m_ends[i] - oldSize + newSize;
}

void ContactRecord::SetText(ContactField field, std::string_view text)
{
    if (field == ContactField::DisplayName)
        text = CutToLimit(text, kDisplayNameLimit);
    Replace(std::size_t(field), text);
}

void ContactRecord::SetTexts(const std::array<std::string_view, kTextCount>& texts)
{
    std::array<std::string_view, kTextCount> cut = texts;
    std::string_view& display = cut[std::size_t(ContactField::DisplayName)];
    display = CutToLimit(display, kDisplayNameLimit);
    std::size_t total = 0;
    for (std::string_view text : cut)
        total += text.size();
    std::string buffer(total, '\0');
    std::size_t end = 0;
    for (std::size_t i = 0; i < kTextCount; ++i) {
        if (!cut[i].empty())
            std::memcpy(buffer.data() + end, cut[i].data(), cut[i].size());
        end += cut[i].size();
        m_ends[i] = std::uint32_t(end);
    }
    m_text = std::move(buffer);
}

void ContactRecord::ReleaseSpareCapacity()
{
    if (m_text.capacity() > m_text.size() + kSpareSlack)
        m_text.shrink_to_fit();
}

std::string_view ContactRecord::ValidGroup(std::string_view name, GroupStore& groups)
{
    name = CutToLimit(name, GroupStore::kNameLimit);
    bool known = groups.Find(name) || groups.Add(name);
    return known ? name : GroupStore::kUnfiled;
}

void ContactRecord::SetGroup(std::string_view name, GroupStore& groups)
{
    Replace(std::size_t(ContactField::Group), ValidGroup(name, groups));
}

void ContactRecord::SetNumber(int slot, std::string_view number)
{
    if (IsSlot(slot))
        Replace(kContactFieldCount + std::size_t(slot), number);
}

std::int32_t ContactRecord::LabelIndex(int slot) const
{
    return IsSlot(slot) ? m_labels[std::size_t(slot)] : 0;
}

void ContactRecord::SetLabelIndex(int slot, std::int32_t labelIndex)
{
    if (IsSlot(slot))
        m_labels[std::size_t(slot)] = labelIndex;
}

void ContactRecord::ComposeDisplayName(const PhoneLabelStore* labels)
{
    // One string for the whole text, kept for the next contact: this runs for every contact loaded.
    thread_local std::string name;
    name.clear();
    AppendWord(name, FirstName());
    AppendWord(name, MiddleName());
    AppendWord(name, LastName());
    std::string_view label;
    if (labels && !name.empty() && IsSlot(m_defaultNumberIndex))
        label = labels->GetLabel(LabelIndex(m_defaultNumberIndex));
    const std::size_t suffixSize = label.empty() ? 0 : label.size() + 3;
    name.resize(CutToLimit(name, kDisplayNameLimit - suffixSize).size());
    if (!label.empty())
        name.append(" (").append(label).append(")");
    Replace(std::size_t(ContactField::DisplayName), name);
}

bool ContactRecord::NameWithoutLabel(std::string& name) const
{
    const std::string_view display = DisplayName();
    name = display;
    if (display.size() < 5 || display.back() != ')')
        return false;
    for (std::size_t i = display.size() - 2; i >= 2; --i) {
        if (display[i] == '(' && display[i - 1] == ' ') {
            name = display.substr(0, i - 1);
            return true;
        }
    }
    return false;
}
