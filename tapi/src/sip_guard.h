#pragma once

#include "unique_fd.h"

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>

struct sa;

// What keeps a SIP line usable under a flood: a limit on new calls per source, and limits on the
// connections of a TCP or TLS line.

namespace tapi {

// New calls per source address (the port does not count): a token bucket each, so a source may
// start a burst of kBurst calls, then kPerSecond a second.
class CallRateLimit {
public:
    static constexpr double kBurst = 5;
    static constexpr double kPerSecond = 2;

    // Takes a token for a new call from `source` at `nowMs`; false when its bucket is empty.
    bool Admit(const sa& source, std::uint64_t nowMs);

private:
    struct Bucket {
        double tokens = kBurst;
        std::uint64_t lastMs = 0;
    };
    static double TokensAt(const Bucket& bucket, std::uint64_t nowMs);
    void ForgetFullBuckets(std::uint64_t nowMs);

    std::map<std::string, Bucket> m_buckets; // by address
};

// The connections a TCP or TLS line accepted, found by their descriptors, since libre takes every
// connection without asking: at most kPerSource from one address and kPerLine in all, and none
// that has not sent a whole SIP message within kFirstMessageMs of its start. Those beyond are shut
// down; libre then closes them as it would a peer's hang-up. So idle connections cannot use up the
// process's descriptors: kDescriptorReserve of them stay free for files, however few connections
// that leaves.
class ConnectionGuard {
public:
    static constexpr std::size_t kPerSource = 8;
    static constexpr std::size_t kPerLine = 64;
    static constexpr std::uint64_t kFirstMessageMs = 5000;
    static constexpr std::size_t kDescriptorReserve = 256;

    // `listening`: the line's SIP address and port.
    explicit ConnectionGuard(const sa& listening);
    ~ConnectionGuard();
    ConnectionGuard(const ConnectionGuard&) = delete;
    ConnectionGuard& operator=(const ConnectionGuard&) = delete;

    // A whole SIP message arrived from `peer` (libre's trace of what it received).
    void MessageFrom(const sa& peer);
    // Looks at the line's connections now and shuts down those beyond the limits.
    void Check(std::uint64_t nowMs);
    // Some connection has neither sent a message nor been shut down yet: it is still checked.
    bool Unsettled() const;

private:
    struct Connection {
        std::string peer; // address and port
        std::string source; // address
        std::uint64_t sinceMs = 0;
        bool spoke = false;
        bool shut = false;
    };
    // Finds the line's connections now; answers how many descriptors are open in all.
    std::size_t FindConnections(std::uint64_t nowMs);
    // How many connections the line may keep: kPerLine, less when the reserve needs it.
    std::size_t LineCap(std::size_t openDescriptors) const;
    void Shut(int fd, Connection& connection);

    std::unique_ptr<sa> m_listening;
    std::map<int, Connection> m_connections; // by descriptor
    std::set<std::string> m_spoken; // peers a message came from since the last check
};

// Calls `handler` on the stack's thread when a connection arrives at the listening socket of
// `listening` (libre accepts it, but tells nobody): an epoll set holding only that socket,
// edge-triggered, watched by libre's loop. Idle, it costs nothing.
class ConnectionAlarm {
public:
    using Handler = void (*)(void* arg);

    ConnectionAlarm(const sa& listening, Handler handler, void* arg);
    ~ConnectionAlarm();
    ConnectionAlarm(const ConnectionAlarm&) = delete;
    ConnectionAlarm& operator=(const ConnectionAlarm&) = delete;

    // False when the socket or the epoll set could not be had: nothing tells of arrivals.
    bool Armed() const { return m_armed; }

private:
    static void OnReadable(int flags, void* arg);

    UniqueFd m_epoll;
    Handler m_handler;
    void* m_arg;
    bool m_armed = false;
};

} // namespace tapi
