#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class GroupStore;
class PhoneLabelStore;

// The text fields of a contact, in the order of the file's columns (Group to DisplayName are
// columns 1 to 7, Street to Note columns 29 to 35).
enum class ContactField {
    Group,
    FirstName,
    LastName,
    MiddleName,
    Title,
    Company,
    DisplayName,
    Street,
    Street2,
    City,
    State,
    Zip,
    Country,
    Note,
};
inline constexpr std::size_t kContactFieldCount = 14;

// One contact, speed-dial or redial entry: names, ten phone numbers with labels, address and note.
// The 24 texts (14 fields and 10 numbers) share one buffer with their end offsets, so a contact
// costs a small fixed part and one allocation instead of 24 strings; the texts are read as views
// that stay valid until the record changes.
class ContactRecord {
public:
    static constexpr int kNumberCount = 10;
    // Texts 0 to 13 are the fields, 14 to 23 the numbers of slots 0 to 9.
    static constexpr std::size_t kTextCount = kContactFieldCount + kNumberCount;
    // The display name is composed in 299 bytes at most.
    static constexpr std::size_t kDisplayNameLimit = 299;

    // Group "Unfiled", every text empty, default number 0, the default label of each slot.
    ContactRecord();

    std::string_view Text(ContactField field) const { return Slice(std::size_t(field)); }
    // Stores the text as it is; the group goes through SetGroup where it must be valid, and the
    // display name is cut to kDisplayNameLimit.
    void SetText(ContactField field, std::string_view text);

    std::string_view Group() const { return Text(ContactField::Group); }
    // The group becomes `name` (cut to the group name limit) when the store holds that group or
    // can add it, else "Unfiled".
    void SetGroup(std::string_view name, GroupStore& groups);
    // What SetGroup stores for `name`: the name cut to the group name limit, or "Unfiled".
    static std::string_view ValidGroup(std::string_view name, GroupStore& groups);

    std::string_view FirstName() const { return Text(ContactField::FirstName); }
    void SetFirstName(std::string_view text) { SetText(ContactField::FirstName, text); }
    std::string_view LastName() const { return Text(ContactField::LastName); }
    void SetLastName(std::string_view text) { SetText(ContactField::LastName, text); }
    std::string_view MiddleName() const { return Text(ContactField::MiddleName); }
    void SetMiddleName(std::string_view text) { SetText(ContactField::MiddleName, text); }
    std::string_view Title() const { return Text(ContactField::Title); }
    void SetTitle(std::string_view text) { SetText(ContactField::Title, text); }
    std::string_view Company() const { return Text(ContactField::Company); }
    void SetCompany(std::string_view text) { SetText(ContactField::Company, text); }
    std::string_view DisplayName() const { return Text(ContactField::DisplayName); }
    void SetDisplayName(std::string_view text) { SetText(ContactField::DisplayName, text); }
    std::string_view Street() const { return Text(ContactField::Street); }
    void SetStreet(std::string_view text) { SetText(ContactField::Street, text); }
    std::string_view Street2() const { return Text(ContactField::Street2); }
    void SetStreet2(std::string_view text) { SetText(ContactField::Street2, text); }
    std::string_view City() const { return Text(ContactField::City); }
    void SetCity(std::string_view text) { SetText(ContactField::City, text); }
    std::string_view State() const { return Text(ContactField::State); }
    void SetState(std::string_view text) { SetText(ContactField::State, text); }
    std::string_view Zip() const { return Text(ContactField::Zip); }
    void SetZip(std::string_view text) { SetText(ContactField::Zip, text); }
    std::string_view Country() const { return Text(ContactField::Country); }
    void SetCountry(std::string_view text) { SetText(ContactField::Country, text); }
    std::string_view Note() const { return Text(ContactField::Note); }
    void SetNote(std::string_view text) { SetText(ContactField::Note, text); }

    // Which of the ten numbers is dialled. Kept as stored, so a hand-edited value outside 0..9
    // survives a save; such a value has no default number.
    std::int32_t DefaultNumberIndex() const { return m_defaultNumberIndex; }
    void SetDefaultNumberIndex(std::int32_t index) { m_defaultNumberIndex = index; }
    // The number of slot DefaultNumberIndex, empty when that is outside 0..9.
    std::string_view DefaultNumber() const { return Number(m_defaultNumberIndex); }

    // Slots 0..9; other slots read as empty number and label 0, and their setters do nothing.
    std::string_view Number(int slot) const
    {
        return slot >= 0 && slot < kNumberCount ? Slice(kContactFieldCount + std::size_t(slot))
                                                : std::string_view{};
    }
    // How many of the ten numbers are not empty.
    int NumberCount() const
    {
        int count = 0;
        for (std::size_t text = kContactFieldCount; text < kTextCount; ++text)
            count += m_ends[text] != m_ends[text - 1] ? 1 : 0;
        return count;
    }
    void SetNumber(int slot, std::string_view number);
    std::int32_t LabelIndex(int slot) const;
    void SetLabelIndex(int slot, std::int32_t labelIndex);

    // Sets DisplayName from first, middle and last name; with a label table, and when the name is
    // not empty, followed by " (" + the default number's label + ")". The name is cut so that the
    // whole text fits 299 bytes; a label index without a name adds no suffix.
    void ComposeDisplayName(const PhoneLabelStore* labels);
    // The display name without its trailing " (label)". False (and the whole display name in
    // `name`) when it has no such suffix.
    bool NameWithoutLabel(std::string& name) const;

    // Copies every field, the group unchecked.
    void Assign(const ContactRecord& other) { *this = other; }

    // Gives back buffer space beyond the texts (after a record has been built piece by piece).
    void ReleaseSpareCapacity();
    // Sets every text at once: the fields in ContactField order, then the numbers of slots 0 to 9.
    // The display name is cut as SetText cuts it; the group is taken unchecked.
    void SetTexts(const std::array<std::string_view, kTextCount>& texts);

private:
    std::string_view Slice(std::size_t text) const
    {
        const std::uint32_t begin = text == 0 ? 0 : m_ends[text - 1];
        return std::string_view(m_text.data() + begin, m_ends[text] - begin);
    }
    void Replace(std::size_t text, std::string_view value);

    std::string m_text;
    std::array<std::uint32_t, kTextCount> m_ends{};
    std::array<std::int32_t, kNumberCount> m_labels{};
    std::int32_t m_defaultNumberIndex = 0;
};
