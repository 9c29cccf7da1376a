#include "wave_file.h"

#include "platform/regular_file.h"

#include <cstring>

namespace tapi {

namespace {

constexpr std::uint32_t kLineRate = 8000;
constexpr std::size_t kMaxFileBytes = 64u << 20;

struct PcmInfo {
    std::uint16_t channels = 0;
    std::uint32_t rate = 0;
    std::uint16_t bits = 0;
};

std::uint32_t Le32(const unsigned char* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24;
}
std::uint16_t Le16(const unsigned char* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

bool ParseFormat(const unsigned char* chunk, std::uint32_t size, PcmInfo& info, std::string& error)
{
    if (size < 16) {
        error = "the format chunk is too short";
        return false;
    }
    if (Le16(chunk) != 1) {
        error = "only PCM WAVE files can be played into a line";
        return false;
    }
    info.channels = Le16(chunk + 2);
    info.rate = Le32(chunk + 4);
    info.bits = Le16(chunk + 14);
    if (info.channels < 1 || info.channels > 2 || (info.bits != 8 && info.bits != 16) || info.rate < 4000
        || info.rate > 48000) {
        error = "unsupported PCM format (8 or 16 bit, mono or stereo, 4000 to 48000 Hz)";
        return false;
    }
    return true;
}

std::vector<std::int16_t> ToMono16(const unsigned char* data, std::size_t bytes, const PcmInfo& info)
{
    const std::size_t frameBytes = std::size_t(info.bits / 8) * info.channels;
    std::vector<std::int16_t> mono(bytes / frameBytes);
    for (std::size_t i = 0; i < mono.size(); ++i) {
        int sum = 0;
        for (std::size_t c = 0; c < info.channels; ++c) {
            const unsigned char* p = data + i * frameBytes + c * (info.bits / 8);
            sum += info.bits == 8 ? (int(p[0]) - 128) << 8 : static_cast<std::int16_t>(Le16(p));
        }
        mono[i] = static_cast<std::int16_t>(sum / info.channels);
    }
    return mono;
}

std::vector<std::int16_t> Resample(const std::vector<std::int16_t>& in, std::uint32_t rate)
{
    if (rate == kLineRate || in.empty())
        return in;
    const std::size_t count = in.size() * kLineRate / rate;
    std::vector<std::int16_t> out(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double position = double(i) * rate / kLineRate;
        const auto index = static_cast<std::size_t>(position);
        const double fraction = position - double(index);
        const int a = in[std::min(index, in.size() - 1)];
        const int b = in[std::min(index + 1, in.size() - 1)];
        out[i] = static_cast<std::int16_t>(a + (b - a) * fraction);
    }
    return out;
}


} // namespace

bool ReadWaveFileAsLineAudio(
    const std::filesystem::path& path, std::vector<std::int16_t>& samples, std::string& error)
{
    std::string bytes;
    switch (platform::ReadRegularFile(path.string(), kMaxFileBytes, bytes, error)) {
    case platform::FileRead::Missing:
        error = path.string() + " does not exist";
        return false;
    case platform::FileRead::Refused:
        error = path.string() + " " + error;
        return false;
    case platform::FileRead::Read:
        break;
    }
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0
        || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        error = path.string() + " is not a WAVE file";
        return false;
    }
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    PcmInfo info;
    bool haveFormat = false;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::uint32_t chunkSize = Le32(data + at + 4);
        const unsigned char* body = data + at + 8;
        const std::size_t available = std::min<std::size_t>(chunkSize, bytes.size() - at - 8);
        if (std::memcmp(data + at, "fmt ", 4) == 0) {
            if (!ParseFormat(body, static_cast<std::uint32_t>(available), info, error))
                return false;
            haveFormat = true;
        } else if (std::memcmp(data + at, "data", 4) == 0) {
            if (!haveFormat) {
                error = "the data chunk comes before the format chunk";
                return false;
            }
            samples = Resample(ToMono16(body, available, info), info.rate);
            return true;
        }
        at += 8 + std::size_t(chunkSize) + (chunkSize & 1);
    }
    error = path.string() + " has no audio data";
    return false;
}

} // namespace tapi
