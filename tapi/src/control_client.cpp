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

// Reads until the service closes the connection. False when it said nothing within the timeout.
bool ReadReply(int fd, std::string& reply)
{
    reply.clear();
    char buffer[4096];
    for (;;) {
        pollfd wait{ fd, POLLIN, 0 };
        if (::poll(&wait, 1, kReplyTimeoutMs) <= 0)
            return false;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return true;
        reply.append(buffer, static_cast<std::size_t>(n));
        if (reply.size() > kMaxReplyBytes)
            return true;
    }
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

// A service that refuses a client (too many are connected) answers and closes at once, perhaps
// before the command is sent: its reply is read even when sending failed.
bool SendControlCommand(
    const std::string& socketPath, const std::string& command, std::string& reply, std::string& error)
{
    const UniqueFd fd = ConnectControlSocket(socketPath, error);
    if (!fd)
        return false;
    const bool sent = WriteAll(fd.Get(), command + "\n");
    ::shutdown(fd.Get(), SHUT_WR);
    if (!ReadReply(fd.Get(), reply) && sent) {
        error = "the telephony service did not answer";
        return false;
    }
    if (!sent && reply.empty()) {
        error = "cannot send the command to " + socketPath;
        return false;
    }
    return true;
}

} // namespace tapi
