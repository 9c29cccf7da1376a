#pragma once

#include "platform/audio_codec.h"
#include "platform/mci.h"
#include "platform/mmsystem.h"

#include <memory>
#include <string>
#include <vector>

namespace platform {

// A WAVE file opened for decoding: its format, its length in frames and a read position. Chunks
// may come in any order and any size; a file whose chunks run past its end, or whose format is
// not one we decode, is refused. Only a regular file that starts as RIFF/WAVE is read, and only its
// first 256 chunks are looked at.
class WaveFileReader {
public:
    // MMSYSERR_NOERROR, MCIERR_FILE_NOT_FOUND (cannot be opened) or MCIERR_INVALID_FILE.
    MCIERROR Open(const std::string& path);

    std::uint32_t Rate() const { return m_format.nSamplesPerSec; }
    std::size_t Channels() const { return m_decoder ? m_decoder->Channels() : 0; }
    std::uint64_t Frames() const { return m_frames; }
    std::uint64_t Position() const { return m_position; }

    // Moves the read position to `frame` (at most Frames()).
    bool Seek(std::uint64_t frame);
    // Reads the next frame (Channels() samples); false at the end or on a read error.
    bool ReadFrame(std::int16_t* out);

private:
    bool FindChunk(const MMCKINFO& riff, FOURCC id, MMCKINFO& chunk);
    MCIERROR ReadFormat(const MMCKINFO& riff);
    MCIERROR FindData(const MMCKINFO& riff);
    std::uint64_t FactFrames(const MMCKINFO& riff);
    bool LoadBlock(std::uint64_t block);

    MmioHandle m_file;
    WAVEFORMATEX m_format{};
    std::vector<std::uint8_t> m_extra;
    std::unique_ptr<AudioDecoder> m_decoder;
    std::uint32_t m_dataOffset = 0;
    std::uint64_t m_blocks = 0;
    std::uint64_t m_frames = 0;
    std::uint64_t m_position = 0;
    std::vector<std::uint8_t> m_blockBytes;
    std::vector<std::int16_t> m_blockFrames;
    std::uint64_t m_loadedBlock = ~std::uint64_t(0);
};

} // namespace platform
