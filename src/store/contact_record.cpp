#include "store/contact_record.h"

#include "store/group_store.h"
#include "store/phone_label_store.h"
#include "store/text_limit.h"

namespace {

constexpr std::array<std::int32_t, ContactRecord::kNumberCount> kDefaultSlotLabels
    = { 0, 1, 2, 12, 11, 5, 8, 7, 3, 4 };

bool IsSlot(int slot)
{
    return slot >= 0 && slot < ContactRecord::kNumberCount;
}

void AppendWord(std::string& text, const std::string& word)
{
    if (word.empty())
        return;
    if (!text.empty())
        text.push_back(' ');
    text += word;
}

} // namespace

ContactRecord::ContactRecord()
{
    m_texts[std::size_t(ContactField::Group)] = GroupStore::kUnfiled;
    for (int slot = 0; slot < kNumberCount; ++slot)
        m_numbers[slot].labelIndex = kDefaultSlotLabels[slot];
}

void ContactRecord::SetText(ContactField field, std::string_view text)
{
    if (field == ContactField::DisplayName)
        text = CutToLimit(text, kDisplayNameLimit);
    m_texts[std::size_t(field)] = text;
}

void ContactRecord::SetGroup(std::string_view name, GroupStore& groups)
{
    name = CutToLimit(name, GroupStore::kNameLimit);
    bool known = groups.Find(name) || groups.Add(name);
    m_texts[std::size_t(ContactField::Group)] = known ? name : GroupStore::kUnfiled;
}

const std::string& ContactRecord::Number(int slot) const
{
    static const std::string kNone;
    return IsSlot(slot) ? m_numbers[slot].number : kNone;
}

void ContactRecord::SetNumber(int slot, std::string_view number)
{
    if (IsSlot(slot))
        m_numbers[slot].number = number;
}

std::int32_t ContactRecord::LabelIndex(int slot) const
{
    return IsSlot(slot) ? m_numbers[slot].labelIndex : 0;
}

void ContactRecord::SetLabelIndex(int slot, std::int32_t labelIndex)
{
    if (IsSlot(slot))
        m_numbers[slot].labelIndex = labelIndex;
}

void ContactRecord::ComposeDisplayName(const PhoneLabelStore* labels)
{
    std::string name;
    AppendWord(name, FirstName());
    AppendWord(name, MiddleName());
    AppendWord(name, LastName());
    std::string suffix;
    if (labels && !name.empty() && IsSlot(m_defaultNumberIndex)) {
        std::string_view label = labels->GetLabel(LabelIndex(m_defaultNumberIndex));
        if (!label.empty())
            suffix = " (" + std::string(label) + ")";
    }
    name.resize(CutToLimit(name, kDisplayNameLimit - suffix.size()).size());
    m_texts[std::size_t(ContactField::DisplayName)] = name + suffix;
}

bool ContactRecord::NameWithoutLabel(std::string& name) const
{
    const std::string& display = DisplayName();
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
