#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The vCard text format (versions 2.1, 3.0 and 4.0) below the contact mapping: reading a file into
// cards of decoded properties, and writing properties as folded, escaped content lines.

// One content line of a card after unfolding and decoding: the value is UTF-8 whatever the
// CHARSET and ENCODING parameters said, but still carries the vCard escapes (see SplitValue).
struct VCardProperty {
    std::string name; // upper case, without its group ("item1.TEL" gives "TEL")
    std::vector<std::string> types; // TYPE values and 2.1's bare parameters ("CELL"), lower case
    bool preferred = false; // TYPE=pref, a bare PREF or a PREF=n parameter
    std::string value;
};

struct VCard {
    std::size_t line = 0; // the file line of its BEGIN:VCARD, from 1
    bool complete = false; // false when the file ends, or another card begins, before END:VCARD
    bool version21 = false; // 2.1 escapes only ";" in values
    std::vector<VCardProperty> properties;

    // The first property of that name, or none.
    const VCardProperty* Find(std::string_view name) const;
};

// Every card of `bytes`, in file order, the incomplete ones included. Text outside cards and lines
// that are not content lines are passed over.
std::vector<VCard> ReadVCards(std::string_view bytes);

// A value's components split at each unescaped `separator` (';' for N, ADR and ORG, ',' for
// CATEGORIES), each unescaped: "\n" gives a line end, "\\", "\;", "\," their character. Control
// characters other than tab and LF (NUL, ESC, BEL, CR ...) are dropped.
std::vector<std::string> SplitValue(const VCard& card, std::string_view value, char separator);
// The whole value unescaped, control characters dropped as by SplitValue.
std::string UnescapeValue(const VCard& card, std::string_view value);
// A byte below 0x20 or DEL.
bool IsControl(char c);

enum class VCardVersion { V3, V4 };

// Builds the text of a vCard file: LF line ends (the file writer stores them as CR LF), lines
// folded at 75 bytes without splitting a UTF-8 character.
class VCardWriter {
public:
    explicit VCardWriter(VCardVersion version)
        : m_version(version)
    {
    }

    VCardVersion Version() const { return m_version; }
    void BeginCard();
    void EndCard();
    // One content line: `head` is the name with its parameters ("TEL;TYPE=cell"), `value` the text
    // already escaped (Escape, Components).
    void Line(std::string_view head, std::string_view value);
    const std::string& Text() const { return m_text; }

    // A text value escaped: backslash, ";", "," and line ends (CR LF, CR or LF become "\n").
    static std::string Escape(std::string_view text);
    // Compound value: each part escaped, joined with ";".
    static std::string Components(std::initializer_list<std::string_view> parts);

private:
    VCardVersion m_version;
    std::string m_text;
};
