#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// The IMA ADPCM block layout of WAVE files: per channel a 4-byte header (first sample, step index,
// a zero byte), then the 4-bit codes, low nibble first, in groups of 4 bytes (8 samples) per
// channel in turn. Mono blocks of 256 bytes hold 505 samples.
class ImaAdpcm {
public:
    static std::size_t SamplesPerBlock(std::size_t blockBytes, std::size_t channels);
    // Encodes one mono block; the step index carries over from block to block.
    void EncodeMonoBlock(const std::int16_t* samples, std::size_t blockBytes, std::uint8_t* out);
    // Decodes one block into interleaved samples; each block carries its own start state.
    static void DecodeBlock(
        const std::uint8_t* block, std::size_t blockBytes, std::size_t channels, std::int16_t* out);

private:
    int m_index = 0;
};

} // namespace platform
