#include "sip_guard.h"

#include "libre.h"

#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <optional>
#include <vector>

namespace tapi {

namespace {

// Beyond this many sources, those whose bucket is full again are forgotten: they are as new.
constexpr std::size_t kMaxSources = 1024;

} // namespace

double CallRateLimit::TokensAt(const Bucket& bucket, std::uint64_t nowMs)
{
    const double refilled = nowMs > bucket.lastMs ? double(nowMs - bucket.lastMs) * kPerSecond / 1000 : 0;
    return std::min(kBurst, bucket.tokens + refilled);
}

void CallRateLimit::ForgetFullBuckets(std::uint64_t nowMs)
{
    std::erase_if(m_buckets, [&](const auto& entry) { return TokensAt(entry.second, nowMs) >= kBurst; });
}

bool CallRateLimit::Admit(const sa& source, std::uint64_t nowMs)
{
    char address[64] = {};
    if (sa_ntop(&source, address, sizeof address) != 0)
        return false;
    if (m_buckets.size() >= kMaxSources)
        ForgetFullBuckets(nowMs);
    Bucket& bucket = m_buckets.try_emplace(address, Bucket{ kBurst, nowMs }).first->second;
    bucket.tokens = TokensAt(bucket, nowMs);
    bucket.lastMs = std::max(bucket.lastMs, nowMs);
    if (bucket.tokens < 1)
        return false;
    bucket.tokens -= 1;
    return true;
}

namespace {

std::string AddressText(const sa& address, bool withPort)
{
    char text[64] = {};
    if (sa_ntop(&address, text, sizeof text) != 0)
        return {};
    return withPort ? std::string(text) + "#" + std::to_string(sa_port(&address)) : std::string(text);
}

// Whether `fd` is a listening TCP socket (`accepting`) or a connection, bound to `address` (with
// its port) either way.
bool IsStreamSocketOn(int fd, const sa& address, bool accepting)
{
    int type = 0;
    int listens = 0;
    socklen_t size = sizeof type;
    if (::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &size) != 0 || type != SOCK_STREAM)
        return false;
    size = sizeof listens;
    if (::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listens, &size) != 0 || bool(listens) != accepting)
        return false;
    sa local{};
    local.len = sizeof local.u;
    return ::getsockname(fd, &local.u.sa, &local.len) == 0 && sa_cmp(&local, &address, SA_ALL);
}

// Calls `visit` with each descriptor the process has open.
template <typename Visit> void ForEachDescriptor(Visit visit)
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        int fd = -1;
        const std::string name = entry.path().filename().string();
        if (std::from_chars(name.data(), name.data() + name.size(), fd).ec == std::errc())
            visit(fd);
    }
}

// The peer of `fd` when it is a connection accepted on `listening`, else none.
std::optional<sa> AcceptedPeer(int fd, const sa& listening)
{
    if (!IsStreamSocketOn(fd, listening, false))
        return std::nullopt;
    sa peer{};
    peer.len = sizeof peer.u;
    if (::getpeername(fd, &peer.u.sa, &peer.len) != 0)
        return std::nullopt;
    return peer;
}

} // namespace

ConnectionGuard::ConnectionGuard(const sa& listening)
    : m_listening(std::make_unique<sa>(listening))
{
}

ConnectionGuard::~ConnectionGuard() = default;

void ConnectionGuard::MessageFrom(const sa& peer)
{
    // A connection already known is marked at once; one not yet found when the next check finds it.
    const std::string text = AddressText(peer, true);
    const auto known = std::find_if(m_connections.begin(), m_connections.end(),
        [&](const auto& entry) { return entry.second.peer == text; });
    if (known != m_connections.end())
        known->second.spoke = true;
    else
        m_spoken.insert(text);
}

bool ConnectionGuard::Unsettled() const
{
    return std::any_of(m_connections.begin(), m_connections.end(),
        [](const auto& entry) { return !entry.second.spoke && !entry.second.shut; });
}

std::size_t ConnectionGuard::FindConnections(std::uint64_t nowMs)
{
    std::map<int, Connection> found;
    std::size_t descriptors = 0;
    ForEachDescriptor([&](int fd) {
        ++descriptors;
        const auto peer = AcceptedPeer(fd, *m_listening);
        if (!peer)
            return;
        Connection connection{ AddressText(*peer, true), AddressText(*peer, false), nowMs };
        const auto known = m_connections.find(fd);
        found[fd] = known != m_connections.end() && known->second.peer == connection.peer ? known->second
                                                                                          : connection;
    });
    m_connections = std::move(found);
    return descriptors;
}

std::size_t ConnectionGuard::LineCap(std::size_t openDescriptors) const
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return kPerLine;
    const std::size_t others = openDescriptors - std::min(openDescriptors, m_connections.size());
    const std::size_t taken = others + kDescriptorReserve;
    const std::size_t room = limit.rlim_cur > taken ? std::size_t(limit.rlim_cur) - taken : 0;
    return std::min(kPerLine, room);
}

void ConnectionGuard::Shut(int fd, Connection& connection)
{
    ::shutdown(fd, SHUT_RDWR);
    connection.shut = true;
}

void ConnectionGuard::Check(std::uint64_t nowMs)
{
    const std::size_t lineCap = LineCap(FindConnections(nowMs));
    std::vector<std::pair<int, Connection*>> order;
    for (auto& [fd, connection] : m_connections) {
        connection.spoke = connection.spoke || m_spoken.count(connection.peer) > 0;
        if (!connection.shut && !connection.spoke && nowMs - connection.sinceMs >= kFirstMessageMs)
            Shut(fd, connection);
        if (!connection.shut)
            order.emplace_back(fd, &connection);
    }
    m_spoken.clear();
    // Those that spoke keep their places first, then the older ones.
    std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
        return a.second->spoke != b.second->spoke ? a.second->spoke : a.second->sinceMs < b.second->sinceMs;
    });
    std::map<std::string, std::size_t> perSource;
    std::size_t kept = 0;
    for (auto& [fd, connection] : order) {
        std::size_t& fromSource = perSource[connection->source];
        if (kept >= lineCap || fromSource >= kPerSource) {
            Shut(fd, *connection);
            continue;
        }
        ++kept;
        ++fromSource;
    }
}

ConnectionAlarm::ConnectionAlarm(const sa& listening, Handler handler, void* arg)
    : m_epoll(::epoll_create1(EPOLL_CLOEXEC))
    , m_handler(handler)
    , m_arg(arg)
{
    int socket = -1;
    ForEachDescriptor([&](int fd) {
        if (socket < 0 && IsStreamSocketOn(fd, listening, true))
            socket = fd;
    });
    epoll_event event{};
    event.events = EPOLLIN | EPOLLET;
    m_armed = m_epoll && socket >= 0 && ::epoll_ctl(m_epoll.Get(), EPOLL_CTL_ADD, socket, &event) == 0
        && fd_listen(m_epoll.Get(), FD_READ, OnReadable, this) == 0;
}

ConnectionAlarm::~ConnectionAlarm()
{
    if (m_armed)
        fd_close(m_epoll.Get());
}

void ConnectionAlarm::OnReadable(int, void* arg)
{
    auto* self = static_cast<ConnectionAlarm*>(arg);
    epoll_event event{};
    ::epoll_wait(self->m_epoll.Get(), &event, 1, 0); // takes the edge: the set is quiet until the next
    self->m_handler(self->m_arg);
}

} // namespace tapi
