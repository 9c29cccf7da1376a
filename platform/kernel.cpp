#include "platform/kernel.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <random>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Unique numbers run through 1 to 0xFFFF from a random start, as many as there are names.
constexpr unsigned kNumbers = 0xFFFF;

unsigned RandomStart()
{
    static std::mt19937 generator{ std::random_device{}() };
    return std::uniform_int_distribution<unsigned>(1, kNumbers)(generator);
}

}  // namespace

bool CreateUniqueFile(const std::string& folder, std::string_view prefix, std::string_view extension,
                      std::string& out, std::size_t maxPath)
{
    const unsigned start = RandomStart();
    for (unsigned i = 0; i < kNumbers; ++i) {
        char number[8];
        std::snprintf(number, sizeof number, "%X", (start + i - 1) % kNumbers + 1);
        std::string name = folder + "/" + std::string(prefix) + number + "." + std::string(extension);
        if (name.size() > maxPath)
            return false;
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            out = std::move(name);
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

bool CreateOneDirectory(const std::string& path)
{
    return !path.empty() && ::mkdir(path.c_str(), 0777) == 0;
}

void AdviseLargePages(void* data, std::size_t bytes)
{
#ifdef MADV_HUGEPAGE
    constexpr std::uintptr_t kLargePage = 2 * 1024 * 1024;
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + kLargePage - 1) & ~(kLargePage - 1);
    const std::uintptr_t last = (begin + bytes) & ~(kLargePage - 1);
    if (data && last > first)
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

std::string OwnExecutablePath()
{
    char buffer[4096];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return length > 0 ? std::string(buffer, std::size_t(length)) : std::string();
}

}  // namespace platform
