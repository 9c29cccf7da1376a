#pragma once

#include "store/address_book_map.h"

#include <QObject>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class ContactStore;
class QThread;

// Where the shared address book is: the server URL (the address book itself, the user's
// principal or just the server) and the credentials.
struct AddressBookAccount {
    std::string url;
    std::string user;
    std::string password;

    bool IsSet() const { return !url.empty(); }
    // What the map remembers as its account: another server or user starts afresh.
    std::string Key() const { return user + '@' + url; }
};

// What a sync did.
struct AddressBookReport {
    bool ok = false; // everything was read and every local change sent
    bool reached = false; // the server answered
    std::string error; // why not ok, for the user
    std::size_t received = 0; // cards taken from the server, new or changed
    std::size_t removedHere = 0; // contacts removed because their cards were removed on the server
    std::size_t sent = 0; // cards written to the server
    std::size_t removedThere = 0; // cards removed on the server because their contacts were removed here
    std::size_t pending = 0; // local changes still waiting to be sent
    std::vector<std::string> conflicts; // one sentence each, naming the contact

    // One line for the status bar.
    std::string Summary() const;
};

// Two-way synchronisation of the contact list with a CardDAV address book (RFC 6352). Which card
// is which contact lives in "KestriumAddressBook.json" (AddressBookMap); the contacts file keeps
// its format. A sync reads what changed on the server (sync-collection, RFC 6578, or the ETags
// where the server lacks it), sends what changed here (If-Match, or If-None-Match for a new card,
// so that a colleague's newer card is never overwritten), and takes the server's changes into the
// contacts. A card changed on both sides is kept twice: the server's version under its card, the
// local one as a new card. Local changes are worked out from the contacts against the map, both
// stored in the data folder: what could not be sent (offline) is sent by a later sync, also after
// a restart.
class AddressBookSync : public QObject {
    Q_OBJECT

public:
    AddressBookSync(ContactStore& contacts, std::filesystem::path dataFolder, QObject* parent = nullptr);
    ~AddressBookSync() override;

    // Syncs on the calling thread and returns when done (its event loop runs meanwhile).
    AddressBookReport SyncNow(const AddressBookAccount& account);
    // Syncs with the network on a worker thread; the contacts change on this thread when it is
    // done (Finished). False when a sync is running already.
    bool Start(const AddressBookAccount& account);
    bool IsRunning() const { return m_thread != nullptr; }
    // Waits for a running sync and takes its result in.
    void Wait();
    // Asked before a finished background sync changes the contacts; while it answers false (a
    // dialog holds a contact's position) the change waits and is offered again shortly.
    void SetApplyGate(std::function<bool()> gate) { m_applyGate = std::move(gate); }

    const AddressBookReport& LastReport() const { return m_lastReport; }
    const AddressBookMap& Map() const { return m_map; }
    // Local changes not yet on the server.
    std::size_t PendingChanges() const;
    // Forgets the map (another account, or the account removed): the next sync pairs contacts and
    // cards by content afresh.
    void Forget();

    std::filesystem::path MapFile() const;

    struct Job;

signals:
    // Cards read and changes sent so far, of `total`.
    void Progress(qint64 done, qint64 total);
    // LastReport() holds the result; the contacts may have changed.
    void Finished();

private:
    void FinishWhenAllowed();
    std::unique_ptr<Job> Prepare(const AddressBookAccount& account);
    void Apply(Job& job);

    ContactStore& m_contacts;
    std::filesystem::path m_dataFolder;
    AddressBookMap m_map;
    AddressBookReport m_lastReport;
    std::unique_ptr<Job> m_job;
    QThread* m_thread = nullptr;
    std::function<bool()> m_applyGate;
};
