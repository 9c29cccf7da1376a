#include "store/redial_store.h"

void RedialStore::AddRedial(std::string_view displayNameView, std::string_view numberView)
{
    // Copies first: the caller may pass a slot's own texts, which the shift below overwrites.
    const std::string displayName(displayNameView);
    const std::string number(numberView);
    int stop = kSlotCount - 1; // a full list drops its oldest entry
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const ContactRecord& record = m_slots[std::size_t(slot)];
        bool unused = record.Number(0).empty();
        bool same = record.Number(0) == number && record.DisplayName() == displayName;
        if (unused || same) {
            stop = slot;
            break;
        }
    }
    for (int slot = stop; slot > 0; --slot)
        m_slots[std::size_t(slot)].Assign(m_slots[std::size_t(slot - 1)]);
    m_slots[0].SetNumber(0, number);
    m_slots[0].SetDisplayName(displayName);
}

std::string RedialStore::RedialMenuText(int slot) const
{
    const ContactRecord* record = GetSlot(slot);
    if (!record || record->Number(0).empty())
        return {};
    std::string text(record->DisplayName());
    if (!text.empty())
        text += ", ";
    return text.append(record->Number(0));
}
