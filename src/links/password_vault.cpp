#include "links/password_vault.h"

#include "platform/regular_file.h"
#include "store/text_file_writer.h"

#include <qt6keychain/keychain.h>

#include <QCryptographicHash>
#include <QEventLoop>
#include <QTimer>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// How long the secret store may take before the file is used instead.
constexpr int kKeychainTimeoutMs = 5000;

QString Q(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// Starts the job and waits for it; false when it failed or took too long.
bool RunJob(QKeychain::Job& job)
{
    job.setAutoDelete(false);
    QEventLoop wait;
    bool finished = false;
    QObject::connect(&job, &QKeychain::Job::finished, &wait, [&] {
        finished = true;
        wait.quit();
    });
    QTimer::singleShot(kKeychainTimeoutMs, &wait, &QEventLoop::quit);
    job.start();
    if (!finished)
        wait.exec(QEventLoop::ExcludeUserInputEvents);
    return finished && job.error() == QKeychain::NoError;
}

bool MakePrivateFolder(const fs::path& folder, std::string& error)
{
    std::error_code code;
    fs::create_directories(folder, code);
    if (code || ::chmod(folder.c_str(), 0700) != 0) {
        error = "the folder " + folder.string() + " cannot be made private";
        return false;
    }
    return true;
}

} // namespace

PasswordVault::PasswordVault(std::string service, fs::path fallbackFolder)
    : m_service(std::move(service))
    , m_folder(std::move(fallbackFolder))
{
}

fs::path PasswordVault::FallbackFile(std::string_view key) const
{
    const QByteArray hash
        = QCryptographicHash::hash(Q(key).toUtf8(), QCryptographicHash::Sha256).toHex().left(24);
    return m_folder / ("password-" + hash.toStdString());
}

bool PasswordVault::Store(std::string_view key, std::string_view password, std::string& error)
{
    QKeychain::WritePasswordJob job(Q(m_service));
    job.setKey(Q(key));
    job.setTextData(Q(password));
    if (RunJob(job)) {
        std::error_code ignored;
        fs::remove(FallbackFile(key), ignored);
        return true;
    }
    if (!MakePrivateFolder(m_folder, error))
        return false;
    const fs::path file = FallbackFile(key);
    // The temporary file the writer makes takes the process's umask: created private from the start.
    const mode_t mask = ::umask(0077);
    TextFileWriter writer(file);
    if (writer.IsOpen())
        writer.Write(password);
    const bool written = writer.IsOpen() && writer.Commit() && ::chmod(file.c_str(), 0600) == 0;
    ::umask(mask);
    if (!written)
        error = "the password could not be written to " + file.string();
    return written;
}

std::string PasswordVault::Read(std::string_view key) const
{
    QKeychain::ReadPasswordJob job(Q(m_service));
    job.setKey(Q(key));
    if (RunJob(job))
        return job.textData().toStdString();
    std::string bytes;
    std::string error;
    if (platform::ReadRegularFile(FallbackFile(key).string(), 4096, bytes, error) != platform::FileRead::Read)
        return {};
    return bytes;
}

void PasswordVault::Forget(std::string_view key)
{
    QKeychain::DeletePasswordJob job(Q(m_service));
    job.setKey(Q(key));
    RunJob(job);
    std::error_code ignored;
    fs::remove(FallbackFile(key), ignored);
}
