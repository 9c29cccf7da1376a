#pragma once

#include "store/contact_record.h"
#include "store/phone_label_store.h"

#include <array>
#include <filesystem>

class GroupStore;

// Ten fixed contact slots stored in one file of exactly ten 35-column lines: the common part of the
// speed dials and the redial list.
class ContactSlots {
public:
    static constexpr int kSlotCount = 10;

    // `groups` is the contact store's group list, which loading validates each slot's group with.
    ContactSlots(GroupStore& groups, PhoneLabelStore labels);

    // Resets all slots, then reads one record per slot until a record cannot be read completely;
    // lines after the tenth are ignored. An empty display name column is composed with the label.
    // Always true (a missing file leaves the defaults).
    bool Load(const std::filesystem::path& file);
    // Writes all ten slots, empty ones included; false when the file cannot be written.
    bool Save(const std::filesystem::path& file) const;

    // The record of slot 0..9; none for any other slot.
    const ContactRecord* GetSlot(int slot) const;
    ContactRecord* GetSlot(int slot);
    // Copies the record into the slot; ignored for any other slot.
    void SetSlot(int slot, const ContactRecord& record);
    void Reset();

    const PhoneLabelStore& Labels() const { return m_labels; }

protected:
    std::array<ContactRecord, kSlotCount> m_slots;

private:
    GroupStore& m_groups;
    PhoneLabelStore m_labels;
};
