#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace platform {

namespace {

FileRead Refuse(std::string& error, std::string reason)
{
    error = std::move(reason);
    return FileRead::Refused;
}

FileRead RefuseWithErrno(std::string& error, const char* what)
{
    return Refuse(error, std::string(what) + " (" + std::strerror(errno) + ")");
}

FileRead RefuseLarger(std::string& error, std::size_t maxBytes)
{
    return Refuse(error, "is larger than " + std::to_string(maxBytes) + " bytes");
}

// Reads to the end, one byte past the limit at most, so a file that grew (or a /proc file that
// reports no size) is still caught when it is too large.
FileRead ReadAll(int fd, std::size_t maxBytes, std::string& bytes, std::string& error)
{
    bytes.clear();
    char buffer[64 * 1024];
    while (bytes.size() <= maxBytes) {
        const ssize_t got = ::read(fd, buffer, std::min(sizeof buffer, maxBytes + 1 - bytes.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return RefuseWithErrno(error, "cannot be read");
        if (got == 0)
            return FileRead::Read;
        bytes.append(buffer, std::size_t(got));
    }
    return RefuseLarger(error, maxBytes);
}

FileRead ReadOpenFile(int fd, std::size_t maxBytes, std::string& bytes, std::string& error)
{
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return RefuseWithErrno(error, "cannot be read");
    if (!S_ISREG(info.st_mode))
        return Refuse(error, "is not a regular file");
    if (std::uint64_t(info.st_size) > maxBytes)
        return RefuseLarger(error, maxBytes);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return ReadAll(fd, maxBytes, bytes, error);
}

} // namespace

FileRead ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& bytes, std::string& error)
{
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused once open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT)
        return FileRead::Missing;
    if (fd < 0)
        return RefuseWithErrno(error, "cannot be opened");
    const FileRead result = ReadOpenFile(fd, maxBytes, bytes, error);
    ::close(fd);
    return result;
}

} // namespace platform
