#pragma once

#include "store/contact_record.h"
#include "store/vcard.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class GroupStore;
class PhoneLabelStore;

// Which phone label a vCard number type means and back. Each of the fourteen built-in labels has a
// meaning ("cell" is the mobile label); a label is found by its name first (the labels file may
// rename or reorder them) and by its built-in position when no label has such a name.
class VCardLabels {
public:
    explicit VCardLabels(const PhoneLabelStore& labels);

    // The label of a TEL's types: the strongest known type ("fax" before "cell" before "work"
    // before "home" ...), else a type that is a label's name ("x-ipphone" for "IPPhone"); -1 when
    // none fits, for the slot's own default label.
    std::int32_t ForTelTypes(const std::vector<std::string>& types) const;
    // The label of a built-in meaning (an index of the default label table).
    std::int32_t ForMeaning(int meaning) const { return m_labelOf[std::size_t(meaning)]; }
    // The built-in meaning of a contact's label index, -1 for an index outside the table.
    int MeaningOf(std::int32_t labelIndex) const;
    const PhoneLabelStore& Labels() const { return m_labels; }

private:
    std::int32_t LabelNamed(std::string_view name) const;

    const PhoneLabelStore& m_labels;
    std::array<std::int32_t, 14> m_labelOf{};
};

// One number a card gives: the text and its label (-1: the default label of the slot it lands in).
struct CardNumber {
    std::string text;
    std::int32_t label = -1;
    bool preferred = false;
    bool phone = true; // TEL rather than e-mail or messenger
};

// What a card becomes: the contact (its group still unchecked, see GroupStore), the numbers in card
// order (the first ten, all placed in the contact) and what did not fit.
struct CardContact {
    ContactRecord record;
    std::vector<CardNumber> numbers;
    std::size_t droppedNumbers = 0; // numbers past the tenth, not compared with each other
    std::size_t refusedNumbers = 0; // numbers that hold control characters
    bool textCut = false; // a text was longer than its field holds
    bool named = false; // the card gives a name, title or company
};

namespace VCardContact {

// Each text field keeps what the contact editor keeps; the note what the contacts file keeps.
inline constexpr std::size_t kTextLimit = 99;

// The contact a card describes. The group is the first category the store knows, else the first
// category; "Unfiled" without categories.
CardContact FromCard(const VCard& card, const VCardLabels& labels, const GroupStore& groups);

// Puts the numbers into the free slots of `record`: a number whose label is the default label of a
// free slot goes there, the others fill the first free slots in order. The preferred number (else
// the first phone number) becomes the default when the record has none. Returns how many did not
// fit.
std::size_t AddNumbers(ContactRecord& record, std::span<const CardNumber> numbers);

// The form in which two numbers are the same: a phone number's digits (with + * #), an address or
// user name in lower case.
std::string NumberKey(std::string_view number);

// "John Q Smith": the name as composed from first, middle and last name, without the label.
std::string PlainName(const ContactRecord& record);

// The name a card goes by in reports: FN, else N, else ORG; empty when it has none.
std::string CardName(const VCard& card);

// Writes the contact as one card.
void WriteCard(VCardWriter& writer, const ContactRecord& record, const VCardLabels& labels);

} // namespace VCardContact
