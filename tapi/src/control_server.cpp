#include "control_server.h"

#include "control_client.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace tapi {

namespace {

constexpr int kListenBacklog = 64;

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

// Only a socket that nothing answers on any more is removed; anything else at the path is left
// alone, since the path comes from the environment and may name any file.
bool RemoveStaleSocket(const std::string& path, std::string& why)
{
    struct stat info { };
    if (::lstat(path.c_str(), &info) != 0) {
        why = std::strerror(errno);
        return errno == ENOENT;
    }
    if (!S_ISSOCK(info.st_mode)) {
        why = "the path is taken by a file that is not a socket; it was left alone";
        return false;
    }
    if (SocketInUse(path)) {
        why = "another telephony service is using it";
        return false;
    }
    ::unlink(path.c_str());
    return true;
}

// True when the client closed its connection (not just its sending side): nobody would read the
// reply, so its command is not run.
bool ClientLeft(int fd)
{
    pollfd state{ fd, 0, 0 };
    return ::poll(&state, 1, 0) > 0 && (state.revents & (POLLHUP | POLLERR));
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
        // The stop descriptor stays readable: the accept loop and every client thread see it.
        const std::uint64_t one = 1;
        [[maybe_unused]] auto written = ::write(m_stop.Get(), &one, sizeof one);
        m_thread.join();
        std::unique_lock lock(m_clientsMutex);
        m_clientsDone.wait(lock, [this] { return m_clients == 0; });
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
    if (!RemoveStaleSocket(m_path, reason))
        return fail(reason);
    m_stop = UniqueFd(::eventfd(0, EFD_CLOEXEC));
    if (!m_stop)
        return fail(std::strerror(errno));
    m_listen = UniqueFd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address = AddressOf(m_path);
    if (!m_listen || ::bind(m_listen.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return fail(std::strerror(errno));
    if (::chmod(m_path.c_str(), 0600) != 0 || ::listen(m_listen.Get(), kListenBacklog) != 0) {
        const std::string why = std::strerror(errno);
        ::unlink(m_path.c_str());
        return fail(why);
    }
    try {
        m_thread = std::thread([this] { Run(); });
    } catch (const std::exception& e) {
        ::unlink(m_path.c_str());
        return fail(e.what());
    }
    return true;
}

void ControlServer::Run()
{
    pthread_setname_np(pthread_self(), "tapi-control");
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
            Admit(std::move(client));
    }
}

void ControlServer::Admit(UniqueFd client)
{
    bool admitted = false;
    {
        std::lock_guard lock(m_clientsMutex);
        admitted = m_clients < kMaxClients;
        m_clients += admitted ? 1 : 0;
    }
    if (!admitted) {
        SendAll(client.Get(), "error: too many clients are connected to the telephony service; try again\n");
        return;
    }
    try {
        std::thread([this, client = std::move(client)] {
            Serve(client);
            std::lock_guard lock(m_clientsMutex);
            --m_clients;
            m_clientsDone.notify_all();
        }).detach();
    } catch (const std::exception&) {
        // No thread to serve it: the client sees its connection closed without a reply.
        std::lock_guard lock(m_clientsMutex);
        --m_clients;
    }
}

void ControlServer::Serve(const UniqueFd& client)
{
    // A client that does not read its reply holds its own thread only, and only for a while.
    const timeval sendTimeout{ kCommandDeadlineMs / 1000, 0 };
    ::setsockopt(client.Get(), SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout);
    try {
        std::string line, reply;
        if (!ReadCommand(client.Get(), line, reply)) {
            SendAll(client.Get(), reply);
            return;
        }
        if (!ClientLeft(client.Get()))
            SendAll(client.Get(), m_handler(line));
    } catch (const std::exception&) {
        // Nothing escapes the thread; the client sees its connection closed.
    }
}

bool ControlServer::ReadCommand(int client, std::string& line, std::string& refusal) const
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kCommandDeadlineMs);
    char buffer[1024];
    while (line.find('\n') == std::string::npos && line.size() <= kMaxCommandBytes) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd fds[2] = { { client, POLLIN, 0 }, { m_stop.Get(), POLLIN, 0 } };
        const int ready = ::poll(fds, 2, static_cast<int>(std::max<long long>(left.count(), 0)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || fds[1].revents)
            return false;
        if (ready == 0) {
            refusal = "error: the command line did not arrive within "
                + std::to_string(kCommandDeadlineMs / 1000) + " s\n";
            return false;
        }
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break; // the client ended its line by closing its sending side
        line.append(buffer, static_cast<std::size_t>(n));
    }
    const std::size_t length = std::min(line.find('\n'), line.size());
    if (length > kMaxCommandBytes) {
        refusal = "error: the command is longer than " + std::to_string(kMaxCommandBytes) + " bytes\n";
        return false;
    }
    line.resize(length);
    return true;
}

} // namespace tapi
