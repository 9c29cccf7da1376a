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

struct PhoneEntry {
    std::string number;
    std::int32_t labelIndex = 0;
};

// One contact, speed-dial or redial entry: names, ten phone numbers with labels, address and note.
class ContactRecord {
public:
    static constexpr int kNumberCount = 10;
    // The display name is composed in 299 bytes at most.
    static constexpr std::size_t kDisplayNameLimit = 299;

    // Group "Unfiled", every text empty, default number 0, the default label of each slot.
    ContactRecord();

    const std::string& Text(ContactField field) const { return m_texts[std::size_t(field)]; }
    // Stores the text as it is; the group goes through SetGroup where it must be valid, and the
    // display name is cut to kDisplayNameLimit.
    void SetText(ContactField field, std::string_view text);

    const std::string& Group() const { return Text(ContactField::Group); }
    // The group becomes `name` (cut to the group name limit) when the store holds that group or
    // can add it, else "Unfiled".
    void SetGroup(std::string_view name, GroupStore& groups);

    const std::string& FirstName() const { return Text(ContactField::FirstName); }
    void SetFirstName(std::string_view text) { SetText(ContactField::FirstName, text); }
    const std::string& LastName() const { return Text(ContactField::LastName); }
    void SetLastName(std::string_view text) { SetText(ContactField::LastName, text); }
    const std::string& MiddleName() const { return Text(ContactField::MiddleName); }
    void SetMiddleName(std::string_view text) { SetText(ContactField::MiddleName, text); }
    const std::string& Title() const { return Text(ContactField::Title); }
    void SetTitle(std::string_view text) { SetText(ContactField::Title, text); }
    const std::string& Company() const { return Text(ContactField::Company); }
    void SetCompany(std::string_view text) { SetText(ContactField::Company, text); }
    const std::string& DisplayName() const { return Text(ContactField::DisplayName); }
    void SetDisplayName(std::string_view text) { SetText(ContactField::DisplayName, text); }
    const std::string& Street() const { return Text(ContactField::Street); }
    void SetStreet(std::string_view text) { SetText(ContactField::Street, text); }
    const std::string& Street2() const { return Text(ContactField::Street2); }
    void SetStreet2(std::string_view text) { SetText(ContactField::Street2, text); }
    const std::string& City() const { return Text(ContactField::City); }
    void SetCity(std::string_view text) { SetText(ContactField::City, text); }
    const std::string& State() const { return Text(ContactField::State); }
    void SetState(std::string_view text) { SetText(ContactField::State, text); }
    const std::string& Zip() const { return Text(ContactField::Zip); }
    void SetZip(std::string_view text) { SetText(ContactField::Zip, text); }
    const std::string& Country() const { return Text(ContactField::Country); }
    void SetCountry(std::string_view text) { SetText(ContactField::Country, text); }
    const std::string& Note() const { return Text(ContactField::Note); }
    void SetNote(std::string_view text) { SetText(ContactField::Note, text); }

    // Which of the ten numbers is dialled. Kept as stored, so a hand-edited value outside 0..9
    // survives a save; such a value has no default number.
    std::int32_t DefaultNumberIndex() const { return m_defaultNumberIndex; }
    void SetDefaultNumberIndex(std::int32_t index) { m_defaultNumberIndex = index; }
    // The number of slot DefaultNumberIndex, empty when that is outside 0..9.
    const std::string& DefaultNumber() const { return Number(m_defaultNumberIndex); }

    // Slots 0..9; other slots read as empty number and label 0, and their setters do nothing.
    const std::string& Number(int slot) const;
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

private:
    std::array<std::string, kContactFieldCount> m_texts;
    std::int32_t m_defaultNumberIndex = 0;
    std::array<PhoneEntry, kNumberCount> m_numbers;
};
