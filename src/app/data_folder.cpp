#include "app/data_folder.h"

#include <QString>

namespace fs = std::filesystem;

DataFolderLock::DataFolderLock(const fs::path& folder)
    : m_lock(QString::fromStdString((folder / kFileName).string()))
{
    m_lock.setStaleLockTime(0);
}

bool DataFolderLock::TryLock()
{
    return m_lock.tryLock(0) || m_lock.error() != QLockFile::LockFailedError;
}

std::string DataFolderLock::AlreadyRunningMessage(const fs::path& folder)
{
    return "Kestrium is already running with the data folder\n" + folder.string()
        + "\n\nOnly one Kestrium can use a data folder at a time.";
}

ContactStore OpenContactStore(const fs::path& folder)
{
    return ContactStore(folder / GroupStore::kFileName, folder / PhoneLabelStore::kFileName);
}

void LoadContacts(ContactStore& contacts, const fs::path& folder)
{
    contacts.Load(folder / ContactStore::kFileName);
}

bool SaveContacts(const ContactStore& contacts, const fs::path& folder)
{
    return contacts.Save(folder / ContactStore::kFileName);
}
