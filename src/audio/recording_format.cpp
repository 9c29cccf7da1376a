#include "audio/recording_format.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kInitialDescription = "PCM , 8,000 Hz, 16 Bit, Mono";
constexpr const char* kChooserTitle = "Select Audio Format";
constexpr std::size_t kTextBytes = 200;

std::size_t FormatSize(const WAVEFORMATEX& f)
{
    return sizeof(WAVEFORMATEX) + f.cbSize;
}

// The largest format the compression manager offers, at most what the engine holds: a larger
// format is never written into its 50 bytes.
DWORD FormatBufferBytes()
{
    DWORD maxSize = 0;
    acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &maxSize);
    return std::min<DWORD>(maxSize, RecordingFormat::kFormatBytes);
}

} // namespace

// Filled field by field, as every default PCM format is.
WAVEFORMATEX RecordingFormat::DefaultPcm()
{
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.wBitsPerSample = 16;
    f.nChannels = 1;
    f.nSamplesPerSec = 8000;
    f.nBlockAlign = WORD(f.wBitsPerSample * f.nChannels / 8);
    f.nAvgBytesPerSec = f.nBlockAlign * f.nSamplesPerSec;
    f.cbSize = 0;
    return f;
}

RecordingFormat::RecordingFormat()
{
    SetFormat(DefaultPcm());
    std::snprintf(m_description.data(), m_description.size(), "%s", kInitialDescription);
}

RecordingFormat::~RecordingFormat()
{
    CloseConversionStream();
}

const WAVEFORMATEX* RecordingFormat::Format() const
{
    return reinterpret_cast<const WAVEFORMATEX*>(m_format.data());
}

// Copies a format of at most 50 bytes (with its extra data) and zero-fills the rest.
void RecordingFormat::SetFormat(const WAVEFORMATEX& format)
{
    const std::size_t size = std::min(FormatSize(format), kFormatBytes);
    m_format.fill(0);
    std::memcpy(m_format.data(), &format, size);
}

bool RecordingFormat::Converts() const
{
    const WAVEFORMATEX pcm = DefaultPcm();
    return m_compression == 1 && m_conversionStream && std::memcmp(Format(), &pcm, sizeof pcm) != 0;
}

bool RecordingFormat::Convert(
    const char* data, DWORD bytes, DWORD flags, const std::uint8_t*& out, DWORD& converted)
{
    ACMSTREAMHEADER header{};
    header.cbStruct = sizeof header;
    header.pbSrc = reinterpret_cast<std::uint8_t*>(const_cast<char*>(data));
    header.cbSrcLength = bytes;
    header.pbDst = m_conversionBuffer.data();
    header.cbDstLength = m_conversionBufferSize;
    bool ok = acmStreamPrepareHeader(m_conversionStream, &header, 0) == MMSYSERR_NOERROR;
    ok = ok && acmStreamConvert(m_conversionStream, &header, flags) == MMSYSERR_NOERROR;
    acmStreamUnprepareHeader(m_conversionStream, &header, 0);
    converted = ok ? header.cbDstLengthUsed : 0;
    out = m_conversionBuffer.data();
    return ok;
}

MMRESULT RecordingFormat::OpenConversionStream()
{
    const WAVEFORMATEX pcm = DefaultPcm();
    MMRESULT result = acmStreamOpen(&m_conversionStream, nullptr, &pcm,
        reinterpret_cast<WAVEFORMATEX*>(m_format.data()), nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME);
    if (result == MMSYSERR_NOERROR)
        result = acmStreamSize(
            m_conversionStream, kSourceBytes, &m_conversionBufferSize, ACM_STREAMSIZEF_SOURCE);
    if (result != MMSYSERR_NOERROR) {
        CloseConversionStream();
        SetFormat(pcm);
        return result;
    }
    m_conversionBuffer.assign(m_conversionBufferSize, 0);
    return result;
}

void RecordingFormat::CloseConversionStream()
{
    if (m_conversionStream)
        acmStreamClose(m_conversionStream, 0);
    m_conversionStream = nullptr;
    m_conversionBuffer.clear();
    m_conversionBufferSize = 0;
}

void RecordingFormat::SetDescription(const char* formatTag, const char* format)
{
    std::snprintf(m_description.data(), kTextBytes, "%s , %s", formatTag, format);
}

AudioResult RecordingFormat::Find(const char* description)
{
    m_found = false;
    m_wantedDescription = description;
    if (description)
        acmDriverEnum(
            &RecordingFormat::DriverEnumProc, reinterpret_cast<DWORD_PTR>(this), ACM_DRIVERENUMF_NOLOCAL);
    m_wantedDescription = nullptr;
    return m_found ? AudioResult() : AudioError::FormatNotFound;
}

BOOL RecordingFormat::DriverEnumProc(HACMDRIVERID driverId, DWORD_PTR instance, DWORD)
{
    auto* self = reinterpret_cast<RecordingFormat*>(instance);
    if (self->m_found)
        return 1;
    alignas(WAVEFORMATEX) FormatBytes local{};
    const WAVEFORMATEX pcm = DefaultPcm();
    std::memcpy(local.data(), &pcm, sizeof pcm);
    ACMFORMATDETAILSA details{};
    details.cbStruct = sizeof details;
    details.pwfx = reinterpret_cast<WAVEFORMATEX*>(local.data());
    details.cbwfx = FormatBufferBytes();
    if (acmDriverOpen(&self->m_driver, driverId, 0) != MMSYSERR_NOERROR)
        return 1;
    acmFormatEnumA(
        self->m_driver, &details, &RecordingFormat::FormatEnumProc, instance, ACM_FORMATENUMF_CONVERT);
    acmDriverClose(self->m_driver, 0);
    self->m_driver = nullptr;
    return 1;
}

BOOL RecordingFormat::FormatEnumProc(HACMDRIVERID, ACMFORMATDETAILSA* details, DWORD_PTR instance, DWORD)
{
    auto* self = reinterpret_cast<RecordingFormat*>(instance);
    if (!self->m_found)
        self->MatchFormat(*details);
    return 1;
}

void RecordingFormat::MatchFormat(ACMFORMATDETAILSA& details)
{
    ACMFORMATTAGDETAILSA tag{};
    tag.cbStruct = sizeof tag;
    tag.dwFormatTag = details.dwFormatTag;
    if (acmFormatTagDetailsA(m_driver, &tag, ACM_FORMATTAGDETAILSF_FORMATTAG) != MMSYSERR_NOERROR)
        return;
    char text[kTextBytes];
    std::snprintf(text, sizeof text, "%s , %s", tag.szFormatTag, details.szFormat);
    if (std::strcmp(text, m_wantedDescription) != 0)
        return;
    m_found = true;
    CloseConversionStream();
    SetFormat(*details.pwfx);
    if (OpenConversionStream() == MMSYSERR_NOERROR)
        std::snprintf(m_description.data(), m_description.size(), "%s", text);
}

AudioResult RecordingFormat::Choose(void* owner)
{
    const WAVEFORMATEX pcm = DefaultPcm();
    // The chooser writes into a copy, so a failure leaves the recording format as it was.
    alignas(WAVEFORMATEX) FormatBytes chosen = m_format;
    ACMFORMATCHOOSEA choose{};
    choose.cbStruct = sizeof choose;
    choose.fdwStyle = ACMFORMATCHOOSE_STYLEF_INITTOWFXSTRUCT;
    choose.hwndOwner = owner;
    choose.pwfx = reinterpret_cast<WAVEFORMATEX*>(chosen.data());
    choose.cbwfx = FormatBufferBytes();
    choose.pszTitle = kChooserTitle;
    choose.fdwEnum = ACM_FORMATENUMF_CONVERT;
    choose.pwfxEnum = const_cast<WAVEFORMATEX*>(&pcm);
    const MMRESULT result = acmFormatChooseA(&choose);
    if (result == ACMERR_CANCELED)
        return {};
    if (result != MMSYSERR_NOERROR)
        return AudioResult::Platform(result);
    CloseConversionStream();
    SetFormat(*choose.pwfx);
    if (const MMRESULT opened = OpenConversionStream())
        return AudioResult::Platform(opened);
    SetDescription(choose.szFormatTag, choose.szFormat);
    return {};
}

AudioResult RecordingFormat::GetDescription(char* buffer, std::uint32_t size) const
{
    if (!buffer)
        return AudioError::MissingOutParameter;
    if (size == 0)
        return AudioError::BufferTooSmall;
    std::snprintf(buffer, size, "%s", m_description.data());
    return {};
}
