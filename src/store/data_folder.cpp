#include "store/data_folder.h"

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

ContactExchangeResult ImportContacts(const fs::path& file, ContactStore& contacts, const fs::path& folder)
{
    const std::size_t groupsBefore = contacts.Groups().Count();
    ContactExchangeResult result = ContactExchange::ImportFile(file, contacts);
    const bool groupsSaved
        = contacts.Groups().Count() == groupsBefore || contacts.Groups().Save(folder / GroupStore::kFileName);
    const bool contactsSaved = result.added + result.merged == 0 || SaveContacts(contacts, folder);
    if (!groupsSaved || !contactsSaved) {
        result.fileOk = false;
        result.problems.push_back("The contacts could not be saved in " + folder.string() + ".");
    }
    return result;
}
