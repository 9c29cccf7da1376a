#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace testing_support {

inline std::vector<std::int16_t> Tone(
    std::size_t count, double hz = 1000, double amplitude = 16000, double rate = 8000)
{
    std::vector<std::int16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i)
        samples[i] = std::int16_t(std::lround(amplitude * std::sin(2 * M_PI * hz * double(i) / rate)));
    return samples;
}

// Power at `hz` relative to the whole signal's power (1 for a pure tone), by the Goertzel filter.
inline double ToneShare(
    const std::vector<std::int16_t>& s, std::size_t from, std::size_t count, double hz, double rate = 8000)
{
    const double w = 2 * M_PI * hz / rate;
    double s1 = 0, s2 = 0, total = 0;
    for (std::size_t i = from; i < from + count; ++i) {
        const double s0 = s[i] + 2 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s0;
        total += double(s[i]) * s[i];
    }
    const double power = s1 * s1 + s2 * s2 - 2 * std::cos(w) * s1 * s2;
    return total > 0 ? 2 * power / (double(count) * total) : 0;
}

// Signal-to-noise ratio in dB of `decoded` against `original`, at the lag (0 to 64 samples) that
// matches best, over `count` samples from `from`.
inline double SnrDb(const std::vector<std::int16_t>& original, const std::vector<std::int16_t>& decoded,
    std::size_t from, std::size_t count)
{
    double best = -1e9;
    for (std::size_t lag = 0; lag <= 64 && from + lag + count <= decoded.size(); ++lag) {
        double signal = 0, noise = 0;
        for (std::size_t i = from; i < from + count; ++i) {
            const double d = double(decoded[i + lag]) - original[i];
            signal += double(original[i]) * original[i];
            noise += d * d;
        }
        best = std::max(best, 10 * std::log10(signal / std::max(noise, 1e-9)));
    }
    return best;
}

} // namespace testing_support
