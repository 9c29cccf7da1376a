#include "sip_guard.h"

#include "libre.h"

#include <algorithm>

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

} // namespace tapi
