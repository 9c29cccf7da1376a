#include "audio/recording_file.h"

#include "platform/kernel.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::string_view kPrefix = "Kes";
// Names already taken by finished files are skipped; this many tries are plenty in practice.
constexpr int kAttempts = 16;

} // namespace

// The temporary file is exchanged for one created exclusively under the final name, so an older
// file of that name is never replaced (a plain rename would overwrite it).
bool NameRecordingFile(
    const std::string& folder, std::string_view extension, std::size_t maxPath, std::string& out)
{
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::string temp;
        if (!platform::GetTempFileName(folder, kPrefix, temp, maxPath) || temp.size() < extension.size())
            return false;
        std::string name = temp.substr(0, temp.size() - extension.size()).append(extension);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        const int error = errno;
        ::unlink(temp.c_str());
        if (fd >= 0) {
            ::close(fd);
            out = std::move(name);
            return true;
        }
        if (error != EEXIST)
            return false;
    }
    return false;
}
