#include "platform/wave_file_reader.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace platform {

namespace {

constexpr std::size_t kMaxExtra = 64;
constexpr int kMaxChunks = 256;

// The size of a regular file; anything else (a folder, a FIFO, a device) is no WAVE file.
MCIERROR RegularFileSize(const std::string& path, std::uint64_t& size)
{
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status))
        return MCIERR_FILE_NOT_FOUND;
    if (!std::filesystem::is_regular_file(status))
        return MCIERR_INVALID_FILE;
    size = std::filesystem::file_size(path, error);
    return error ? MCIERR_FILE_NOT_FOUND : MMSYSERR_NOERROR;
}

std::uint32_t Le32(const char* p)
{
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return b[0] | b[1] << 8 | b[2] << 16 | std::uint32_t(b[3]) << 24;
}

// Reads the 12-byte RIFF header; a file that does not start as RIFF/WAVE is refused at once.
bool ReadRiffHeader(HMMIO file, std::uint64_t fileSize, MMCKINFO& riff)
{
    char header[12];
    if (mmioRead(file, header, 12) != 12 || Le32(header) != FOURCC_RIFF || Le32(header + 8) != kFourccWave)
        return false;
    riff.ckid = FOURCC_RIFF;
    riff.dwDataOffset = 8;
    riff.fccType = kFourccWave;
    // A RIFF size that runs past the file (a recording cut short) is read up to the file's end.
    riff.cksize = DWORD(std::min<std::uint64_t>(Le32(header + 4), fileSize - 8));
    return true;
}

bool FitsIn(const MMCKINFO& chunk, std::uint64_t end)
{
    return std::uint64_t(chunk.dwDataOffset) + chunk.cksize <= end;
}

} // namespace

MCIERROR WaveFileReader::Open(const std::string& path)
{
    *this = WaveFileReader();
    std::uint64_t size = 0;
    if (const MCIERROR error = RegularFileSize(path, size))
        return error;
    m_file.reset(mmioOpen(path.c_str(), nullptr, MMIO_READ | MMIO_ALLOCBUF));
    if (!m_file)
        return MCIERR_FILE_NOT_FOUND;
    MMCKINFO riff{};
    if (!ReadRiffHeader(m_file.get(), size, riff))
        return MCIERR_INVALID_FILE;
    if (const MCIERROR error = ReadFormat(riff))
        return error;
    const std::uint64_t factFrames = FactFrames(riff);
    if (const MCIERROR error = FindData(riff))
        return error;
    if (factFrames > 0 && factFrames < m_frames)
        m_frames = factFrames;
    return Seek(0) ? MMSYSERR_NOERROR : MCIERR_INVALID_FILE;
}

// Looks at no more than kMaxChunks chunks: a file of countless tiny chunks, or of zeros, is
// refused at once rather than walked 8 bytes at a time to its end.
bool WaveFileReader::FindChunk(const MMCKINFO& riff, FOURCC id, MMCKINFO& chunk)
{
    if (mmioSeek(m_file.get(), LONG(riff.dwDataOffset + 4), SEEK_SET) < 0)
        return false;
    for (int seen = 0; seen < kMaxChunks; ++seen) {
        if (mmioDescend(m_file.get(), &chunk, &riff, 0) != MMSYSERR_NOERROR)
            return false;
        if (chunk.ckid == id)
            return true;
        if (mmioAscend(m_file.get(), &chunk, 0) != MMSYSERR_NOERROR)
            return false;
    }
    return false;
}

MCIERROR WaveFileReader::ReadFormat(const MMCKINFO& riff)
{
    MMCKINFO fmt{};
    if (!FindChunk(riff, kFourccFmt, fmt) || fmt.cksize < 16
        || !FitsIn(fmt, std::uint64_t(riff.dwDataOffset) + riff.cksize))
        return MCIERR_INVALID_FILE;
    std::vector<char> bytes(std::min<std::size_t>(fmt.cksize, sizeof(WAVEFORMATEX) + kMaxExtra));
    if (mmioRead(m_file.get(), bytes.data(), LONG(bytes.size())) != LONG(bytes.size()))
        return MCIERR_INVALID_FILE;
    std::memcpy(&m_format, bytes.data(), std::min(bytes.size(), sizeof m_format));
    if (bytes.size() < sizeof m_format)
        m_format.cbSize = 0;
    const std::size_t extra
        = std::min<std::size_t>(m_format.cbSize, bytes.size() - std::min(bytes.size(), sizeof m_format));
    m_extra.assign(bytes.begin() + std::ptrdiff_t(sizeof m_format),
        bytes.begin() + std::ptrdiff_t(sizeof m_format + extra));
    m_decoder = MakeDecoder(m_format, m_extra.data(), m_extra.size());
    return m_decoder ? MMSYSERR_NOERROR : MCIERR_INVALID_FILE;
}

std::uint64_t WaveFileReader::FactFrames(const MMCKINFO& riff)
{
    MMCKINFO fact{};
    char bytes[4];
    if (m_format.wFormatTag == WAVE_FORMAT_PCM || !FindChunk(riff, kFourccFact, fact) || fact.cksize < 4
        || mmioRead(m_file.get(), bytes, 4) != 4)
        return 0;
    std::uint32_t frames;
    std::memcpy(&frames, bytes, 4);
    return frames;
}

MCIERROR WaveFileReader::FindData(const MMCKINFO& riff)
{
    MMCKINFO data{};
    if (!FindChunk(riff, kFourccData, data) || !FitsIn(data, std::uint64_t(riff.dwDataOffset) + riff.cksize))
        return MCIERR_INVALID_FILE;
    m_dataOffset = data.dwDataOffset;
    m_blocks = data.cksize / m_decoder->BlockBytes();
    m_frames = m_blocks * m_decoder->FramesPerBlock();
    m_blockBytes.resize(m_decoder->BlockBytes());
    m_blockFrames.resize(m_decoder->FramesPerBlock() * m_decoder->Channels());
    return MMSYSERR_NOERROR;
}

bool WaveFileReader::Seek(std::uint64_t frame)
{
    if (!m_decoder || frame > m_frames)
        return false;
    m_position = frame;
    // Decoders that carry state from block to block start afresh after a jump.
    const std::uint64_t block = frame / m_decoder->FramesPerBlock();
    if (block != m_loadedBlock && block != m_loadedBlock + 1)
        m_decoder->Restart();
    return true;
}

bool WaveFileReader::LoadBlock(std::uint64_t block)
{
    if (block == m_loadedBlock)
        return true;
    const std::uint64_t offset = m_dataOffset + block * m_blockBytes.size();
    if (block != m_loadedBlock + 1 && mmioSeek(m_file.get(), LONG(offset), SEEK_SET) != LONG(offset))
        return false;
    if (mmioRead(m_file.get(), reinterpret_cast<char*>(m_blockBytes.data()), LONG(m_blockBytes.size()))
        != LONG(m_blockBytes.size()))
        return false;
    m_decoder->DecodeBlock(m_blockBytes.data(), m_blockFrames.data());
    m_loadedBlock = block;
    return true;
}

bool WaveFileReader::ReadFrame(std::int16_t* out)
{
    if (m_position >= m_frames)
        return false;
    const std::size_t perBlock = m_decoder->FramesPerBlock();
    if (!LoadBlock(m_position / perBlock))
        return false;
    const std::size_t channels = m_decoder->Channels();
    std::memcpy(out, m_blockFrames.data() + (m_position % perBlock) * channels, channels * 2);
    ++m_position;
    return true;
}

} // namespace platform
