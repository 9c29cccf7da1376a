#pragma once

#include <cstdint>
#include <vector>

namespace tapi {

// A tone of up to three frequencies with an on/off cadence (off 0 = continuous), as the exchange
// plays it: dial tone, ring back, busy, beeps and the far end's test tones.
struct ToneSpec {
    std::vector<double> frequencies;
    unsigned onMs = 0;
    unsigned offMs = 0;
    int levelDbm0 = -10;

    // The sample at position t (8,000 Hz) of the endless tone.
    std::int16_t Sample(std::uint64_t t) const;
    std::vector<std::int16_t> Render(unsigned durationMs) const;

    static ToneSpec DialTone();
    static ToneSpec Ringback();
    static ToneSpec Busy();
    static ToneSpec Beep();
    static ToneSpec CallWaiting();
};

// Adds b to a, clipping at the 16-bit limits.
std::int16_t MixSamples(std::int16_t a, std::int16_t b);

} // namespace tapi
