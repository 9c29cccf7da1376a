#include "control_client.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tapi {

namespace {

constexpr int kReplyTimeoutMs = 5000;
constexpr std::size_t kMaxReplyBytes = 1 << 20;

bool WriteAll(int fd, const std::string& data)
{
    std::size_t written = 0;
    while (written < data.size()) {
        const ssize_t n = ::send(fd, data.data() + written, data.size() - written, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

std::string ControlSocketPathFromEnvironment(std::string& error)
{
    if (const char* path = std::getenv("KESTRIUM_TELEPHONY_SOCKET"); path && *path)
        return path;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime) {
        error = "XDG_RUNTIME_DIR is not set, so there is no place for the telephony control socket";
        return {};
    }
    return std::string(runtime) + "/kestrium-telephony.sock";
}

UniqueFd ConnectControlSocket(const std::string& socketPath, std::string& error)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path) {
        error = "the socket path is too long: " + socketPath;
        return {};
    }
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd || ::connect(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        error = "no telephony service is listening on " + socketPath + " (" + std::strerror(errno) + ")";
        return {};
    }
    return fd;
}

bool SendControlCommand(
    const std::string& socketPath, const std::string& command, std::string& reply, std::string& error)
{
    const UniqueFd fd = ConnectControlSocket(socketPath, error);
    if (!fd)
        return false;
    if (!WriteAll(fd.Get(), command + "\n")) {
        error = "cannot send the command to " + socketPath;
        return false;
    }
    ::shutdown(fd.Get(), SHUT_WR);
    reply.clear();
    char buffer[4096];
    for (;;) {
        pollfd wait{ fd.Get(), POLLIN, 0 };
        if (::poll(&wait, 1, kReplyTimeoutMs) <= 0) {
            error = "the telephony service did not answer";
            return false;
        }
        const ssize_t n = ::recv(fd.Get(), buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        reply.append(buffer, static_cast<std::size_t>(n));
        if (reply.size() > kMaxReplyBytes)
            break;
    }
    return true;
}

} // namespace tapi
