#include "control_server.h"

#include "control_client.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <cerrno>
#include <cstring>

namespace tapi {

namespace {

constexpr int kClientTimeoutMs = 2000;

sockaddr_un AddressOf(const std::string& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

// A socket file left behind by a service that ended is removed; one that answers is in use.
bool SocketInUse(const std::string& path)
{
    UniqueFd probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address = AddressOf(path);
    return probe && ::connect(probe.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

void SendAll(int fd, const std::string& text)
{
    std::size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        sent += static_cast<std::size_t>(n);
    }
}

} // namespace

ControlServer::ControlServer(Handler handler)
    : m_handler(std::move(handler))
{
}

ControlServer::~ControlServer()
{
    if (m_thread.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] auto written = ::write(m_stop.Get(), &one, sizeof one);
        m_thread.join();
    }
    if (m_listen)
        ::unlink(m_path.c_str());
}

bool ControlServer::Start(std::string& error)
{
    std::string reason;
    m_path = ControlSocketPathFromEnvironment(reason);
    const auto fail = [&](const std::string& why) {
        error = "cannot create the control socket " + (m_path.empty() ? std::string() : m_path + " ") + "("
            + why + "); linesim and kestrium-dial cannot reach this service";
        m_listen.Reset();
        return false;
    };
    if (m_path.empty())
        return fail(reason);
    if (m_path.size() >= sizeof(sockaddr_un::sun_path))
        return fail("the path is too long");
    if (SocketInUse(m_path))
        return fail("another telephony service is using it");
    ::unlink(m_path.c_str());
    m_listen = UniqueFd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address = AddressOf(m_path);
    if (!m_listen || ::bind(m_listen.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return fail(std::strerror(errno));
    if (::chmod(m_path.c_str(), 0600) != 0 || ::listen(m_listen.Get(), 8) != 0) {
        const std::string why = std::strerror(errno);
        ::unlink(m_path.c_str());
        return fail(why);
    }
    m_stop = UniqueFd(::eventfd(0, EFD_CLOEXEC));
    m_thread = std::thread([this] { Run(); });
    return true;
}

void ControlServer::Run()
{
    for (;;) {
        pollfd fds[2] = { { m_listen.Get(), POLLIN, 0 }, { m_stop.Get(), POLLIN, 0 } };
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents)
            return;
        UniqueFd client(::accept4(m_listen.Get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (client)
            Serve(client.Get());
    }
}

void ControlServer::Serve(int client)
{
    std::string line;
    char buffer[1024];
    bool complete = false;
    while (!complete && line.size() <= kMaxCommandBytes) {
        pollfd wait{ client, POLLIN, 0 };
        if (::poll(&wait, 1, kClientTimeoutMs) <= 0)
            return; // a silent client is dropped; the service goes on
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        line.append(buffer, static_cast<std::size_t>(n));
        complete = line.find('\n') != std::string::npos;
    }
    const std::size_t length = std::min(line.find('\n'), line.size());
    if (length > kMaxCommandBytes) {
        SendAll(client, "error: the command is longer than " + std::to_string(kMaxCommandBytes) + " bytes\n");
        return;
    }
    line.resize(length);
    SendAll(client, m_handler(line));
}

} // namespace tapi
