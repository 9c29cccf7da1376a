#include "store/address_book_diff.h"

#include "store/contact_store.h"
#include "store/vcard.h"
#include "store/vcard_contact.h"

#include <QString>

#include <algorithm>
#include <unordered_map>

namespace AddressBookDiff {

namespace {

std::uint64_t Fnv1a(std::string_view text)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : text) {
        hash ^= std::uint8_t(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

// Unpaired entries by fingerprint, name and number, each list in entry order; an entry is taken
// once.
class EntryIndex {
public:
    explicit EntryIndex(const std::vector<AddressBookEntry>& entries)
        : m_taken(entries.size(), false)
    {
        for (std::size_t i = 0; i < entries.size(); ++i) {
            m_byFingerprint[entries[i].fingerprint].push_back(i);
            if (!entries[i].name.empty())
                m_byName[entries[i].name].push_back(i);
            for (const std::string& number : entries[i].numbers)
                m_byNumber[number].push_back(i);
        }
    }

    bool TakeByFingerprint(std::uint64_t fingerprint, std::size_t& entry)
    {
        return Take(m_byFingerprint, fingerprint, entry);
    }

    bool TakeByIdentity(const ContactRecord& record, std::size_t& entry)
    {
        std::string name;
        std::vector<std::string> numbers;
        Identify(record, name, numbers);
        if (!name.empty() && Take(m_byName, name, entry))
            return true;
        return std::any_of(numbers.begin(), numbers.end(),
            [&](const std::string& number) { return Take(m_byNumber, number, entry); });
    }

    std::vector<std::size_t> Untaken() const
    {
        std::vector<std::size_t> left;
        for (std::size_t i = 0; i < m_taken.size(); ++i) {
            if (!m_taken[i])
                left.push_back(i);
        }
        return left;
    }

private:
    template <typename Key>
    bool Take(std::unordered_map<Key, std::vector<std::size_t>>& index, const Key& key, std::size_t& entry)
    {
        const auto found = index.find(key);
        if (found == index.end())
            return false;
        for (const std::size_t candidate : found->second) {
            if (!m_taken[candidate]) {
                m_taken[candidate] = true;
                entry = candidate;
                return true;
            }
        }
        return false;
    }

    std::vector<bool> m_taken;
    std::unordered_map<std::uint64_t, std::vector<std::size_t>> m_byFingerprint;
    std::unordered_map<std::string, std::vector<std::size_t>> m_byName;
    std::unordered_map<std::string, std::vector<std::size_t>> m_byNumber;
};

} // namespace

std::string CardText(const ContactRecord& record, const VCardLabels& labels)
{
    VCardWriter writer(VCardVersion::V3);
    VCardContact::WriteCard(writer, record, labels);
    return writer.Text();
}

std::uint64_t Fingerprint(const ContactRecord& record, const VCardLabels& labels)
{
    return Fnv1a(CardText(record, labels));
}

void Identify(const ContactRecord& record, std::string& name, std::vector<std::string>& numbers)
{
    std::string plain = VCardContact::PlainName(record);
    if (plain.empty())
        plain = std::string(record.Company());
    name = QString::fromStdString(plain).toLower().toStdString();
    numbers.clear();
    for (int slot = 0; slot < ContactRecord::kNumberCount; ++slot) {
        if (!record.Number(slot).empty())
            numbers.push_back(VCardContact::NumberKey(record.Number(slot)));
    }
}

void Describe(const ContactRecord& record, const VCardLabels& labels, AddressBookEntry& entry)
{
    entry.fingerprint = Fingerprint(record, labels);
    Identify(record, entry.name, entry.numbers);
}

LocalChanges Find(const ContactStore& contacts, const std::vector<AddressBookEntry>& entries)
{
    const VCardLabels labels(contacts.Labels());
    LocalChanges changes;
    EntryIndex index(entries);
    std::vector<std::size_t> unpaired;
    changes.fingerprints.reserve(contacts.Count());
    for (std::size_t i = 0; i < contacts.Count(); ++i) {
        changes.fingerprints.push_back(Fingerprint(*contacts.GetAt(i), labels));
        std::size_t entry = 0;
        if (index.TakeByFingerprint(changes.fingerprints.back(), entry))
            changes.unchanged.push_back({ entry, i });
        else
            unpaired.push_back(i);
    }
    // Only after every unchanged contact has its card: an edited contact must not take the card
    // of an unchanged one that shares its name.
    for (const std::size_t i : unpaired) {
        std::size_t entry = 0;
        if (index.TakeByIdentity(*contacts.GetAt(i), entry))
            changes.edited.push_back({ entry, i });
        else
            changes.added.push_back(i);
    }
    changes.removed = index.Untaken();
    return changes;
}

} // namespace AddressBookDiff
