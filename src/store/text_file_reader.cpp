#include "store/text_file_reader.h"

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

std::mutex g_skippedMutex;
std::vector<std::filesystem::path> g_skipped;

void NoteSkipped(const std::filesystem::path& path)
{
    const std::lock_guard lock(g_skippedMutex);
    g_skipped.push_back(path);
}

} // namespace

// O_NONBLOCK: opening a FIFO must not wait for a writer. Anything but a regular file (a FIFO, a
// device such as /dev/zero behind a link, a folder) is closed again unread.
TextFileReader::TextFileReader(const std::filesystem::path& path)
{
    m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat info { };
    if (m_fd >= 0 && (::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        ::close(m_fd);
        m_fd = -1;
        NoteSkipped(path);
    }
    if (m_fd >= 0)
        ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
    m_open = m_fd >= 0;
    if (m_open)
        m_buffer.resize(kBufferSize);
}

std::vector<std::filesystem::path> TextFileReader::SkippedFiles()
{
    const std::lock_guard lock(g_skippedMutex);
    return g_skipped;
}

TextFileReader TextFileReader::FromBytes(std::string bytes)
{
    TextFileReader reader;
    reader.m_open = true;
    reader.m_buffer.assign(bytes.begin(), bytes.end());
    reader.m_end = reader.m_buffer.size();
    return reader;
}

TextFileReader::~TextFileReader()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

TextFileReader::TextFileReader(TextFileReader&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
    , m_open(other.m_open)
    , m_buffer(std::move(other.m_buffer))
    , m_pos(std::exchange(other.m_pos, 0))
    , m_end(std::exchange(other.m_end, 0))
{
}

// Called only when every buffered byte has been consumed; false when no new byte could be read.
bool TextFileReader::Refill()
{
    if (m_fd < 0)
        return false;
    for (;;) {
        ssize_t n = ::read(m_fd, m_buffer.data(), m_buffer.size());
        if (n > 0) {
            m_pos = 0;
            m_end = std::size_t(n);
            return true;
        }
        if (n < 0 && errno == EINTR)
            continue;
        ::close(m_fd); // end of file or read error: no more data either way
        m_fd = -1;
        return false;
    }
}

bool TextFileReader::RestIsBlank()
{
    bool blank = true;
    for (int c = Get(); c != kEnd; c = Get()) {
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
            blank = false;
    }
    return blank;
}
