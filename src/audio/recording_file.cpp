#include "audio/recording_file.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace RecordingFile {

namespace {

// Where the three sizes sit in the header.
constexpr LONG kRiffSizeAt = 4;
constexpr LONG kFormatAt = 20;
constexpr LONG kSamplesAt = 78;
constexpr LONG kDataSizeAt = 86;

using Header = std::array<std::uint8_t, kHeaderBytes>;

std::uint32_t Le32(const Header& bytes, std::size_t at)
{
    return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 | std::uint32_t(bytes[at + 2]) << 16
        | std::uint32_t(bytes[at + 3]) << 24;
}

bool WriteDword(HMMIO file, LONG at, DWORD value)
{
    const char bytes[4]
        = { char(value & 0xFF), char(value >> 8 & 0xFF), char(value >> 16 & 0xFF), char(value >> 24) };
    return mmioSeek(file, at, SEEK_SET) == at && mmioWrite(file, bytes, 4) == 4;
}

bool CreateChunk(HMMIO file, MMCKINFO& chunk, FOURCC id, DWORD size, UINT flags = 0)
{
    chunk = MMCKINFO{};
    chunk.ckid = id;
    chunk.fccType = kFourccWave;
    chunk.cksize = size;
    return mmioCreateChunk(file, &chunk, flags) == MMSYSERR_NOERROR;
}

std::uint16_t SamplesPerBlock(const WAVEFORMATEX& f)
{
    if (f.cbSize < 2)
        return 0;
    const auto* extra = reinterpret_cast<const std::uint8_t*>(&f) + sizeof(WAVEFORMATEX);
    return std::uint16_t(extra[0] | extra[1] << 8);
}

// The layout the recorder writes, whatever the sizes say.
bool IsRecorderHeader(const Header& h)
{
    return Le32(h, 0) == FOURCC_RIFF && Le32(h, 8) == kFourccWave && Le32(h, 12) == kFourccFmt
        && Le32(h, 16) == kFormatBytes && Le32(h, 70) == kFourccFact && Le32(h, 74) == 4
        && Le32(h, 82) == kFourccData;
}

// The sizes of a file the recorder finished (the data runs to the end, with the pad byte of odd
// data, and the RIFF size counts both), or of one repaired already.
bool IsFinished(DWORD riffSize, DWORD dataBytes, DWORD present, DWORD playable)
{
    const DWORD pad = dataBytes & 1;
    const bool finished = dataBytes <= kMaxDataBytes && dataBytes + pad == present
        && riffSize == dataBytes + kRiffOverhead + pad;
    return finished || (dataBytes == playable && riffSize == playable + kRiffOverhead);
}

} // namespace

DWORD SampleCount(const WAVEFORMATEX& f, DWORD dataBytes)
{
    if (const std::uint16_t perBlock = SamplesPerBlock(f); perBlock > 0 && f.nBlockAlign > 0)
        return dataBytes / f.nBlockAlign * perBlock;
    if (f.nAvgBytesPerSec == 0)
        return 0;
    return DWORD(double(dataBytes) / double(f.nAvgBytesPerSec) * double(f.nSamplesPerSec));
}

DWORD PlayableBytes(const WAVEFORMATEX& f, DWORD dataBytes)
{
    const DWORD block = std::max<DWORD>(f.nBlockAlign, 1);
    const DWORD unit = block % 2 == 0 ? block : 2 * block;
    return dataBytes - dataBytes % unit;
}

bool WriteHeader(HMMIO file, const std::uint8_t* format, DWORD riffSize, DWORD samples, DWORD dataBytes)
{
    MMCKINFO riff, fmt, fact, data;
    if (!CreateChunk(file, riff, FOURCC_RIFF, riffSize, MMIO_CREATERIFF)
        || !CreateChunk(file, fmt, kFourccFmt, kFormatBytes))
        return false;
    if (mmioWrite(file, reinterpret_cast<const char*>(format), kFormatBytes) != LONG(kFormatBytes)
        || mmioAscend(file, &fmt, 0) != MMSYSERR_NOERROR)
        return false;
    const char count[4] = { char(samples & 0xFF), char(samples >> 8 & 0xFF), char(samples >> 16 & 0xFF),
        char(samples >> 24) };
    return CreateChunk(file, fact, kFourccFact, 4) && mmioWrite(file, count, 4) == 4
        && mmioAscend(file, &fact, 0) == MMSYSERR_NOERROR && CreateChunk(file, data, kFourccData, dataBytes);
}

// The seek away from the end hands the buffered audio to the system before the new sizes, so a
// file cut off at any moment never claims audio it does not hold.
bool WriteSizes(HMMIO file, DWORD riffSize, DWORD samples, DWORD dataBytes)
{
    return WriteDword(file, kRiffSizeAt, riffSize) && WriteDword(file, kSamplesAt, samples)
        && WriteDword(file, kDataSizeAt, dataBytes) && mmioSeek(file, 0, SEEK_END) >= 0;
}

RepairInfo Repair(const std::string& path)
{
    RepairInfo info;
    MmioHandle file(mmioOpen(path.c_str(), nullptr, MMIO_READWRITE | MMIO_ALLOCBUF));
    Header header{};
    if (!file
        || mmioRead(file.get(), reinterpret_cast<char*>(header.data()), LONG(kHeaderBytes))
            != LONG(kHeaderBytes)
        || !IsRecorderHeader(header))
        return info;
    alignas(WAVEFORMATEX) std::array<std::uint8_t, kFormatBytes> format{};
    std::memcpy(format.data(), header.data() + kFormatAt, kFormatBytes);
    const WAVEFORMATEX& f = *reinterpret_cast<const WAVEFORMATEX*>(format.data());
    const LONG length = mmioSeek(file.get(), 0, SEEK_END);
    if (length < LONG(kHeaderBytes))
        return info;
    const DWORD present = std::min<DWORD>(DWORD(length) - kHeaderBytes, kMaxDataBytes);
    const DWORD samples = Le32(header, kSamplesAt);
    const DWORD playable = PlayableBytes(f, present);
    info.dataBytes = Le32(header, kDataSizeAt);
    if (IsFinished(Le32(header, kRiffSizeAt), info.dataBytes, present, playable)) {
        info.result = RepairResult::Finished;
    } else {
        info.dataBytes = playable;
        // A plain PCM recording counts no samples; every other one counts what it holds.
        const DWORD count
            = f.wFormatTag == WAVE_FORMAT_PCM && samples == 0 ? 0 : SampleCount(f, info.dataBytes);
        const bool written = WriteSizes(file.get(), info.dataBytes + kRiffOverhead, count, info.dataBytes)
            && mmioClose(file.release(), 0) == MMSYSERR_NOERROR;
        info.result = written ? RepairResult::Repaired : RepairResult::Failed;
    }
    if (f.nAvgBytesPerSec > 0)
        info.lengthMs = std::uint32_t(std::uint64_t(info.dataBytes) * 1000 / f.nAvgBytesPerSec);
    return info;
}

} // namespace RecordingFile
