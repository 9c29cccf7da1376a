#include "platform/ima_adpcm.h"

#include <algorithm>
#include <array>

namespace platform {

namespace {

constexpr std::array<int, 16> kIndexStep = { -1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8 };
constexpr std::array<int, 89> kStepSize = { 7, 8, 9, 10, 11, 12, 13, 14, 16, 17, 19, 21, 23, 25, 28, 31, 34,
    37, 41, 45, 50, 55, 60, 66, 73, 80, 88, 97, 107, 118, 130, 143, 157, 173, 190, 209, 230, 253, 279, 307,
    337, 371, 408, 449, 494, 544, 598, 658, 724, 796, 876, 963, 1060, 1166, 1282, 1411, 1552, 1707, 1878,
    2066, 2272, 2499, 2749, 3024, 3327, 3660, 4026, 4428, 4871, 5358, 5894, 6484, 7132, 7845, 8630, 9493,
    10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767 };

// Predictor state of one channel; encoding and decoding update it the same way.
struct Channel {
    int predictor = 0;
    int index = 0;

    int Expand(int code)
    {
        const int step = kStepSize[std::size_t(index)];
        int diff = step >> 3;
        if (code & 1)
            diff += step >> 2;
        if (code & 2)
            diff += step >> 1;
        if (code & 4)
            diff += step;
        predictor = std::clamp(code & 8 ? predictor - diff : predictor + diff, -32768, 32767);
        index = std::clamp(index + kIndexStep[std::size_t(code)], 0, 88);
        return predictor;
    }

    int Quantize(int sample)
    {
        int diff = sample - predictor;
        int code = 0;
        if (diff < 0) {
            code = 8;
            diff = -diff;
        }
        int step = kStepSize[std::size_t(index)];
        for (int bit = 4; bit > 0; bit >>= 1, step >>= 1) {
            if (diff >= step) {
                code |= bit;
                diff -= step;
            }
        }
        Expand(code);
        return code;
    }
};

void WriteHeader(const Channel& channel, std::uint8_t* out)
{
    out[0] = std::uint8_t(channel.predictor & 0xFF);
    out[1] = std::uint8_t((channel.predictor >> 8) & 0xFF);
    out[2] = std::uint8_t(channel.index);
    out[3] = 0;
}

Channel ReadHeader(const std::uint8_t* in)
{
    Channel channel;
    channel.predictor = std::int16_t(std::uint16_t(in[0] | in[1] << 8));
    channel.index = std::clamp(int(in[2]), 0, 88);
    return channel;
}

} // namespace

std::size_t ImaAdpcm::SamplesPerBlock(std::size_t blockBytes, std::size_t channels)
{
    if (channels == 0 || blockBytes < 4 * channels)
        return 0;
    return (blockBytes - 4 * channels) * 2 / channels + 1;
}

void ImaAdpcm::EncodeMonoBlock(const std::int16_t* samples, std::size_t blockBytes, std::uint8_t* out)
{
    Channel channel;
    channel.predictor = samples[0];
    channel.index = m_index;
    WriteHeader(channel, out);
    const std::size_t codes = SamplesPerBlock(blockBytes, 1) - 1;
    for (std::size_t i = 0; i < codes; i += 2) {
        const int low = channel.Quantize(samples[1 + i]);
        const int high = channel.Quantize(samples[2 + i]);
        out[4 + i / 2] = std::uint8_t(low | high << 4);
    }
    m_index = channel.index;
}

void ImaAdpcm::DecodeBlock(
    const std::uint8_t* block, std::size_t blockBytes, std::size_t channels, std::int16_t* out)
{
    std::array<Channel, 8> state;
    const std::size_t frames = SamplesPerBlock(blockBytes, channels);
    for (std::size_t c = 0; c < channels; ++c) {
        state[c] = ReadHeader(block + 4 * c);
        out[c] = std::int16_t(state[c].predictor);
    }
    // Data: for each group of 8 frames, 4 bytes of channel 0, 4 bytes of channel 1, ...
    const std::uint8_t* data = block + 4 * channels;
    for (std::size_t group = 0; 1 + group * 8 < frames; ++group) {
        for (std::size_t c = 0; c < channels; ++c) {
            for (std::size_t k = 0; k < 8; ++k) {
                const std::uint8_t byte = data[(group * channels + c) * 4 + k / 2];
                const int code = k % 2 ? byte >> 4 : byte & 0x0F;
                out[(1 + group * 8 + k) * channels + c] = std::int16_t(state[c].Expand(code));
            }
        }
    }
}

} // namespace platform
