#pragma once

#include "platform/mmsystem.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace platform {

inline constexpr WORD WAVE_FORMAT_IEEE_FLOAT = 0x0003;
inline constexpr WORD WAVE_FORMAT_ALAW = 0x0006;
inline constexpr WORD WAVE_FORMAT_MULAW = 0x0007;
inline constexpr WORD WAVE_FORMAT_IMA_ADPCM = 0x0011;
inline constexpr WORD WAVE_FORMAT_GSM610 = 0x0031;
inline constexpr WORD WAVE_FORMAT_EXTENSIBLE = 0xFFFE;

// Turns 16-bit mono samples into a coded format, block by block. Samples that do not fill a whole
// block are kept for the next call, so a stream of buffers of any size loses nothing; `flush`
// completes the last block with silence.
class AudioEncoder {
public:
    // `flushMultiple`: a flushed stream ends after a multiple of that many blocks (silent blocks
    // are added), for formats whose readers count blocks in pairs.
    AudioEncoder(std::size_t samplesPerBlock, std::size_t blockBytes, std::size_t flushMultiple = 1);
    virtual ~AudioEncoder() = default;

    // The most bytes that one call with `samples` input samples can produce, whatever an earlier
    // call left kept, with or without `flush`.
    std::size_t MaxOutput(std::size_t samples) const;
    // The input samples that make up `codedBytes` of whole blocks.
    std::size_t SourceFor(std::size_t codedBytes) const
    {
        return codedBytes / m_blockBytes * m_samplesPerBlock;
    }
    // Encodes into `out` (at least MaxOutput(count) bytes) and returns the bytes written.
    std::size_t Encode(const std::int16_t* samples, std::size_t count, std::uint8_t* out, bool flush);

protected:
    virtual void EncodeBlock(const std::int16_t* samples, std::uint8_t* out) = 0;

private:
    std::size_t EncodeKept(std::uint8_t* out);

    std::size_t m_samplesPerBlock;
    std::size_t m_blockBytes;
    std::size_t m_flushMultiple;
    std::size_t m_blocks = 0;
    std::vector<std::int16_t> m_pending;
};

// Turns whole blocks of a coded format into interleaved 16-bit frames.
class AudioDecoder {
public:
    AudioDecoder(std::size_t framesPerBlock, std::size_t blockBytes, std::size_t channels)
        : m_framesPerBlock(framesPerBlock)
        , m_blockBytes(blockBytes)
        , m_channels(channels)
    {
    }
    virtual ~AudioDecoder() = default;

    std::size_t FramesPerBlock() const { return m_framesPerBlock; }
    std::size_t BlockBytes() const { return m_blockBytes; }
    std::size_t Channels() const { return m_channels; }
    // Decodes one block of BlockBytes() into FramesPerBlock() * Channels() samples.
    virtual void DecodeBlock(const std::uint8_t* block, std::int16_t* out) = 0;
    // Forgets what earlier blocks left in the decoder (after a seek).
    virtual void Restart() { }

private:
    std::size_t m_framesPerBlock;
    std::size_t m_blockBytes;
    std::size_t m_channels;
};

// An encoder from 16-bit mono PCM to `format`, or null when the format is not one we write.
std::unique_ptr<AudioEncoder> MakeEncoder(const WAVEFORMATEX& format);
// A decoder for a format read from a file (`format` followed by `extraBytes` of extra data), or null
// when the format is not supported or its fields do not fit together.
std::unique_ptr<AudioDecoder> MakeDecoder(
    const WAVEFORMATEX& format, const std::uint8_t* extra, std::size_t extraBytes);

} // namespace platform
