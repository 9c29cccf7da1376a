#include "store/text_file_writer.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kBufferSize = 256 * 1024;
constexpr int kCreateAttempts = 100;

std::atomic<unsigned> g_tempCounter{ 0 };

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

// The rename is durable only once the folder entry itself is on disk.
void SyncFolder(const std::filesystem::path& file)
{
    std::filesystem::path folder = file.parent_path();
    if (folder.empty())
        folder = ".";
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// A data file that is a symbolic link (kept in a synced folder, say) is replaced at its target, so
// the link stays a link.
std::filesystem::path ResolveLink(std::filesystem::path path)
{
    std::error_code ec;
    if (!std::filesystem::is_symlink(path, ec))
        return path;
    std::filesystem::path target = std::filesystem::weakly_canonical(path, ec);
    return ec ? path : target;
}

// Only a regular file is replaced: a FIFO, a device (/dev/full behind a link, say) or a folder at
// the path is left alone.
bool IsMissingOrRegular(const std::filesystem::path& path)
{
    struct stat info { };
    return ::stat(path.c_str(), &info) != 0 ? errno == ENOENT : S_ISREG(info.st_mode);
}

} // namespace

TextFileWriter::TextFileWriter(std::filesystem::path path, Durability durability)
    : m_path(ResolveLink(std::move(path)))
    , m_durability(durability)
{
    if (!IsMissingOrRegular(m_path)) {
        m_error = "it is not a regular file";
        return;
    }
    CreateTemporary();
    if (IsOpen())
        m_buffer.reserve(kBufferSize + 2);
}

TextFileWriter::~TextFileWriter()
{
    Discard();
}

// Created with mode 0666 so the umask applies as for any new file; a file that is replaced keeps
// its permissions.
void TextFileWriter::CreateTemporary()
{
    for (int attempt = 0; attempt < kCreateAttempts && m_fd < 0; ++attempt) {
        m_temp = m_path;
        m_temp += ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(g_tempCounter++);
        m_fd = ::open(m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd < 0 && errno != EEXIST)
            break;
    }
    struct stat old { };
    if (m_fd >= 0 && ::stat(m_path.c_str(), &old) == 0)
        ::fchmod(m_fd, old.st_mode & 07777);
}

void TextFileWriter::Write(std::string_view text)
{
    if (m_fd < 0)
        return;
    while (!text.empty()) {
        const void* lf = std::memchr(text.data(), '\n', text.size());
        std::size_t run = lf ? std::size_t(static_cast<const char*>(lf) - text.data()) : text.size();
        m_buffer.append(text.data(), run);
        if (lf) {
            m_buffer.append("\r\n", 2);
            ++run;
        }
        text.remove_prefix(run);
        if (m_buffer.size() >= kBufferSize)
            Flush();
    }
}

void TextFileWriter::Flush()
{
    if (!m_failed && !WriteAll(m_fd, m_buffer.data(), m_buffer.size()))
        m_failed = true;
    m_buffer.clear();
}

bool TextFileWriter::Commit()
{
    if (m_fd < 0)
        return false;
    Flush();
    const bool synced = m_durability == Durability::ProcessEnd || ::fsync(m_fd) == 0;
    bool ok = !m_failed && synced;
    ok = ::close(m_fd) == 0 && ok;
    m_fd = -1;
    if (!ok || !IsMissingOrRegular(m_path) || ::rename(m_temp.c_str(), m_path.c_str()) != 0) {
        ::unlink(m_temp.c_str());
        return false;
    }
    if (m_durability == Durability::PowerCut)
        SyncFolder(m_path);
    return true;
}

void TextFileWriter::Discard()
{
    if (m_fd < 0)
        return;
    ::close(m_fd);
    m_fd = -1;
    ::unlink(m_temp.c_str());
}
