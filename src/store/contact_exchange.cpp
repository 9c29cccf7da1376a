#include "store/contact_exchange.h"

#include "platform/regular_file.h"
#include "store/contact_store.h"
#include "store/locale_compare.h"
#include "store/text_file_writer.h"
#include "store/vcard_contact.h"

#include <QCoreApplication>

#include <algorithm>
#include <optional>
#include <set>
#include <unordered_map>

namespace fs = std::filesystem;

namespace {

QString FromStd(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// A text of the reports in the user's language (marked in the ContactExchange context).
QString Tr(const char* text)
{
    return QCoreApplication::translate("ContactExchange", text);
}

// "1 card" or "3 cards": `one` and `many` hold %1 for the count.
QString Count(std::size_t count, const char* one, const char* many)
{
    return Tr(count == 1 ? one : many).arg(count);
}

// "Card 3 "John Smith" (line 17)".
std::string CardLabel(const VCard& card, std::size_t position)
{
    const std::string name = VCardContact::CardName(card);
    const QString label = name.empty()
        ? Tr(QT_TRANSLATE_NOOP("ContactExchange", "Card %1 (line %2)")).arg(position).arg(card.line)
        : Tr(QT_TRANSLATE_NOOP("ContactExchange", "Card %1 \"%2\" (line %3)"))
              .arg(QString::number(position), FromStd(name), QString::number(card.line));
    return label.toStdString();
}

std::vector<std::string> NumberKeys(const ContactRecord& record)
{
    std::vector<std::string> keys;
    for (int slot = 0; slot < ContactRecord::kNumberCount; ++slot) {
        if (!record.Number(slot).empty())
            keys.push_back(VCardContact::NumberKey(record.Number(slot)));
    }
    return keys;
}

bool Contains(const std::vector<std::string>& keys, const std::string& key)
{
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

// Takes the cards one by one into the contact store, keeping the counts and problems.
class Importer {
public:
    explicit Importer(ContactStore& contacts)
        : m_contacts(contacts)
        , m_labels(contacts.Labels())
    {
        for (std::size_t i = 0; i < contacts.Count(); ++i)
            Index(m_byName[NameKey(*contacts.GetAt(i))], i);
    }

    void Take(const VCard& card, std::size_t position);
    ContactExchangeResult Finish();

private:
    static std::string NameKey(const ContactRecord& record)
    {
        return FoldedText(VCardContact::PlainName(record)).toStdString();
    }
    // The contacts of one name (their positions), by the keys of their numbers, so a card is
    // compared only with the contacts that share a number with it: a file of thousands of cards
    // of one name imports in linear time.
    struct SameName {
        std::unordered_map<std::string, std::set<std::size_t>> byNumber;
        std::set<std::size_t> withoutNumbers;
    };
    void Index(SameName& sameName, std::size_t index) const;
    // The contact of the same name that holds every number of the card (`duplicate`), else the
    // first of that name sharing a number with it or having none; none when neither exists.
    std::optional<std::size_t> SameContact(
        const SameName& sameName, const std::vector<std::string>& keys, bool& duplicate) const;
    void Merge(ContactRecord& existing, const CardContact& contact, const std::string& label);
    void Add(const CardContact& contact, SameName& sameName, const std::string& label);
    void Problem(const std::string& label, const QString& text)
    {
        m_result.problems.push_back(label + ": " + text.toStdString());
    }

    ContactStore& m_contacts;
    VCardLabels m_labels;
    std::unordered_map<std::string, SameName> m_byName;
    std::set<std::string> m_fullGroups; // groups that did not fit the group store
    std::size_t m_refusedFull = 0;
    ContactExchangeResult m_result;
};

void Importer::Take(const VCard& card, std::size_t position)
{
    ++m_result.cards;
    const std::string label = CardLabel(card, position);
    if (!card.complete) {
        ++m_result.refused;
        Problem(label,
            Tr(QT_TRANSLATE_NOOP("ContactExchange",
                "the card is broken (BEGIN:VCARD or END:VCARD is missing); it was not imported.")));
        return;
    }
    const CardContact contact = VCardContact::FromCard(card, m_labels, m_contacts.Groups());
    if (!contact.named && contact.numbers.empty()) {
        ++m_result.refused;
        Problem(label,
            Tr(QT_TRANSLATE_NOOP(
                "ContactExchange", "the card has no name and no number; it was not imported.")));
        return;
    }
    if (contact.textCut)
        Problem(label,
            Tr(QT_TRANSLATE_NOOP(
                "ContactExchange", "a text longer than its contact field holds was shortened.")));
    if (contact.refusedNumbers > 0)
        Problem(label,
            Count(contact.refusedNumbers,
                QT_TRANSLATE_NOOP("ContactExchange", "%1 number with control characters was left out."),
                QT_TRANSLATE_NOOP("ContactExchange", "%1 numbers with control characters were left out.")));
    if (contact.droppedNumbers > 0)
        Problem(label,
            Tr(QT_TRANSLATE_NOOP("ContactExchange",
                   "only the first 10 of its %1 numbers were imported (a contact holds 10)."))
                .arg(contact.numbers.size() + contact.droppedNumbers));
    SameName& sameName = m_byName[NameKey(contact.record)];
    std::vector<std::string> keys = NumberKeys(contact.record);
    bool duplicate = false;
    const std::optional<std::size_t> existing = SameContact(sameName, keys, duplicate);
    if (duplicate) {
        ++m_result.duplicates;
    } else if (existing) {
        Merge(*m_contacts.GetAt(*existing), contact, label);
        Index(sameName, *existing);
    } else {
        Add(contact, sameName, label);
    }
}

void Importer::Index(SameName& sameName, std::size_t index) const
{
    const std::vector<std::string> keys = NumberKeys(*m_contacts.GetAt(index));
    for (const std::string& key : keys)
        sameName.byNumber[key].insert(index);
    if (keys.empty())
        sameName.withoutNumbers.insert(index);
    else
        sameName.withoutNumbers.erase(index);
}

std::optional<std::size_t> Importer::SameContact(
    const SameName& sameName, const std::vector<std::string>& keys, bool& duplicate) const
{
    if (keys.empty()) { // every contact of the name holds all of no numbers
        duplicate = !sameName.byNumber.empty() || !sameName.withoutNumbers.empty();
        return std::nullopt;
    }
    // A contact that holds every number of the card holds its first.
    if (const auto holders = sameName.byNumber.find(keys.front()); holders != sameName.byNumber.end()) {
        for (std::size_t index : holders->second) {
            const std::vector<std::string> held = NumberKeys(*m_contacts.GetAt(index));
            if (std::all_of(keys.begin(), keys.end(),
                    [&held](const std::string& key) { return Contains(held, key); })) {
                duplicate = true;
                return index;
            }
        }
    }
    std::optional<std::size_t> related;
    const auto consider = [&related](const std::set<std::size_t>& indexes) {
        if (!indexes.empty())
            related = std::min(related.value_or(*indexes.begin()), *indexes.begin());
    };
    consider(sameName.withoutNumbers);
    for (const std::string& key : keys)
        if (const auto holders = sameName.byNumber.find(key); holders != sameName.byNumber.end())
            consider(holders->second);
    return related;
}

void Importer::Merge(ContactRecord& existing, const CardContact& contact, const std::string& label)
{
    const std::vector<std::string> held = NumberKeys(existing);
    std::vector<CardNumber> missing;
    for (int slot = 0; slot < ContactRecord::kNumberCount; ++slot) {
        const std::string_view number = contact.record.Number(slot);
        if (!number.empty() && !Contains(held, VCardContact::NumberKey(number)))
            missing.push_back({ std::string(number), contact.record.LabelIndex(slot), false, true });
    }
    const std::size_t dropped = VCardContact::AddNumbers(existing, missing);
    existing.ComposeDisplayName(&m_contacts.Labels());
    ++m_result.merged;
    if (dropped > 0)
        Problem(label,
            Tr(dropped == 1
                    ? QT_TRANSLATE_NOOP("ContactExchange",
                        "%1 new number did not fit into the contact \"%2\", which holds 10 at most.")
                    : QT_TRANSLATE_NOOP("ContactExchange",
                        "%1 new numbers did not fit into the contact \"%2\", which holds 10 at most."))
                .arg(QString::number(dropped), FromStd(VCardContact::PlainName(existing))));
}

void Importer::Add(const CardContact& contact, SameName& sameName, const std::string& label)
{
    if (!m_contacts.Append(contact.record)) {
        ++m_result.refused;
        ++m_refusedFull;
        return;
    }
    ++m_result.added;
    const std::size_t index = m_contacts.Count() - 1;
    Index(sameName, index);
    const std::string_view wanted = contact.record.Group();
    if (m_contacts.GetAt(index)->Group() != wanted && !GroupStore::NamesEqual(wanted, GroupStore::kUnfiled)
        && m_fullGroups.insert(std::string(wanted)).second)
        Problem(label,
            Tr(QT_TRANSLATE_NOOP("ContactExchange",
                   "the group \"%1\" could not be created (there can be %2 groups at most); its contacts "
                   "went to \"Unfiled\"."))
                .arg(FromStd(wanted), QString::number(GroupStore::kMaxGroups)));
}

ContactExchangeResult Importer::Finish()
{
    if (m_refusedFull > 0)
        m_result.problems.push_back(
            Tr(m_refusedFull == 1 ? QT_TRANSLATE_NOOP(
                   "ContactExchange", "The contact list is full (%1 contacts): %2 card was not imported.")
                                  : QT_TRANSLATE_NOOP("ContactExchange",
                                      "The contact list is full (%1 contacts): %2 cards were not imported."))
                .arg(ContactStore::kMaxRecords)
                .arg(m_refusedFull)
                .toStdString());
    m_result.summary
        = Tr(QT_TRANSLATE_NOOP("ContactExchange",
                 "%1 read: %2 added, %3 merged into existing contacts, %4 already present, %5 not imported."))
              .arg(Count(m_result.cards, QT_TRANSLATE_NOOP("ContactExchange", "%1 card"),
                       QT_TRANSLATE_NOOP("ContactExchange", "%1 cards")),
                  Count(m_result.added, QT_TRANSLATE_NOOP("ContactExchange", "%1 contact"),
                      QT_TRANSLATE_NOOP("ContactExchange", "%1 contacts")),
                  QString::number(m_result.merged), QString::number(m_result.duplicates),
                  QString::number(m_result.refused))
              .toStdString();
    return m_result;
}

ContactExchangeResult Failure(std::string problem)
{
    ContactExchangeResult result;
    result.fileOk = false;
    result.problems.push_back(std::move(problem));
    return result;
}

} // namespace

namespace ContactExchange {

ContactExchangeResult Import(std::string_view bytes, ContactStore& contacts)
{
    const std::vector<VCard> cards = ReadVCards(bytes);
    Importer importer(contacts);
    for (std::size_t i = 0; i < cards.size(); ++i)
        importer.Take(cards[i], i + 1);
    ContactExchangeResult result = importer.Finish();
    if (cards.empty()) {
        result.fileOk = false;
        result.problems.push_back(Tr(QT_TRANSLATE_NOOP("ContactExchange",
                                         "The file holds no contact cards (BEGIN:VCARD ... END:VCARD)."))
                                      .toStdString());
    }
    return result;
}

ContactExchangeResult ImportFile(const fs::path& file, ContactStore& contacts)
{
    std::string bytes;
    std::string error;
    switch (platform::ReadRegularFile(file.string(), kMaxFileSize, bytes, error)) {
    case platform::FileRead::Missing:
        return Failure(Tr(QT_TRANSLATE_NOOP("ContactExchange", "The file \"%1\" does not exist."))
                           .arg(FromStd(file.string()))
                           .toStdString());
    case platform::FileRead::Refused:
        return Failure(Tr(QT_TRANSLATE_NOOP("ContactExchange", "The file \"%1\" could not be read: %2."))
                           .arg(FromStd(file.string()), FromStd(error))
                           .toStdString());
    case platform::FileRead::Read:
        break;
    }
    ContactExchangeResult result = Import(bytes, contacts);
    result.summary = Tr(QT_TRANSLATE_NOOP("ContactExchange", "Import from \"%1\": %2"))
                         .arg(FromStd(file.string()), FromStd(result.summary))
                         .toStdString();
    return result;
}

std::string ExportText(const ContactStore& contacts, VCardVersion version)
{
    VCardWriter writer(version);
    const VCardLabels labels(contacts.Labels());
    for (std::size_t i = 0; i < contacts.Count(); ++i)
        VCardContact::WriteCard(writer, *contacts.GetAt(i), labels);
    return writer.Text();
}

ContactExchangeResult ExportFile(const fs::path& file, const ContactStore& contacts, VCardVersion version)
{
    TextFileWriter writer(file);
    if (writer.IsOpen())
        writer.Write(ExportText(contacts, version));
    if (!writer.IsOpen() || !writer.Commit())
        return Failure((writer.Error().empty()
                ? Tr(QT_TRANSLATE_NOOP("ContactExchange", "The file \"%1\" could not be written."))
                      .arg(FromStd(file.string()))
                : Tr(QT_TRANSLATE_NOOP("ContactExchange", "The file \"%1\" could not be written: %2."))
                      .arg(FromStd(file.string()), FromStd(writer.Error())))
                           .toStdString());
    ContactExchangeResult result;
    result.exported = contacts.Count();
    result.summary = Tr(QT_TRANSLATE_NOOP("ContactExchange", "%1 exported to \"%2\"."))
                         .arg(Count(result.exported, QT_TRANSLATE_NOOP("ContactExchange", "%1 contact"),
                                  QT_TRANSLATE_NOOP("ContactExchange", "%1 contacts")),
                             FromStd(file.string()))
                         .toStdString();
    return result;
}

} // namespace ContactExchange
