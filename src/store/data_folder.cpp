#include "store/data_folder.h"

#include <QCoreApplication>
#include <QString>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <string_view>

namespace fs = std::filesystem;

namespace {

bool AllDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c));
    });
}

bool AllAlphanumeric(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c));
    });
}

// The process id of a data file's temporary file, "Kestrium<Name>.csv.tmp-<pid>-<n>" as
// TextFileWriter names it; 0 for any other name.
pid_t TemporaryFileOwner(std::string_view name)
{
    constexpr std::string_view kPrefix = "Kestrium";
    constexpr std::string_view kMarker = ".csv.tmp-";
    const std::size_t marker = name.find(kMarker);
    if (!name.starts_with(kPrefix) || marker == std::string_view::npos
        || !AllAlphanumeric(name.substr(kPrefix.size(), marker - kPrefix.size())))
        return 0;
    const std::string_view rest = name.substr(marker + kMarker.size());
    const std::size_t dash = rest.find('-');
    if (dash == std::string_view::npos || !AllDigits(rest.substr(0, dash))
        || !AllDigits(rest.substr(dash + 1)))
        return 0;
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + dash, pid);
    return error == std::errc() ? pid : 0;
}

bool IsRunning(pid_t pid)
{
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

} // namespace

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
    return QCoreApplication::translate("DataFolderLock",
        "Kestrium is already running with the data folder\n%1\n\nOnly one Kestrium can use a data "
        "folder at a time.")
        .arg(QString::fromStdString(folder.string()))
        .toStdString();
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
        result.problems.push_back(
            QCoreApplication::translate("ContactExchange", "The contacts could not be saved in %1.")
                .arg(QString::fromStdString(folder.string()))
                .toStdString());
    }
    return result;
}

std::vector<fs::path> RemoveStaleTemporaryFiles(const fs::path& folder)
{
    std::vector<fs::path> removed;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        const pid_t owner = TemporaryFileOwner(entry.path().filename().string());
        std::error_code ignored;
        if (owner > 0 && entry.is_regular_file(ignored) && !entry.is_symlink(ignored) && !IsRunning(owner)
            && fs::remove(entry.path(), ignored))
            removed.push_back(entry.path());
    }
    return removed;
}
