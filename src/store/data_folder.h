#pragma once

#include "store/contact_exchange.h"
#include "store/contact_store.h"

#include <QLockFile>

#include <filesystem>
#include <string>
#include <vector>

// Keeps a second Kestrium out of a data folder through the lock file ".Kestrium.lock" in it. A
// lock left by a Kestrium that died is stale (its process is gone) and is taken over. A folder
// where no lock can be written at all is not refused: no data file can be saved there either.
class DataFolderLock {
public:
    static constexpr const char* kFileName = ".Kestrium.lock";

    explicit DataFolderLock(const std::filesystem::path& folder);

    // False when another Kestrium holds the folder.
    bool TryLock();
    void Unlock() { m_lock.unlock(); }

    // What the user is told when TryLock failed.
    static std::string AlreadyRunningMessage(const std::filesystem::path& folder);

private:
    QLockFile m_lock;
};

// The contact list of a data folder as the program opens it: the groups and labels when the store
// is made, the contacts when the folder is locked.
ContactStore OpenContactStore(const std::filesystem::path& folder);
void LoadContacts(ContactStore& contacts, const std::filesystem::path& folder);
bool SaveContacts(const ContactStore& contacts, const std::filesystem::path& folder);

// Removes the temporary files that saves killed half-way left in the folder: only regular files
// named as a data file's ("KestriumCallLog.csv.tmp-<pid>-<n>") whose process is no longer running.
// Returns the files removed.
std::vector<std::filesystem::path> RemoveStaleTemporaryFiles(const std::filesystem::path& folder);

// Imports a vCard file into the folder's contacts and saves what changed (the contacts, and the
// groups when cards brought new ones); a failed save is one more problem of the result.
ContactExchangeResult ImportContacts(
    const std::filesystem::path& file, ContactStore& contacts, const std::filesystem::path& folder);
