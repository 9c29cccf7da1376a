#include "store/contact_slots.h"

#include "store/contact_file.h"
#include "store/csv_records.h"
#include "store/csv_writer.h"

ContactSlots::ContactSlots(GroupStore& groups, PhoneLabelStore labels)
    : m_groups(groups)
    , m_labels(std::move(labels))
{
}

bool ContactSlots::Load(const std::filesystem::path& file)
{
    Reset();
    int slot = 0;
    LoadRecords<ContactFile::kColumnCount>(
        file, {}, kSlotCount, [this, &slot](std::span<const std::string_view> record) {
            ContactRecord scratch = ContactFile::RecordFromColumns(record, m_groups);
            if (scratch.DisplayName().empty())
                scratch.ComposeDisplayName(&m_labels);
            SetSlot(slot++, scratch);
            return true;
        });
    return true;
}

bool ContactSlots::Save(const std::filesystem::path& file) const
{
    return SaveRecords(file, m_slots, ContactFile::WriteRecord);
}

const ContactRecord* ContactSlots::GetSlot(int slot) const
{
    return slot >= 0 && slot < kSlotCount ? &m_slots[std::size_t(slot)] : nullptr;
}

ContactRecord* ContactSlots::GetSlot(int slot)
{
    return slot >= 0 && slot < kSlotCount ? &m_slots[std::size_t(slot)] : nullptr;
}

void ContactSlots::SetSlot(int slot, const ContactRecord& record)
{
    if (ContactRecord* target = GetSlot(slot))
        target->Assign(record);
}

void ContactSlots::Reset()
{
    m_slots.fill(ContactRecord());
}
