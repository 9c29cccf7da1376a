#include "tone.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tapi {

namespace {

constexpr double kRate = 8000.0;
constexpr unsigned kSamplesPerMs = 8;

} // namespace

std::int16_t ToneSpec::Sample(std::uint64_t t) const
{
    if (offMs > 0) {
        const std::uint64_t period = std::uint64_t(onMs + offMs) * kSamplesPerMs;
        if (t % period >= std::uint64_t(onMs) * kSamplesPerMs)
            return 0;
    }
    // 0 dBm0 is 3.14 dB below a full-scale sine; the frequencies share the level.
    const double amplitude = 32767.0 * std::pow(10.0, (levelDbm0 - 3.14) / 20.0);
    double value = 0;
    for (double frequency : frequencies)
        value += std::sin(2 * std::numbers::pi * frequency * double(t) / kRate);
    if (!frequencies.empty())
        value *= amplitude / double(frequencies.size());
    return static_cast<std::int16_t>(std::clamp(value, -32768.0, 32767.0));
}

std::vector<std::int16_t> ToneSpec::Render(unsigned durationMs) const
{
    std::vector<std::int16_t> samples(std::size_t(durationMs) * kSamplesPerMs);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = Sample(i);
    return samples;
}

ToneSpec ToneSpec::DialTone()
{
    return { { 350, 440 }, 0, 0, -13 };
}
ToneSpec ToneSpec::Ringback()
{
    return { { 440, 480 }, 2000, 4000, -19 };
}
ToneSpec ToneSpec::Busy()
{
    return { { 480, 620 }, 500, 500, -24 };
}
// A short burst every ten seconds while a second caller waits.
ToneSpec ToneSpec::CallWaiting()
{
    return { { 440 }, 300, 9700, -13 };
}
ToneSpec ToneSpec::Beep()
{
    return { { 1000 }, 0, 0, -10 };
}

std::int16_t MixSamples(std::int16_t a, std::int16_t b)
{
    return static_cast<std::int16_t>(std::clamp(int(a) + int(b), -32768, 32767));
}

} // namespace tapi
