#include "platform/audio_codec.h"

#include "platform/ima_adpcm.h"

#include <algorithm>
#include <cmath>
#include <cstring>

// The spandsp headers come last (they define macros that clash with <cmath>), telephony.h first
// since the others need it.
#include <spandsp/telephony.h>
// clang-format off
#include <spandsp/bit_operations.h>
#include <spandsp/g711.h>
#include <spandsp/gsm0610.h>
// clang-format on

namespace platform {

namespace {

constexpr std::size_t kGsmFrames = 320;
constexpr std::size_t kGsmBlockBytes = 65;
constexpr std::size_t kImaMonoBlockBytes = 256;
// Above any real recording; a device asked for a rate from a damaged header could be made to move
// billions of frames a second.
constexpr std::uint32_t kMaxRate = 768000;

std::uint16_t ExtraWord(const std::uint8_t* extra, std::size_t extraBytes, std::size_t offset)
{
    return offset + 2 <= extraBytes ? std::uint16_t(extra[offset] | extra[offset + 1] << 8) : 0;
}

// ---- encoders (16-bit mono in) ----

class Pcm16Encoder : public AudioEncoder {
public:
    Pcm16Encoder()
        : AudioEncoder(1, 2)
    {
    }
    void EncodeBlock(const std::int16_t* s, std::uint8_t* out) override
    {
        out[0] = std::uint8_t(*s & 0xFF);
        out[1] = std::uint8_t((*s >> 8) & 0xFF);
    }
};

class Pcm8Encoder : public AudioEncoder {
public:
    Pcm8Encoder()
        : AudioEncoder(1, 1)
    {
    }
    void EncodeBlock(const std::int16_t* s, std::uint8_t* out) override
    {
        // Rounds to the nearest 8-bit step; 8-bit PCM is unsigned with its zero at 128.
        out[0] = std::uint8_t(std::min((*s + 32768 + 128) >> 8, 255));
    }
};

template <std::uint8_t (*Compand)(int)> class G711Encoder : public AudioEncoder {
public:
    G711Encoder()
        : AudioEncoder(1, 1)
    {
    }
    void EncodeBlock(const std::int16_t* s, std::uint8_t* out) override { out[0] = Compand(*s); }
};

class ImaAdpcmEncoder : public AudioEncoder {
public:
    explicit ImaAdpcmEncoder(std::size_t blockBytes)
        : AudioEncoder(ImaAdpcm::SamplesPerBlock(blockBytes, 1), blockBytes)
        , m_blockBytes(blockBytes)
    {
    }
    void EncodeBlock(const std::int16_t* s, std::uint8_t* out) override
    {
        m_coder.EncodeMonoBlock(s, m_blockBytes, out);
    }

private:
    std::size_t m_blockBytes;
    ImaAdpcm m_coder;
};

struct GsmStateDeleter {
    void operator()(gsm0610_state_t* s) const { gsm0610_free(s); }
};
using GsmState = std::unique_ptr<gsm0610_state_t, GsmStateDeleter>;

// Two GSM 06.10 frames packed into 65 bytes, the layout WAVE files use. A finished stream holds an
// even number of blocks: readers count an odd-sized data chunk up to the next block.
class GsmEncoder : public AudioEncoder {
public:
    GsmEncoder()
        : AudioEncoder(kGsmFrames, kGsmBlockBytes, 2)
        , m_state(gsm0610_init(nullptr, GSM0610_PACKING_WAV49))
    {
    }
    void EncodeBlock(const std::int16_t* s, std::uint8_t* out) override
    {
        gsm0610_encode(m_state.get(), out, s, int(kGsmFrames));
    }

private:
    GsmState m_state;
};

// ---- decoders (interleaved 16-bit out) ----

// Integer PCM of 8 to 32 bits and 32-bit float, any channel count, one frame per block.
class PcmDecoder : public AudioDecoder {
public:
    PcmDecoder(std::size_t channels, std::size_t bytesPerSample, bool isFloat)
        : AudioDecoder(1, channels * bytesPerSample, channels)
        , m_bytes(bytesPerSample)
        , m_float(isFloat)
    {
    }
    void DecodeBlock(const std::uint8_t* block, std::int16_t* out) override
    {
        for (std::size_t c = 0; c < Channels(); ++c)
            out[c] = Sample(block + c * m_bytes);
    }

private:
    std::int16_t Sample(const std::uint8_t* p) const
    {
        if (m_bytes == 1)
            return std::int16_t((p[0] - 128) * 256);
        if (m_float) {
            float f;
            std::memcpy(&f, p, 4);
            return std::int16_t(std::lround(std::clamp(f, -1.0f, 1.0f) * 32767.0f));
        }
        // The two most significant bytes are the last two of a little-endian sample.
        return std::int16_t(std::uint16_t(p[m_bytes - 2] | p[m_bytes - 1] << 8));
    }

    std::size_t m_bytes;
    bool m_float;
};

template <std::int16_t (*Expand)(std::uint8_t)> class G711Decoder : public AudioDecoder {
public:
    explicit G711Decoder(std::size_t channels)
        : AudioDecoder(1, channels, channels)
    {
    }
    void DecodeBlock(const std::uint8_t* block, std::int16_t* out) override
    {
        for (std::size_t c = 0; c < Channels(); ++c)
            out[c] = Expand(block[c]);
    }
};

class ImaAdpcmDecoder : public AudioDecoder {
public:
    ImaAdpcmDecoder(std::size_t blockBytes, std::size_t channels)
        : AudioDecoder(ImaAdpcm::SamplesPerBlock(blockBytes, channels), blockBytes, channels)
    {
    }
    void DecodeBlock(const std::uint8_t* block, std::int16_t* out) override
    {
        ImaAdpcm::DecodeBlock(block, BlockBytes(), Channels(), out);
    }
};

class GsmDecoder : public AudioDecoder {
public:
    GsmDecoder()
        : AudioDecoder(kGsmFrames, kGsmBlockBytes, 1)
    {
        Restart();
    }
    void DecodeBlock(const std::uint8_t* block, std::int16_t* out) override
    {
        gsm0610_decode(m_state.get(), out, block, int(kGsmBlockBytes));
    }
    void Restart() override { m_state.reset(gsm0610_init(nullptr, GSM0610_PACKING_WAV49)); }

private:
    GsmState m_state;
};

bool IsSupportedPcm(WORD bits, WORD blockAlign, WORD channels)
{
    return (bits == 8 || bits == 16 || bits == 24 || bits == 32) && blockAlign == channels * (bits / 8);
}

std::unique_ptr<AudioDecoder> MakePcmDecoder(WORD tag, const WAVEFORMATEX& f)
{
    if (tag == WAVE_FORMAT_IEEE_FLOAT)
        return f.wBitsPerSample == 32 && f.nBlockAlign == f.nChannels * 4
            ? std::make_unique<PcmDecoder>(f.nChannels, 4, true)
            : nullptr;
    return IsSupportedPcm(f.wBitsPerSample, f.nBlockAlign, f.nChannels)
        ? std::make_unique<PcmDecoder>(f.nChannels, f.wBitsPerSample / 8, false)
        : nullptr;
}

bool IsImaBlock(const WAVEFORMATEX& f)
{
    const std::size_t header = 4 * std::size_t(f.nChannels);
    return f.nChannels <= 2 && f.wBitsPerSample == 4 && f.nBlockAlign > header
        && (f.nBlockAlign - header) % header == 0;
}

} // namespace

AudioEncoder::AudioEncoder(std::size_t samplesPerBlock, std::size_t blockBytes, std::size_t flushMultiple)
    : m_samplesPerBlock(samplesPerBlock)
    , m_blockBytes(blockBytes)
    , m_flushMultiple(flushMultiple)
{
    m_pending.reserve(samplesPerBlock);
}

std::size_t AudioEncoder::MaxOutput(std::size_t samples) const
{
    // At most one block less one sample can be kept from before; a flush may add padding blocks.
    const std::size_t total = samples + m_samplesPerBlock - 1;
    const std::size_t blocks = (total + m_samplesPerBlock - 1) / m_samplesPerBlock + m_flushMultiple - 1;
    return blocks * m_blockBytes;
}

// Completes the kept samples with silence and encodes them as one block.
std::size_t AudioEncoder::EncodeKept(std::uint8_t* out)
{
    m_pending.resize(m_samplesPerBlock, 0);
    EncodeBlock(m_pending.data(), out);
    m_pending.clear();
    ++m_blocks;
    return m_blockBytes;
}

std::size_t AudioEncoder::Encode(
    const std::int16_t* samples, std::size_t count, std::uint8_t* out, bool flush)
{
    std::size_t written = 0;
    // Complete a block begun by an earlier call first.
    if (!m_pending.empty()) {
        const std::size_t take = std::min(count, m_samplesPerBlock - m_pending.size());
        m_pending.insert(m_pending.end(), samples, samples + take);
        samples += take;
        count -= take;
        if (m_pending.size() < m_samplesPerBlock && !flush)
            return 0;
        written += EncodeKept(out);
    }
    for (; count >= m_samplesPerBlock; count -= m_samplesPerBlock, samples += m_samplesPerBlock) {
        EncodeBlock(samples, out + written);
        written += m_blockBytes;
        ++m_blocks;
    }
    m_pending.assign(samples, samples + count);
    if (flush) {
        if (!m_pending.empty())
            written += EncodeKept(out + written);
        while (m_blocks % m_flushMultiple != 0)
            written += EncodeKept(out + written);
    }
    return written;
}

std::unique_ptr<AudioEncoder> MakeEncoder(const WAVEFORMATEX& f)
{
    if (f.nChannels != 1 || f.nSamplesPerSec != 8000)
        return nullptr;
    switch (f.wFormatTag) {
    case WAVE_FORMAT_PCM:
        if (f.wBitsPerSample == 16 && f.nBlockAlign == 2)
            return std::make_unique<Pcm16Encoder>();
        if (f.wBitsPerSample == 8 && f.nBlockAlign == 1)
            return std::make_unique<Pcm8Encoder>();
        return nullptr;
    case WAVE_FORMAT_ALAW:
        return f.nBlockAlign == 1 ? std::make_unique<G711Encoder<linear_to_alaw>>() : nullptr;
    case WAVE_FORMAT_MULAW:
        return f.nBlockAlign == 1 ? std::make_unique<G711Encoder<linear_to_ulaw>>() : nullptr;
    case WAVE_FORMAT_IMA_ADPCM:
        return f.nBlockAlign == kImaMonoBlockBytes ? std::make_unique<ImaAdpcmEncoder>(f.nBlockAlign)
                                                   : nullptr;
    case WAVE_FORMAT_GSM610:
        return f.nBlockAlign == kGsmBlockBytes ? std::make_unique<GsmEncoder>() : nullptr;
    default:
        return nullptr;
    }
}

std::unique_ptr<AudioDecoder> MakeDecoder(
    const WAVEFORMATEX& f, const std::uint8_t* extra, std::size_t extraBytes)
{
    if (f.nChannels == 0 || f.nChannels > 8 || f.nSamplesPerSec == 0 || f.nSamplesPerSec > kMaxRate
        || f.nBlockAlign == 0)
        return nullptr;
    WORD tag = f.wFormatTag;
    // The extensible record names the real format in the first two bytes of its sub-format.
    if (tag == WAVE_FORMAT_EXTENSIBLE)
        tag = ExtraWord(extra, extraBytes, 6);
    switch (tag) {
    case WAVE_FORMAT_PCM:
    case WAVE_FORMAT_IEEE_FLOAT:
        return MakePcmDecoder(tag, f);
    case WAVE_FORMAT_ALAW:
        return f.nBlockAlign == f.nChannels ? std::make_unique<G711Decoder<alaw_to_linear>>(f.nChannels)
                                            : nullptr;
    case WAVE_FORMAT_MULAW:
        return f.nBlockAlign == f.nChannels ? std::make_unique<G711Decoder<ulaw_to_linear>>(f.nChannels)
                                            : nullptr;
    case WAVE_FORMAT_IMA_ADPCM:
        return IsImaBlock(f) ? std::make_unique<ImaAdpcmDecoder>(f.nBlockAlign, f.nChannels) : nullptr;
    case WAVE_FORMAT_GSM610:
        return f.nChannels == 1 && f.nBlockAlign == kGsmBlockBytes ? std::make_unique<GsmDecoder>() : nullptr;
    default:
        return nullptr;
    }
}

} // namespace platform
