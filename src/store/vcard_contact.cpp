#include "store/vcard_contact.h"

#include "store/csv_codec.h"
#include "store/group_store.h"
#include "store/phone_label_store.h"
#include "store/text_limit.h"

#include <algorithm>

namespace {

// The built-in meanings: the positions of the default label table.
enum Meaning : int {
    kHome,
    kWork,
    kMobile,
    kPager,
    kOther,
    kSkype,
    kSip,
    kGTalk,
    kMsn,
    kIpPhone,
    kOtherIp,
    kFax,
    kEmail,
    kMain,
};

struct WordMeaning {
    std::string_view word;
    int meaning;
};

// Label names that carry a meaning; the first of each meaning is its default name.
constexpr WordMeaning kLabelNames[] = { { "Home", kHome }, { "Work", kWork }, { "Business", kWork },
    { "Mobile", kMobile }, { "Cell", kMobile }, { "Pager", kPager }, { "Other", kOther }, { "Skype", kSkype },
    { "SIP", kSip }, { "GTalk", kGTalk }, { "Jabber", kGTalk }, { "MSN", kMsn }, { "IPPhone", kIpPhone },
    { "OtherIP", kOtherIp }, { "Fax", kFax }, { "Email", kEmail }, { "E-mail", kEmail }, { "Main", kMain } };

// TEL types, strongest first: a "work,fax" number is a fax, a "home,cell" one a mobile. The first
// type of each meaning is the one written.
constexpr WordMeaning kTelTypes[] = { { "fax", kFax }, { "pager", kPager }, { "cell", kMobile },
    { "mobile", kMobile }, { "iphone", kMobile }, { "main", kMain }, { "work", kWork }, { "home", kHome },
    { "voice", kOther }, { "other", kOther } };

// IMPP schemes; the first of each meaning is the one written.
constexpr WordMeaning kSchemes[] = { { "skype", kSkype }, { "sip", kSip }, { "xmpp", kGTalk },
    { "gtalk", kGTalk }, { "msnim", kMsn }, { "msn", kMsn } };

// The messenger properties older address books write instead of IMPP.
constexpr WordMeaning kMessengerProperties[]
    = { { "X-SKYPE", kSkype }, { "X-SKYPE-USERNAME", kSkype }, { "X-SIP", kSip }, { "X-GTALK", kGTalk },
          { "X-GOOGLE-TALK", kGTalk }, { "X-JABBER", kGTalk }, { "X-MSN", kMsn } };

constexpr int kNoMeaning = -1;

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

std::string Lower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

template <std::size_t N> int MeaningOfWord(const WordMeaning (&table)[N], std::string_view word)
{
    for (const WordMeaning& entry : table) {
        if (EqualsNoCase(entry.word, word))
            return entry.meaning;
    }
    return kNoMeaning;
}

template <std::size_t N> std::string_view WordOfMeaning(const WordMeaning (&table)[N], int meaning)
{
    for (const WordMeaning& entry : table) {
        if (entry.meaning == meaning)
            return entry.word;
    }
    return {};
}

std::string_view Trimmed(std::string_view text)
{
    constexpr std::string_view kBlanks = " \t\r\n";
    const std::size_t begin = text.find_first_not_of(kBlanks);
    if (begin == std::string_view::npos)
        return {};
    return text.substr(begin, text.find_last_not_of(kBlanks) - begin + 1);
}

std::string_view WithoutPrefix(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix)
        ? text.substr(prefix.size())
        : text;
}

std::string Join(const std::vector<std::string>& parts, std::string_view separator)
{
    std::string joined;
    for (const std::string& part : parts) {
        if (part.empty())
            continue;
        if (!joined.empty())
            joined += separator;
        joined += part;
    }
    return joined;
}

// ---- Reading a card -----------------------------------------------------------------------------

std::string TextOf(const VCard& card, std::string_view name)
{
    const VCardProperty* property = card.Find(name);
    return property ? std::string(Trimmed(UnescapeValue(card, property->value))) : std::string();
}

std::vector<std::string> PartsOf(const VCard& card, const VCardProperty* property, std::size_t count)
{
    std::vector<std::string> parts;
    if (property)
        parts = SplitValue(card, property->value, ';');
    for (std::string& part : parts)
        part = Trimmed(part);
    parts.resize(std::max(parts.size(), count));
    return parts;
}

// Sets a field, cut to what it holds.
void SetField(CardContact& contact, ContactField field, std::string_view text)
{
    text = Trimmed(text);
    const std::string_view kept = field == ContactField::Note ? CsvCodec::FittingPrefix(text)
                                                              : CutToLimit(text, VCardContact::kTextLimit);
    contact.textCut = contact.textCut || kept.size() < text.size();
    contact.record.SetText(field, kept);
}

// "Smith, John" or "John Q Smith": the first word is the first name, the last the last name.
std::array<std::string, 3> SplitFullName(std::string_view full)
{
    std::string last;
    const std::size_t comma = full.find(',');
    if (comma != std::string_view::npos) {
        last = Trimmed(full.substr(0, comma));
        full = full.substr(comma + 1);
    }
    std::vector<std::string> words;
    for (std::size_t begin = 0; begin < full.size();) {
        const std::size_t end = std::min(full.find(' ', begin), full.size());
        if (end > begin)
            words.emplace_back(full.substr(begin, end - begin));
        begin = end + 1;
    }
    if (last.empty() && words.size() >= 2) {
        last = words.back();
        words.pop_back();
    }
    std::string first = words.empty() ? std::string() : words.front();
    if (!words.empty())
        words.erase(words.begin());
    return { first, Join(words, " "), last };
}

// N is last;first;middle;prefix;suffix. The suffix follows the last name; the prefix ("Dr.") is
// the title when the card has no TITLE.
void ReadNames(const VCard& card, CardContact& contact)
{
    std::vector<std::string> n = PartsOf(card, card.Find("N"), 5);
    std::replace(n[2].begin(), n[2].end(), ',', ' '); // several additional names
    std::array<std::string, 3> name = { n[1], n[2], Join({ n[0], n[4] }, " ") };
    if (name[0].empty() && name[1].empty() && name[2].empty())
        name = SplitFullName(TextOf(card, "FN"));
    SetField(contact, ContactField::FirstName, name[0]);
    SetField(contact, ContactField::MiddleName, name[1]);
    SetField(contact, ContactField::LastName, name[2]);
    const std::string title = TextOf(card, "TITLE");
    SetField(contact, ContactField::Title, title.empty() ? n[3] : title);
    SetField(contact, ContactField::Company, Join(PartsOf(card, card.Find("ORG"), 0), ", "));
}

const VCardProperty* MainAddress(const VCard& card)
{
    const VCardProperty* first = nullptr;
    for (const VCardProperty& property : card.properties) {
        if (property.name != "ADR")
            continue;
        if (property.preferred)
            return &property;
        first = first ? first : &property;
    }
    return first;
}

// ADR is pobox;extended;street;city;region;code;country. A street of several lines keeps its first
// line in Street; the others, the extended address and the post box go to Street2.
void ReadAddress(const VCard& card, CardContact& contact, const VCardProperty& address)
{
    std::vector<std::string> adr = PartsOf(card, &address, 7);
    std::string street = adr[2];
    const std::size_t lineEnd = street.find('\n');
    std::string moreLines = lineEnd == std::string::npos ? std::string() : street.substr(lineEnd + 1);
    std::replace(moreLines.begin(), moreLines.end(), '\n', ' ');
    street = street.substr(0, lineEnd);
    SetField(contact, ContactField::Street, street);
    SetField(contact, ContactField::Street2, Join({ adr[1], moreLines, adr[0] }, ", "));
    SetField(contact, ContactField::City, adr[3]);
    SetField(contact, ContactField::State, adr[4]);
    SetField(contact, ContactField::Zip, adr[5]);
    SetField(contact, ContactField::Country, adr[6]);
}

// "Address (work): 1 Main St, Springfield": a further address, kept in the note.
std::string AddressLine(const VCard& card, const VCardProperty& address)
{
    std::vector<std::string> adr = PartsOf(card, &address, 7);
    for (std::string& part : adr)
        std::replace(part.begin(), part.end(), '\n', ' ');
    const std::string type = address.types.empty() ? std::string() : " (" + address.types.front() + ")";
    return "Address" + type + ": " + Join(adr, ", ");
}

// The notes, then the addresses beyond the main one.
void ReadNoteAndAddresses(const VCard& card, CardContact& contact)
{
    const VCardProperty* main = MainAddress(card);
    if (main)
        ReadAddress(card, contact, *main);
    std::vector<std::string> notes;
    std::vector<std::string> addresses;
    for (const VCardProperty& property : card.properties) {
        if (property.name == "NOTE")
            notes.emplace_back(Trimmed(UnescapeValue(card, property.value)));
        else if (property.name == "ADR" && &property != main)
            addresses.push_back(AddressLine(card, property));
    }
    notes.insert(notes.end(), addresses.begin(), addresses.end());
    std::string note = Join(notes, "\n");
    // The contacts file keeps LF line ends; a CR would come back joined with the LF after it.
    note.erase(std::remove(note.begin(), note.end(), '\r'), note.end());
    SetField(contact, ContactField::Note, note);
}

// The number a property gives, or an empty text when it gives none.
CardNumber NumberOf(const VCard& card, const VCardProperty& property, const VCardLabels& labels)
{
    CardNumber number;
    const std::string value(Trimmed(UnescapeValue(card, property.value)));
    if (property.name == "TEL") {
        number.text = WithoutPrefix(value, "tel:");
        number.label = labels.ForTelTypes(property.types);
        return number;
    }
    number.phone = false;
    int meaning = MeaningOfWord(kMessengerProperties, property.name);
    if (property.name == "EMAIL") {
        number.text = WithoutPrefix(value, "mailto:");
        meaning = kEmail;
    } else if (property.name == "IMPP") {
        const std::size_t colon = value.find(':');
        meaning = colon == std::string::npos ? kNoMeaning : MeaningOfWord(kSchemes, value.substr(0, colon));
        number.text = value.substr(colon == std::string::npos ? 0 : colon + 1);
        meaning = meaning == kNoMeaning ? kOtherIp : meaning;
    } else if (meaning != kNoMeaning) {
        number.text = value;
    }
    number.label = meaning == kNoMeaning ? -1 : labels.ForMeaning(meaning);
    return number;
}

// Every number of the card in card order, each once, until the contact's slots are taken; the
// numbers after that are only counted, so each costs the same however many a card holds.
std::vector<CardNumber> ReadNumbers(const VCard& card, const VCardLabels& labels, CardContact& contact)
{
    std::vector<CardNumber> numbers;
    std::vector<std::string> keys;
    for (const VCardProperty& property : card.properties) {
        CardNumber number = NumberOf(card, property, labels);
        const std::string_view kept = CutToLimit(Trimmed(number.text), VCardContact::kTextLimit);
        contact.textCut = contact.textCut || kept.size() < Trimmed(number.text).size();
        number.text = kept;
        std::string key = VCardContact::NumberKey(number.text);
        if (number.text.empty() || std::find(keys.begin(), keys.end(), key) != keys.end())
            continue;
        // Dropping them would dial a different number: such a number is left out.
        if (std::any_of(property.value.begin(), property.value.end(), IsControl)) {
            ++contact.refusedNumbers;
            continue;
        }
        if (numbers.size() == std::size_t(ContactRecord::kNumberCount)) {
            ++contact.droppedNumbers;
            continue;
        }
        number.preferred = property.preferred;
        keys.push_back(std::move(key));
        numbers.push_back(std::move(number));
    }
    return numbers;
}

// The first category the store knows, else the first one.
void ReadGroup(const VCard& card, const GroupStore& groups, ContactRecord& record)
{
    std::vector<std::string> categories;
    for (const VCardProperty& property : card.properties) {
        if (property.name != "CATEGORIES")
            continue;
        for (std::string& category : SplitValue(card, property.value, ','))
            if (!Trimmed(category).empty())
                categories.emplace_back(Trimmed(category));
    }
    auto known = std::find_if(categories.begin(), categories.end(),
        [&groups](const std::string& name) { return groups.Find(name); });
    std::string_view group = known != categories.end() ? *known
        : categories.empty()                           ? GroupStore::kUnfiled
                                                       : categories.front();
    record.SetText(ContactField::Group, CutToLimit(group, GroupStore::kNameLimit));
}

bool HasName(const ContactRecord& record)
{
    return !record.FirstName().empty() || !record.MiddleName().empty() || !record.LastName().empty();
}

// ---- Writing a card -----------------------------------------------------------------------------

void LineIfSet(VCardWriter& writer, std::string_view name, std::string_view text)
{
    if (!text.empty())
        writer.Line(name, VCardWriter::Escape(text));
}

std::string Head(std::string_view name, std::vector<std::string> types, bool preferred, VCardVersion version)
{
    if (preferred && version == VCardVersion::V3)
        types.emplace_back("pref");
    std::string head(name);
    if (!types.empty())
        head += ";TYPE=" + Join(types, ",");
    if (preferred && version == VCardVersion::V4)
        head += ";PREF=1";
    return head;
}

// A label without a vCard type of its own goes out as "x-" and its name, which reads back by name.
std::vector<std::string> ExtensionType(std::string_view labelName)
{
    std::string type;
    for (char c : labelName) {
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '-')
            type.push_back(char(std::tolower(static_cast<unsigned char>(c))));
    }
    return type.empty() ? std::vector<std::string>{} : std::vector<std::string>{ "x-" + type };
}

void WriteNumber(VCardWriter& writer, const ContactRecord& record, int slot, const VCardLabels& labels)
{
    const std::string_view number = record.Number(slot);
    if (number.empty())
        return;
    const bool preferred = slot == record.DefaultNumberIndex();
    const int meaning = labels.MeaningOf(record.LabelIndex(slot));
    const VCardVersion version = writer.Version();
    const std::string_view scheme = WordOfMeaning(kSchemes, meaning);
    if (meaning == kEmail) {
        std::vector<std::string> types;
        if (version == VCardVersion::V3)
            types.emplace_back("internet");
        writer.Line(Head("EMAIL", types, preferred, version), VCardWriter::Escape(number));
    } else if (!scheme.empty()) {
        std::string prefix = std::string(scheme) + ":";
        const std::string uri = WithoutPrefix(number, prefix).size() < number.size() ? std::string(number)
                                                                                     : prefix.append(number);
        writer.Line(Head("IMPP", {}, preferred, version), VCardWriter::Escape(uri));
    } else {
        const std::string_view type = WordOfMeaning(kTelTypes, meaning);
        std::vector<std::string> types = type.empty()
            ? (meaning == kNoMeaning ? std::vector<std::string>{}
                                     : ExtensionType(labels.Labels().GetLabel(record.LabelIndex(slot))))
            : std::vector<std::string>{ std::string(type) };
        writer.Line(Head("TEL", types, preferred, version), VCardWriter::Escape(number));
    }
}

bool HasAddress(const ContactRecord& r)
{
    return !(r.Street().empty() && r.Street2().empty() && r.City().empty() && r.State().empty()
        && r.Zip().empty() && r.Country().empty());
}

} // namespace

VCardLabels::VCardLabels(const PhoneLabelStore& labels)
    : m_labels(labels)
{
    for (int meaning = 0; meaning < PhoneLabelStore::kLabelCount; ++meaning) {
        m_labelOf[std::size_t(meaning)] = meaning;
        for (const WordMeaning& name : kLabelNames) {
            const std::int32_t named = name.meaning == meaning ? LabelNamed(name.word) : -1;
            if (named >= 0) {
                m_labelOf[std::size_t(meaning)] = named;
                break;
            }
        }
    }
}

std::int32_t VCardLabels::LabelNamed(std::string_view name) const
{
    for (int index = 0; index < PhoneLabelStore::kLabelCount; ++index) {
        if (EqualsNoCase(m_labels.GetLabel(index), name))
            return index;
    }
    return -1;
}

std::int32_t VCardLabels::ForTelTypes(const std::vector<std::string>& types) const
{
    std::vector<std::string_view> words;
    for (const std::string& type : types)
        words.push_back(WithoutPrefix(type, "x-"));
    for (const WordMeaning& entry : kTelTypes) {
        if (std::find(words.begin(), words.end(), entry.word) != words.end())
            return ForMeaning(entry.meaning);
    }
    for (std::string_view word : words) {
        if (const std::int32_t named = LabelNamed(word); named >= 0)
            return named;
    }
    return -1;
}

int VCardLabels::MeaningOf(std::int32_t labelIndex) const
{
    if (labelIndex < 0 || labelIndex >= PhoneLabelStore::kLabelCount)
        return kNoMeaning;
    const int named = MeaningOfWord(kLabelNames, m_labels.GetLabel(labelIndex));
    return named != kNoMeaning ? named : labelIndex;
}

namespace VCardContact {

CardContact FromCard(const VCard& card, const VCardLabels& labels, const GroupStore& groups)
{
    CardContact contact;
    ReadNames(card, contact);
    ReadNoteAndAddresses(card, contact);
    ReadGroup(card, groups, contact.record);
    contact.numbers = ReadNumbers(card, labels, contact);
    const ContactRecord& record = contact.record;
    contact.named = HasName(record) || !record.Title().empty() || !record.Company().empty();
    // The contact list shows a contact by its name: one with only a company (or only numbers) is
    // named after the company (or its first number).
    if (!HasName(record))
        SetField(contact, ContactField::FirstName,
            !record.Company().empty()     ? record.Company()
                : contact.numbers.empty() ? std::string()
                                          : contact.numbers.front().text);
    AddNumbers(contact.record, contact.numbers);
    return contact;
}

std::size_t AddNumbers(ContactRecord& record, std::span<const CardNumber> numbers)
{
    const bool hadDefault = !record.DefaultNumber().empty();
    std::vector<int> slotOf(numbers.size(), -1);
    const auto freeSlot = [&record](auto fits) {
        for (int slot = 0; slot < ContactRecord::kNumberCount; ++slot) {
            if (record.Number(slot).empty() && fits(slot))
                return slot;
        }
        return -1;
    };
    const auto put = [&](std::size_t i, int slot) {
        record.SetNumber(slot, numbers[i].text);
        if (numbers[i].label >= 0)
            record.SetLabelIndex(slot, numbers[i].label);
        slotOf[i] = slot;
    };
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const int own = freeSlot(
            [&](int slot) { return numbers[i].label >= 0 && record.LabelIndex(slot) == numbers[i].label; });
        if (own >= 0)
            put(i, own);
    }
    std::size_t dropped = 0;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const int any = slotOf[i] < 0 ? freeSlot([](int) { return true; }) : -1;
        if (any >= 0)
            put(i, any);
        dropped += slotOf[i] < 0 ? 1 : 0;
    }
    if (hadDefault)
        return dropped;
    // The preferred phone number, else the first phone number, else the first of all.
    for (const auto rank : { +[](const CardNumber& n) { return n.phone && n.preferred; },
             +[](const CardNumber& n) { return n.phone; }, +[](const CardNumber&) { return true; } }) {
        for (std::size_t i = 0; i < numbers.size(); ++i) {
            if (slotOf[i] >= 0 && rank(numbers[i])) {
                record.SetDefaultNumberIndex(slotOf[i]);
                return dropped;
            }
        }
    }
    return dropped;
}

std::string NumberKey(std::string_view number)
{
    number = Trimmed(number);
    const bool address = std::any_of(number.begin(), number.end(),
        [](char c) { return c == '@' || std::isalpha(static_cast<unsigned char>(c)); });
    if (address)
        return Lower(number);
    std::string key;
    for (char c : number) {
        if (std::isdigit(static_cast<unsigned char>(c)) || c == '+' || c == '*' || c == '#')
            key.push_back(c);
    }
    return key.empty() ? std::string(number) : key;
}

std::string PlainName(const ContactRecord& record)
{
    return Join(
        { std::string(record.FirstName()), std::string(record.MiddleName()), std::string(record.LastName()) },
        " ");
}

std::string CardName(const VCard& card)
{
    std::string name = TextOf(card, "FN");
    if (name.empty()) {
        std::vector<std::string> n = PartsOf(card, card.Find("N"), 3);
        name = Join({ n[1], n[2], n[0] }, " ");
    }
    return name.empty() ? Join(PartsOf(card, card.Find("ORG"), 0), ", ") : name;
}

void WriteCard(VCardWriter& writer, const ContactRecord& record, const VCardLabels& labels)
{
    writer.BeginCard();
    writer.Line(
        "N", VCardWriter::Components({ record.LastName(), record.FirstName(), record.MiddleName(), "", "" }));
    const std::string name = PlainName(record);
    writer.Line("FN", VCardWriter::Escape(!name.empty() ? name : record.Company()));
    LineIfSet(writer, "ORG", record.Company());
    LineIfSet(writer, "TITLE", record.Title());
    for (int slot = 0; slot < ContactRecord::kNumberCount; ++slot)
        WriteNumber(writer, record, slot, labels);
    if (HasAddress(record))
        writer.Line("ADR",
            VCardWriter::Components({ "", record.Street2(), record.Street(), record.City(), record.State(),
                record.Zip(), record.Country() }));
    LineIfSet(writer, "NOTE", record.Note());
    if (!record.Group().empty() && record.Group() != GroupStore::kUnfiled)
        writer.Line("CATEGORIES", VCardWriter::Escape(record.Group()));
    writer.EndCard();
}

} // namespace VCardContact
