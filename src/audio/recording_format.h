#pragma once

#include "audio/audio_result.h"
#include "platform/mmsystem.h"
#include "platform/msacm.h"

#include <array>
#include <cstdint>
#include <vector>

// The format recordings are compressed to: found again by its description text or picked in the
// format chooser, with the conversion stream from the capture format (the default PCM format) to
// it. The compression switch says whether recordings use it at all.
class RecordingFormat {
public:
    static constexpr std::size_t kFormatBytes = 50;
    static constexpr std::size_t kDescriptionBytes = 256;
    // The most PCM bytes one conversion takes: one capture buffer.
    static constexpr DWORD kSourceBytes = 10000;

    using FormatBytes = std::array<std::uint8_t, kFormatBytes>;

    // Capture format and starting recording format: 8 kHz, 16-bit, mono PCM.
    static WAVEFORMATEX DefaultPcm();

    RecordingFormat();
    ~RecordingFormat();
    RecordingFormat(const RecordingFormat&) = delete;
    RecordingFormat& operator=(const RecordingFormat&) = delete;

    AudioResult Find(const char* description);
    AudioResult Choose(void* owner);
    AudioResult GetDescription(char* buffer, std::uint32_t size) const;
    void SetCompression(std::uint32_t flag) { m_compression = flag ? 1 : 0; }
    bool CompressionOn() const { return m_compression != 0; }
    // The compression switch is on and the recording format is not the capture format.
    bool Converts() const;
    // The recording format with its extra data, zero-filled to 50 bytes.
    const FormatBytes& Bytes() const { return m_format; }

    // Converts up to kSourceBytes of PCM; `out` then points at the converted bytes. The samples a
    // block codec keeps are completed by ACM_STREAMCONVERTF_END.
    bool Convert(const char* data, DWORD bytes, DWORD flags, const std::uint8_t*& out, DWORD& converted);

private:
    static BOOL DriverEnumProc(HACMDRIVERID driverId, DWORD_PTR instance, DWORD support);
    static BOOL FormatEnumProc(
        HACMDRIVERID driverId, ACMFORMATDETAILSA* details, DWORD_PTR instance, DWORD support);

    const WAVEFORMATEX* Format() const;
    void SetFormat(const WAVEFORMATEX& format);
    MMRESULT OpenConversionStream();
    void CloseConversionStream();
    void SetDescription(const char* formatTag, const char* format);
    void MatchFormat(ACMFORMATDETAILSA& details);

    std::uint32_t m_compression = 0;
    alignas(WAVEFORMATEX) FormatBytes m_format{};
    std::array<char, kDescriptionBytes> m_description{};
    HACMSTREAM m_conversionStream = nullptr;
    DWORD m_conversionBufferSize = 0;
    std::vector<std::uint8_t> m_conversionBuffer;

    // Format search.
    HACMDRIVER m_driver = nullptr;
    const char* m_wantedDescription = nullptr;
    bool m_found = false;
};
