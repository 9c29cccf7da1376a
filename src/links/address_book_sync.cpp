#include "links/address_book_sync.h"

#include "links/carddav_client.h"
#include "store/address_book_diff.h"
#include "store/contact_store.h"
#include "store/data_folder.h"
#include "store/vcard.h"
#include "store/vcard_contact.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <QUuid>

#include <algorithm>
#include <functional>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace {

QString Q(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// The properties a contact holds; every other line of a server's card is kept beside it.
constexpr std::string_view kHeldProperties[] = { "BEGIN", "END", "VERSION", "UID", "N", "FN", "ORG", "TITLE",
    "TEL", "EMAIL", "IMPP", "ADR", "NOTE", "CATEGORIES", "PRODID", "REV", "X-SKYPE", "X-SKYPE-USERNAME",
    "X-SIP", "X-GTALK", "X-GOOGLE-TALK", "X-JABBER", "X-MSN" };

// A content line's property name: upper case, without its group ("item1.X-ABLabel").
std::string PropertyName(std::string_view line)
{
    std::string_view name = line.substr(0, line.find_first_of(";:"));
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos)
        name.remove_prefix(dot + 1);
    std::string upper(name);
    std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) { return char(std::toupper(c)); });
    return upper;
}

// The unfolded content lines of a card text.
std::vector<std::string> UnfoldedLines(std::string_view text)
{
    std::vector<std::string> lines;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty() && (line.front() == ' ' || line.front() == '\t') && !lines.empty())
            lines.back().append(line.substr(1));
        else if (!line.empty())
            lines.emplace_back(line);
    }
    return lines;
}

// The lines of a server's card that its contact does not hold, one per line.
std::string ExtraLines(std::string_view text)
{
    std::string extra;
    for (const std::string& line : UnfoldedLines(text)) {
        const std::string name = PropertyName(line);
        if (std::find(std::begin(kHeldProperties), std::end(kHeldProperties), name)
            == std::end(kHeldProperties))
            extra.append(line).append("\n");
    }
    return extra;
}

// Where a content line's value begins: the first ':' outside a quoted parameter value.
std::size_t ValueColon(std::string_view line)
{
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ':' && !quoted)
            return i;
    }
    return std::string_view::npos;
}

// The card sent to the server: the contact's card with its UID and the kept lines, CR LF line ends.
QByteArray UploadText(
    const ContactRecord& record, const VCardLabels& labels, const std::string& uid, const std::string& extra)
{
    VCardWriter added(VCardVersion::V3);
    added.Line("UID", VCardWriter::Escape(uid));
    for (const std::string& line : UnfoldedLines(extra)) {
        const std::size_t colon = ValueColon(line);
        if (colon != std::string_view::npos)
            added.Line(std::string_view(line).substr(0, colon), std::string_view(line).substr(colon + 1));
    }
    std::string card = AddressBookDiff::CardText(record, labels);
    const std::size_t end = card.rfind("END:VCARD");
    card.insert(end, added.Text());
    QByteArray bytes;
    bytes.reserve(qsizetype(card.size() * 21 / 20));
    for (const char c : card) {
        if (c == '\n')
            bytes += '\r';
        bytes += c;
    }
    return bytes;
}

// A card's UID, or the name of its file on the server when it has none.
std::string CardUid(const VCard& card, const std::string& href)
{
    const VCardProperty* uid = card.Find("UID");
    if (uid != nullptr && !uid->value.empty())
        return UnescapeValue(card, uid->value);
    const std::size_t slash = href.rfind('/');
    std::string name = href.substr(slash == std::string::npos ? 0 : slash + 1);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string DisplayedName(const ContactRecord& record)
{
    const std::string name = VCardContact::PlainName(record);
    return name.empty() ? std::string(record.Company()) : name;
}

} // namespace

// A change the sync makes to the contacts, applied on the contacts' thread. `href` and
// `previous` name the map entry it goes with, to put back when the change cannot be made.
struct LocalOp {
    enum class Kind { Replace, Add, Remove };
    Kind kind = Kind::Add;
    std::size_t record = 0; // position in the snapshot (Replace, Remove)
    ContactRecord contact; // Replace, Add
    std::string href;
    std::optional<AddressBookEntry> previous;
};

struct AddressBookSync::Job {
    AddressBookAccount account;
    AddressBookMap before;
    AddressBookMap after;
    std::vector<ContactRecord> records; // the contacts when the sync began
    AddressBookDiff::LocalChanges changes;
    GroupStore groups; // copies for making contacts of cards off the contacts' thread
    PhoneLabelStore labels;
    std::vector<LocalOp> ops;
    AddressBookReport report;
    std::function<void(qint64, qint64)> progress;
};

namespace {

// The network part of one sync, on any thread: works on the job's copies only.
class SyncRun {
    Q_DECLARE_TR_FUNCTIONS(AddressBookSync)

public:
    explicit SyncRun(AddressBookSync::Job& job)
        : m_job(job)
        , m_report(job.report)
        , m_client(Q(job.account.user), Q(job.account.password))
        , m_labels(job.labels)
    {
    }

    void Run()
    {
        const bool found = FindBook();
        CardDavClient::Changes changes;
        std::vector<CardDavClient::Card> cards;
        if (!found || !ReadChanges(changes) || !FetchChanged(changes, cards)) {
            // Nothing taken in: the map stays as it was, with the address book once it was found.
            m_job.after = m_job.before;
            m_report.pending = m_job.changes.Pending();
            return;
        }
        // The entries are made afresh by the merge: the map's other parts are all that is copied.
        m_job.after.account = m_job.before.account;
        m_job.after.bookUrl = m_job.before.bookUrl;
        m_job.after.entries.reserve(m_job.before.entries.size() + cards.size());
        m_report.reached = true;
        Merge(changes, cards);
        m_job.after.syncToken = changes.syncToken;
        m_report.ok = m_report.error.empty();
    }

private:
    enum class Local { Unchanged, Edited, Removed };
    struct EntryState {
        Local local = Local::Removed;
        std::size_t record = 0;
    };

    bool FindBook()
    {
        if (!m_job.before.bookUrl.empty()) {
            m_book = QUrl(Q(m_job.before.bookUrl));
            return true;
        }
        QString error;
        if (!m_client.Discover(QUrl(Q(m_job.account.url)), m_book, error)) {
            Fail(tr("No address book found at %1: %2").arg(Q(m_job.account.url), error));
            return false;
        }
        m_job.before.bookUrl = m_book.toString(QUrl::FullyEncoded).toStdString();
        return true;
    }

    bool ReadChanges(CardDavClient::Changes& changes)
    {
        bool unsupported = false;
        QString error;
        if (m_client.SyncCollection(m_book, m_job.before.syncToken, changes, unsupported, error))
            return true;
        if (unsupported && m_client.ListCards(m_book, changes, error))
            return true;
        Fail(tr("The address book could not be read: %1").arg(error));
        return false;
    }

    // The cards whose ETag differs from the map's: as the listing gave them, the others fetched.
    bool FetchChanged(CardDavClient::Changes& changes, std::vector<CardDavClient::Card>& cards)
    {
        std::unordered_map<std::string_view, const AddressBookEntry*> known;
        known.reserve(m_job.before.entries.size());
        for (const AddressBookEntry& entry : m_job.before.entries)
            known.emplace(entry.href, &entry);
        std::vector<std::string> wanted;
        for (DavResponse& member : changes.changed) {
            const auto entry = known.find(member.href);
            if (entry != known.end() && entry->second->etag == member.etag && !member.etag.empty())
                continue;
            if (member.addressData.empty())
                wanted.push_back(member.href);
            else
                cards.push_back({ member.href, member.etag, std::move(member.addressData) });
        }
        m_done = qint64(cards.size());
        m_total = qint64(cards.size() + wanted.size() + m_job.changes.Pending());
        ReportProgress();
        QString error;
        const qint64 listed = m_done;
        const bool read
            = m_client.Multiget(m_book, wanted, cards, error, [this, listed](std::size_t fetched) {
                  m_done = listed + qint64(fetched);
                  ReportProgress();
              });
        if (!read)
            Fail(tr("The address book could not be read: %1").arg(error));
        return read;
    }

    void Merge(const CardDavClient::Changes& changes, const std::vector<CardDavClient::Card>& cards)
    {
        const std::vector<EntryState> states = LocalStates();
        std::unordered_map<std::string, const CardDavClient::Card*> cardOf;
        for (const CardDavClient::Card& card : cards)
            cardOf.emplace(card.href, &card);
        const std::unordered_set<std::string> gone = GoneOnServer(changes);
        std::unordered_set<std::string_view> mapped;
        mapped.reserve(m_job.before.entries.size());
        for (std::size_t i = 0; i < m_job.before.entries.size(); ++i) {
            const AddressBookEntry& entry = m_job.before.entries[i];
            mapped.insert(entry.href);
            const auto card = cardOf.find(entry.href);
            MergeEntry(
                entry, states[i], gone.count(entry.href) != 0, card == cardOf.end() ? nullptr : card->second);
        }
        std::vector<std::size_t> added = m_job.changes.added;
        for (const CardDavClient::Card& card : cards) {
            if (mapped.count(card.href) == 0)
                TakeNewCard(card, added);
        }
        for (const std::size_t record : added)
            UploadNew(record);
    }

    std::vector<EntryState> LocalStates() const
    {
        std::vector<EntryState> states(m_job.before.entries.size());
        for (const AddressBookDiff::Pair& pair : m_job.changes.unchanged)
            states[pair.entry] = { Local::Unchanged, pair.record };
        for (const AddressBookDiff::Pair& pair : m_job.changes.edited)
            states[pair.entry] = { Local::Edited, pair.record };
        return states;
    }

    // Cards removed on the server: reported as removed, or missing from a complete listing.
    std::unordered_set<std::string> GoneOnServer(const CardDavClient::Changes& changes) const
    {
        std::unordered_set<std::string> gone(changes.removed.begin(), changes.removed.end());
        if (!changes.complete)
            return gone;
        std::unordered_set<std::string> listed;
        for (const DavResponse& member : changes.changed)
            listed.insert(member.href);
        for (const AddressBookEntry& entry : m_job.before.entries) {
            if (listed.count(entry.href) == 0)
                gone.insert(entry.href);
        }
        return gone;
    }

    void MergeEntry(
        const AddressBookEntry& entry, const EntryState& state, bool gone, const CardDavClient::Card* card)
    {
        switch (state.local) {
        case Local::Unchanged:
            if (gone) {
                m_job.ops.push_back({ LocalOp::Kind::Remove, state.record, {}, entry.href, entry });
                ++m_report.removedHere;
            } else if (card != nullptr) {
                ReplaceFromServer(*card, state.record, entry);
            } else {
                Keep(entry);
            }
            break;
        case Local::Edited:
            if (gone) {
                Conflict(tr("\"%1\" was removed on the server and changed here: it is kept and sent again."),
                    m_job.records[state.record]);
                UploadNew(state.record);
            } else if (card != nullptr) {
                KeepBoth(*card, state.record, entry);
            } else {
                UploadEdit(entry, state.record);
            }
            break;
        case Local::Removed:
            if (gone)
                break;
            if (card != nullptr)
                RestoreFromServer(*card, entry);
            else
                DeleteOnServer(entry);
            break;
        }
    }

    // A card changed on the server and here: the server's version under its card, the local one
    // as a new card; the same change made on both sides is no conflict.
    void KeepBoth(const CardDavClient::Card& card, std::size_t record, const AddressBookEntry& entry)
    {
        ContactRecord server;
        AddressBookEntry described;
        if (!FromServer(card, server, described)) {
            Keep(entry);
            return;
        }
        if (described.fingerprint == m_job.changes.fingerprints[record]) {
            Keep(described);
            return;
        }
        Conflict(
            tr("\"%1\" was changed on the server and here: both versions are kept."), m_job.records[record]);
        UploadNew(record);
        AddContact(server, described, entry);
    }

    // A contact removed here whose card a colleague changed meanwhile comes back.
    void RestoreFromServer(const CardDavClient::Card& card, const AddressBookEntry& entry)
    {
        ContactRecord contact;
        AddressBookEntry described;
        if (!FromServer(card, contact, described))
            return;
        Conflict(tr("\"%1\" was removed here but changed on the server: it is kept."), contact);
        AddContact(contact, described, entry);
    }

    void TakeNewCard(const CardDavClient::Card& card, std::vector<std::size_t>& added)
    {
        ContactRecord contact;
        AddressBookEntry entry;
        if (!FromServer(card, contact, entry))
            return;
        // The same contact added on both sides (a first sync of contacts the server also has): one
        // card for both.
        const auto same = std::find_if(added.begin(), added.end(),
            [&](std::size_t record) { return m_job.changes.fingerprints[record] == entry.fingerprint; });
        if (same != added.end()) {
            added.erase(same);
            Keep(entry);
            return;
        }
        AddContact(contact, entry, std::nullopt);
    }

    void ReplaceFromServer(
        const CardDavClient::Card& card, std::size_t record, const AddressBookEntry& previous)
    {
        ContactRecord contact;
        AddressBookEntry entry;
        if (!FromServer(card, contact, entry)) {
            Keep(previous);
            return;
        }
        m_job.ops.push_back({ LocalOp::Kind::Replace, record, contact, entry.href, previous });
        Keep(entry);
        ++m_report.received;
    }

    void AddFromServer(const CardDavClient::Card& card, const AddressBookEntry& previous)
    {
        ContactRecord contact;
        AddressBookEntry entry;
        if (FromServer(card, contact, entry))
            AddContact(contact, entry, previous);
    }

    void AddContact(
        const ContactRecord& contact, const AddressBookEntry& entry, std::optional<AddressBookEntry> previous)
    {
        m_job.ops.push_back({ LocalOp::Kind::Add, 0, contact, entry.href, std::move(previous) });
        Keep(entry);
        ++m_report.received;
    }

    // The contact a server's card gives, and its map entry.
    bool FromServer(const CardDavClient::Card& card, ContactRecord& contact, AddressBookEntry& entry)
    {
        const std::vector<VCard> read = ReadVCards(card.text);
        if (read.empty() || !read.front().complete) {
            Fail(tr("The card %1 on the server could not be read.").arg(Q(card.href)));
            return false;
        }
        contact = VCardContact::FromCard(read.front(), m_labels, m_job.groups).record;
        contact.SetGroup(contact.Group(), m_job.groups);
        contact.ComposeDisplayName(&m_job.labels);
        entry.href = card.href;
        entry.etag = card.etag;
        entry.uid = CardUid(read.front(), card.href);
        entry.extra = ExtraLines(card.text);
        AddressBookDiff::Describe(contact, m_labels, entry);
        return true;
    }

    void UploadEdit(const AddressBookEntry& entry, std::size_t record)
    {
        if (m_offline) {
            KeepUnsent(entry);
            return;
        }
        const ContactRecord& contact = m_job.records[record];
        const CardDavClient::Reply reply = m_client.Put(
            Url(entry.href), UploadText(contact, m_labels, entry.uid, entry.extra), entry.etag);
        Step();
        if (reply.Ok()) {
            AddressBookEntry sent = entry;
            sent.etag = reply.etag.toStdString();
            AddressBookDiff::Describe(contact, m_labels, sent);
            Keep(sent);
            ++m_report.sent;
        } else if (reply.status == 412) {
            KeepBothAfterRefusal(entry, record);
        } else if (reply.status == 404) {
            UploadNew(record);
        } else {
            KeepUnsent(entry);
            Fail(reply, contact);
        }
    }

    // The server refused the write because the card changed since it was read.
    void KeepBothAfterRefusal(const AddressBookEntry& entry, std::size_t record)
    {
        CardDavClient::Card card;
        if (!Refetch(entry, card)) {
            KeepUnsent(entry);
            return;
        }
        KeepBoth(card, record, entry);
    }

    void DeleteOnServer(const AddressBookEntry& entry)
    {
        if (m_offline) {
            KeepUnsent(entry);
            return;
        }
        const CardDavClient::Reply reply = m_client.Delete(Url(entry.href), entry.etag);
        Step();
        if (reply.Ok() || reply.status == 404) {
            ++m_report.removedThere;
            return;
        }
        CardDavClient::Card card;
        if (reply.status == 412 && Refetch(entry, card)) {
            RestoreFromServer(card, entry);
            return;
        }
        KeepUnsent(entry);
        if (reply.status != 412)
            Fail(tr("A card could not be removed from the server: %1").arg(CardDavClient::Describe(reply)));
    }

    void UploadNew(std::size_t record)
    {
        if (m_offline) {
            ++m_report.pending;
            return;
        }
        const ContactRecord& contact = m_job.records[record];
        AddressBookEntry entry;
        entry.uid = QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
        entry.href = m_book.path(QUrl::FullyEncoded).toStdString();
        if (entry.href.empty() || entry.href.back() != '/')
            entry.href += '/';
        entry.href += entry.uid + ".vcf";
        const CardDavClient::Reply reply
            = m_client.Put(Url(entry.href), UploadText(contact, m_labels, entry.uid, {}), {});
        Step();
        if (!reply.Ok()) {
            ++m_report.pending;
            Fail(reply, contact);
            return;
        }
        entry.etag = reply.etag.toStdString();
        AddressBookDiff::Describe(contact, m_labels, entry);
        Keep(entry);
        ++m_report.sent;
    }

    bool Refetch(const AddressBookEntry& entry, CardDavClient::Card& card)
    {
        const CardDavClient::Reply reply = m_client.Get(Url(entry.href));
        if (!reply.Ok()) {
            Fail(tr("A card could not be read from the server: %1").arg(CardDavClient::Describe(reply)));
            return false;
        }
        card = { entry.href, reply.etag.toStdString(), reply.body.toStdString() };
        return true;
    }

    QUrl Url(const std::string& href) const { return m_book.resolved(QUrl(Q(href))); }

    void Keep(const AddressBookEntry& entry) { m_job.after.entries.push_back(entry); }
    // A local change that could not be sent: its card stays as it was, for the next sync.
    void KeepUnsent(const AddressBookEntry& entry)
    {
        Keep(entry);
        ++m_report.pending;
    }

    void Conflict(const QString& text, const ContactRecord& contact)
    {
        m_report.conflicts.push_back(text.arg(Q(DisplayedName(contact))).toStdString());
    }

    void Fail(const CardDavClient::Reply& reply, const ContactRecord& contact)
    {
        m_offline = m_offline || !reply.Answered();
        Fail(tr("\"%1\" could not be sent: %2")
                 .arg(Q(DisplayedName(contact)), CardDavClient::Describe(reply)));
    }

    void Fail(const QString& error)
    {
        if (m_report.error.empty())
            m_report.error = error.toStdString();
    }

    void Step()
    {
        ++m_done;
        ReportProgress();
    }

    void ReportProgress()
    {
        if (m_job.progress)
            m_job.progress(m_done, m_total);
    }

    AddressBookSync::Job& m_job;
    AddressBookReport& m_report;
    CardDavClient m_client;
    VCardLabels m_labels;
    QUrl m_book;
    bool m_offline = false;
    qint64 m_done = 0;
    qint64 m_total = 0;
};

} // namespace

std::string AddressBookReport::Summary() const
{
    const QString waiting = pending == 1 ? AddressBookSync::tr("1 change waiting")
                                         : AddressBookSync::tr("%1 changes waiting").arg(pending);
    if (!reached && pending == 0)
        return AddressBookSync::tr("Address book offline").toStdString();
    if (!reached)
        return AddressBookSync::tr("Address book offline: %1").arg(waiting).toStdString();
    QString text = AddressBookSync::tr("Address book synchronised: %1 received, %2 sent")
                       .arg(received + removedHere)
                       .arg(sent + removedThere);
    if (pending != 0)
        text += ", " + waiting;
    if (!conflicts.empty())
        text += ", "
            + (conflicts.size() == 1
                    ? AddressBookSync::tr("1 conflict kept both ways")
                    : AddressBookSync::tr("%1 conflicts kept both ways").arg(conflicts.size()));
    return text.toStdString();
}

AddressBookSync::AddressBookSync(ContactStore& contacts, std::filesystem::path dataFolder, QObject* parent)
    : QObject(parent)
    , m_contacts(contacts)
    , m_dataFolder(std::move(dataFolder))
{
    m_map.Load(MapFile());
}

// A sync still running is waited for and taken in: what it sent must reach the map.
AddressBookSync::~AddressBookSync()
{
    if (m_thread == nullptr)
        return;
    m_thread->wait();
    delete m_thread;
    Apply(*m_job);
}

std::filesystem::path AddressBookSync::MapFile() const
{
    return m_dataFolder / AddressBookMap::kFileName;
}

std::size_t AddressBookSync::PendingChanges() const
{
    return AddressBookDiff::Find(m_contacts, m_map.entries).Pending();
}

void AddressBookSync::Forget()
{
    m_map.Clear();
    std::error_code ignored;
    std::filesystem::remove(MapFile(), ignored);
}

std::unique_ptr<AddressBookSync::Job> AddressBookSync::Prepare(const AddressBookAccount& account)
{
    if (m_map.account != account.Key()) {
        m_map.Clear();
        m_map.account = account.Key();
    }
    auto job = std::make_unique<Job>();
    job->account = account;
    job->before = m_map;
    job->changes = AddressBookDiff::Find(m_contacts, m_map.entries);
    job->records.reserve(m_contacts.Count());
    for (std::size_t i = 0; i < m_contacts.Count(); ++i)
        job->records.push_back(*m_contacts.GetAt(i));
    job->groups = m_contacts.Groups();
    job->labels = m_contacts.Labels();
    return job;
}

AddressBookReport AddressBookSync::SyncNow(const AddressBookAccount& account)
{
    Wait();
    std::unique_ptr<Job> job = Prepare(account);
    job->progress = [this](qint64 done, qint64 total) { emit Progress(done, total); };
    SyncRun(*job).Run();
    Apply(*job);
    emit Finished();
    return m_lastReport;
}

bool AddressBookSync::Start(const AddressBookAccount& account)
{
    if (m_thread != nullptr)
        return false;
    m_job = Prepare(account);
    m_job->progress = [this](qint64 done, qint64 total) { emit Progress(done, total); };
    m_thread = QThread::create([job = m_job.get()] { SyncRun(*job).Run(); });
    connect(m_thread, &QThread::finished, this, &AddressBookSync::FinishWhenAllowed);
    m_thread->start();
    return true;
}

void AddressBookSync::FinishWhenAllowed()
{
    constexpr int kGateRetryMs = 500;
    if (m_thread == nullptr)
        return;
    if (m_applyGate && !m_applyGate()) {
        QTimer::singleShot(kGateRetryMs, this, &AddressBookSync::FinishWhenAllowed);
        return;
    }
    Wait();
}

void AddressBookSync::Wait()
{
    if (m_thread == nullptr)
        return;
    m_thread->wait();
    m_thread->deleteLater();
    m_thread = nullptr;
    std::unique_ptr<Job> job = std::move(m_job);
    Apply(*job);
    emit Finished();
}

namespace {

// Puts the entries of changes that could not be made back as they were, so that the next sync
// meets those cards again.
void Revert(const std::vector<const LocalOp*>& undone, AddressBookMap& map)
{
    for (const LocalOp* op : undone) {
        const auto held = std::find_if(map.entries.begin(), map.entries.end(),
            [&](const AddressBookEntry& entry) { return entry.href == op->href; });
        if (held != map.entries.end() && op->previous)
            *held = *op->previous;
        else if (held != map.entries.end())
            map.entries.erase(held);
        else if (op->previous)
            map.entries.push_back(*op->previous);
    }
}

bool SameRecord(const ContactRecord& a, const ContactRecord& b)
{
    for (std::size_t field = 0; field < kContactFieldCount; ++field) {
        if (a.Text(ContactField(field)) != b.Text(ContactField(field)))
            return false;
    }
    for (int slot = 0; slot < ContactRecord::kNumberCount; ++slot) {
        if (a.Number(slot) != b.Number(slot) || a.LabelIndex(slot) != b.LabelIndex(slot))
            return false;
    }
    return a.DefaultNumberIndex() == b.DefaultNumberIndex();
}

// The contacts are still those the sync began with, in the same places.
bool SameContacts(const ContactStore& contacts, const std::vector<ContactRecord>& records)
{
    if (contacts.Count() != records.size())
        return false;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!SameRecord(*contacts.GetAt(i), records[i]))
            return false;
    }
    return true;
}

} // namespace

void AddressBookSync::Apply(Job& job)
{
    AddressBookReport& report = job.report;
    std::vector<const LocalOp*> undone;
    // The contacts changed while the network was busy: the server's changes wait for the next
    // sync, which reads them again from the earlier token.
    if (!job.ops.empty() && !SameContacts(m_contacts, job.records)) {
        for (const LocalOp& op : job.ops)
            undone.push_back(&op);
        job.after.syncToken = job.before.syncToken;
        job.ops.clear();
    }
    const std::size_t groupsBefore = m_contacts.Groups().Count();
    std::vector<std::size_t> removals;
    for (const LocalOp& op : job.ops) {
        if (op.kind == LocalOp::Kind::Replace)
            m_contacts.Replace(op.record, op.contact);
        else if (op.kind == LocalOp::Kind::Remove)
            removals.push_back(op.record);
        else if (!m_contacts.Append(op.contact))
            undone.push_back(&op);
    }
    std::sort(removals.rbegin(), removals.rend());
    for (const std::size_t record : removals)
        m_contacts.RemoveAt(record);
    Revert(undone, job.after);
    if (!undone.empty())
        job.after.syncToken = job.before.syncToken;
    bool saved = true;
    if (!job.ops.empty()) {
        saved = SaveContacts(m_contacts, m_dataFolder)
            && (m_contacts.Groups().Count() == groupsBefore
                || m_contacts.Groups().Save(m_dataFolder / GroupStore::kFileName));
    }
    m_map = std::move(job.after);
    // A map saved without its contacts would take the old contacts for local edits.
    if (saved && !m_map.Save(MapFile()))
        saved = false;
    if (!saved && report.error.empty())
        report.error
            = tr("The contacts could not be saved in %1.").arg(Q(m_dataFolder.string())).toStdString();
    report.ok = report.ok && saved;
    m_lastReport = report;
}
