#pragma once

#include <cstdint>
#include <map>
#include <string>

struct sa;

// What keeps a SIP line usable under a flood: a limit on new calls per source.

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

} // namespace tapi
