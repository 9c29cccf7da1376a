#include "link_launcher.h"

#include "control_client.h"
#include "links/app_link.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace fs = std::filesystem;

namespace kestrium_dial {

namespace {

// The exit statuses of a started program that never became Kestrium.
constexpr int kNoDataFolder = 126;
constexpr int kNotStarted = 127;

bool Answers(const std::string& socket)
{
    std::string error;
    return static_cast<bool>(tapi::ConnectControlSocket(socket, error));
}

// Held while a launcher looks for Kestrium and starts it; released when the process ends.
class LaunchTurn {
public:
    explicit LaunchTurn(const std::string& path)
        : m_fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600))
    {
        if (m_fd.Get() >= 0)
            while (::flock(m_fd.Get(), LOCK_EX) != 0 && errno == EINTR) { }
    }

private:
    tapi::UniqueFd m_fd;
};

// Kestrium's own session, working directory and standard input and output; the launcher's standard
// error stays (a terminal or the desktop's log) unless it is a pipe, which would keep whoever reads
// it waiting for as long as Kestrium runs.
pid_t StartDetached(const fs::path& program, const fs::path& folder)
{
    const std::string programPath = program.string();
    const std::string folderPath = folder.string();
    struct stat standardError { };
    const bool errorIsPipe = ::fstat(2, &standardError) == 0 && S_ISFIFO(standardError.st_mode);
    const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    const pid_t pid = ::fork();
    if (pid != 0) {
        ::close(devNull);
        return pid;
    }
    ::setsid();
    if (::chdir(folderPath.c_str()) != 0)
        ::_exit(kNoDataFolder);
    ::dup2(devNull, 0);
    ::dup2(devNull, 1);
    if (errorIsPipe)
        ::dup2(devNull, 2);
    ::close_range(3, ~0U, 0);
    ::execl(programPath.c_str(), "kestrium", static_cast<char*>(nullptr));
    ::_exit(kNotStarted);
}

std::string EndedText(const fs::path& program, const fs::path& folder, int status)
{
    if (WIFEXITED(status) && WEXITSTATUS(status) == kNotStarted)
        return "cannot start " + program.string();
    if (WIFEXITED(status) && WEXITSTATUS(status) == kNoDataFolder)
        return "cannot enter the data folder " + folder.string();
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return "Kestrium ended while it started (exit status " + std::to_string(code) + ")";
}

bool StartAndWait(const fs::path& program, const fs::path& folder, const std::string& socket,
    std::chrono::milliseconds limit, std::string& error)
{
    std::error_code made;
    fs::create_directories(folder, made);
    if (made) {
        error = "cannot create the data folder " + folder.string() + " (" + made.message() + ")";
        return false;
    }
    const pid_t pid = StartDetached(program, folder);
    if (pid < 0) {
        error = "cannot start " + program.string() + " (" + std::strerror(errno) + ")";
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (Answers(socket))
            return true;
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            error = EndedText(program, folder, status);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    error = "Kestrium did not start within " + std::to_string(limit.count() / 1000) + " s";
    return false;
}

} // namespace

fs::path DataFolderFromEnvironment()
{
    if (const char* data = std::getenv("KESTRIUM_DATA"); data && *data)
        return data;
    const char* home = std::getenv("HOME");
    return home && *home ? fs::path(home) / "Kestrium" : fs::path();
}

bool SendToKestrium(const std::string& command, const fs::path& program, const fs::path& dataFolder,
    std::chrono::milliseconds limit, std::string& reply, std::string& error)
{
    const std::string socket = AppSocketPath();
    if (socket.empty()) {
        error = "XDG_RUNTIME_DIR is not set, so there is no place to reach Kestrium";
        return false;
    }
    if (!Answers(socket)) {
        const LaunchTurn turn(socket + ".launch");
        if (!Answers(socket)) {
            if (dataFolder.empty()) {
                error = "neither KESTRIUM_DATA nor HOME is set, so Kestrium has no data folder";
                return false;
            }
            if (!StartAndWait(program, dataFolder, socket, limit, error))
                return false;
        }
    }
    std::string why;
    if (!tapi::SendControlCommand(socket, command, reply, why)) {
        error = "Kestrium did not answer on " + socket;
        return false;
    }
    return true;
}

} // namespace kestrium_dial
