#pragma once

#include "tapi/include/tapisim.h"

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

// Sounds for the far end of a simulated line and what the far end heard, for scenario tests.
namespace testing_support {

inline constexpr std::size_t kSamplesPerMs = 8;

// Noise-like sound: any run of a few hundred samples occurs once, so finding a run in a recording
// proves where the recorded sound came from.
inline std::vector<std::int16_t> Noise(unsigned seed, unsigned ms)
{
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> sample(-6000, 6000);
    std::vector<std::int16_t> samples(ms * kSamplesPerMs);
    for (std::int16_t& s : samples)
        s = std::int16_t(sample(generator));
    return samples;
}

// True when the samples from `fromMs` to `toMs` of `sound` occur, unchanged, in `heard`.
inline bool ContainsPart(const std::vector<std::int16_t>& heard, const std::vector<std::int16_t>& sound,
    unsigned fromMs, unsigned toMs)
{
    const auto first = sound.begin() + std::ptrdiff_t(fromMs * kSamplesPerMs);
    const auto last = sound.begin() + std::ptrdiff_t(toMs * kSamplesPerMs);
    return std::search(heard.begin(), heard.end(), first, last) != heard.end();
}

// Everything the far end of the line heard.
inline std::vector<std::int16_t> Heard(DWORD line)
{
    std::vector<std::int16_t> samples(std::size_t(tapisimGetHeardAudio(line, nullptr, 0)));
    tapisimGetHeardAudio(line, samples.data(), DWORD(samples.size()));
    return samples;
}

// The digits and tones generated towards the far end, one per line.
inline std::string Generated(DWORD line)
{
    char text[512] = {};
    tapisimGetGeneratedLog(line, text, sizeof text);
    return text;
}

} // namespace testing_support
