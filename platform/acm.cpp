#include "platform/msacm.h"

#include "platform/audio_codec.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>

namespace {

struct FormatDef {
    WAVEFORMATEX wfx;
    WORD samplesPerBlock; // the 2 extra bytes of block-coded formats, 0 for none
    const char* text;

    std::vector<std::uint8_t> Bytes() const
    {
        std::vector<std::uint8_t> bytes(sizeof(WAVEFORMATEX) + wfx.cbSize);
        std::memcpy(bytes.data(), &wfx, sizeof wfx);
        if (wfx.cbSize >= 2) {
            bytes[sizeof wfx] = std::uint8_t(samplesPerBlock & 0xFF);
            bytes[sizeof wfx + 1] = std::uint8_t(samplesPerBlock >> 8);
        }
        return bytes;
    }
};

struct TagDef {
    WORD tag;
    const char* name;
};

constexpr WAVEFORMATEX kPcm16{ WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0 };
constexpr FormatDef kFormats[] = {
    { kPcm16, 0, "8.000 kHz, 16 Bit, Mono" },
    { { WAVE_FORMAT_PCM, 1, 8000, 8000, 1, 8, 0 }, 0, "8.000 kHz, 8 Bit, Mono" },
    { { platform::WAVE_FORMAT_ALAW, 1, 8000, 8000, 1, 8, 0 }, 0, "8.000 kHz, 8 Bit, Mono" },
    { { platform::WAVE_FORMAT_MULAW, 1, 8000, 8000, 1, 8, 0 }, 0, "8.000 kHz, 8 Bit, Mono" },
    { { platform::WAVE_FORMAT_IMA_ADPCM, 1, 8000, 4055, 256, 4, 2 }, 505, "8.000 kHz, 4 Bit, Mono" },
    { { platform::WAVE_FORMAT_GSM610, 1, 8000, 1625, 65, 0, 2 }, 320, "8.000 kHz, Mono" },
};

constexpr TagDef kTags[] = {
    { WAVE_FORMAT_PCM, "PCM" },
    { platform::WAVE_FORMAT_ALAW, "CCITT A-Law" },
    { platform::WAVE_FORMAT_MULAW, "CCITT u-Law" },
    { platform::WAVE_FORMAT_IMA_ADPCM, "IMA ADPCM" },
    { platform::WAVE_FORMAT_GSM610, "GSM 6.10" },
};

constexpr DWORD kMaxFormatSize = sizeof(WAVEFORMATEX) + 2;

const TagDef* FindTag(DWORD tag)
{
    for (const TagDef& t : kTags)
        if (t.tag == tag)
            return &t;
    return nullptr;
}

bool IsCapturePcm(const WAVEFORMATEX& f)
{
    return f.wFormatTag == kPcm16.wFormatTag && f.nChannels == kPcm16.nChannels
        && f.nSamplesPerSec == kPcm16.nSamplesPerSec && f.nBlockAlign == kPcm16.nBlockAlign
        && f.wBitsPerSample == kPcm16.wBitsPerSample;
}

template <std::size_t N> void CopyText(char (&out)[N], const std::string& text)
{
    const std::size_t n = std::min(text.size(), N - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

std::mutex& ChooserMutex()
{
    static std::mutex mutex;
    return mutex;
}

AcmFormatChooser& Chooser()
{
    static AcmFormatChooser chooser;
    return chooser;
}

} // namespace

// A driver: the format tags it handles and, for each, the formats it converts PCM 8 kHz 16-bit
// mono to.
struct AcmDriverEntry {
    const char* name;
    std::vector<WORD> tags;

    bool Handles(WORD tag) const { return std::find(tags.begin(), tags.end(), tag) != tags.end(); }
};

struct AcmDriverInstance {
    const AcmDriverEntry* driver;
};

struct AcmStream {
    std::unique_ptr<platform::AudioEncoder> encoder;
    std::vector<std::int16_t> samples;
};

namespace {

const std::array<AcmDriverEntry, 4>& Drivers()
{
    static const std::array<AcmDriverEntry, 4> drivers = { {
        { "PCM Converter", { WAVE_FORMAT_PCM } },
        { "CCITT G.711 Codec", { platform::WAVE_FORMAT_ALAW, platform::WAVE_FORMAT_MULAW } },
        { "IMA ADPCM Codec", { platform::WAVE_FORMAT_IMA_ADPCM } },
        { "GSM 6.10 Codec", { platform::WAVE_FORMAT_GSM610 } },
    } };
    return drivers;
}

// The formats of one driver (or of all drivers) that are offered for `fdwEnum` and `source`.
std::vector<const FormatDef*> OfferedFormats(
    const AcmDriverEntry* driver, DWORD fdwEnum, const WAVEFORMATEX* source)
{
    std::vector<const FormatDef*> offered;
    if ((fdwEnum & ACM_FORMATENUMF_CONVERT) && (!source || !IsCapturePcm(*source)))
        return offered;
    for (const FormatDef& f : kFormats)
        if (driver ? driver->Handles(f.wfx.wFormatTag) : true)
            offered.push_back(&f);
    return offered;
}

DWORD Support(const AcmDriverEntry& driver)
{
    return driver.Handles(WAVE_FORMAT_PCM) ? ACMDRIVERDETAILS_SUPPORTF_CONVERTER
                                           : ACMDRIVERDETAILS_SUPPORTF_CODEC;
}

template <typename Handle> MMRESULT DeleteHandle(Handle handle)
{
    if (!handle)
        return MMSYSERR_INVALHANDLE;
    delete handle;
    return MMSYSERR_NOERROR;
}

MMRESULT CheckPrepared(HACMSTREAM has, const ACMSTREAMHEADER* pash)
{
    if (!has)
        return MMSYSERR_INVALHANDLE;
    if (!pash || pash->cbStruct < sizeof(ACMSTREAMHEADER))
        return MMSYSERR_INVALPARAM;
    return (pash->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) ? MMSYSERR_NOERROR : ACMERR_UNPREPARED;
}

int IndexOf(const std::vector<AcmFormatChoice>& choices, const WAVEFORMATEX* wfx, DWORD size)
{
    if (!wfx || size < sizeof(WAVEFORMATEX))
        return -1;
    for (std::size_t i = 0; i < choices.size(); ++i) {
        const auto& bytes = choices[i].wfx;
        if (bytes.size() <= size && std::memcmp(bytes.data(), wfx, bytes.size()) == 0)
            return int(i);
    }
    return -1;
}

std::vector<AcmFormatChoice> ChooserChoices(const ACMFORMATCHOOSEA& choose)
{
    std::vector<AcmFormatChoice> choices;
    for (const FormatDef* f : OfferedFormats(nullptr, choose.fdwEnum, choose.pwfxEnum))
        choices.push_back({ FindTag(f->wfx.wFormatTag)->name, f->text, f->Bytes() });
    return choices;
}

} // namespace

MMRESULT acmDriverEnum(ACMDRIVERENUMCB fnCallback, DWORD_PTR dwInstance, DWORD)
{
    if (!fnCallback)
        return MMSYSERR_INVALPARAM;
    for (const AcmDriverEntry& driver : Drivers())
        if (!fnCallback(const_cast<AcmDriverEntry*>(&driver), dwInstance, Support(driver)))
            break;
    return MMSYSERR_NOERROR;
}

MMRESULT acmDriverOpen(HACMDRIVER* phad, HACMDRIVERID hadid, DWORD)
{
    if (!phad || !hadid)
        return MMSYSERR_INVALPARAM;
    *phad = new AcmDriverInstance{ hadid };
    return MMSYSERR_NOERROR;
}

MMRESULT acmDriverClose(HACMDRIVER had, DWORD)
{
    return DeleteHandle(had);
}

MMRESULT acmFormatEnumA(
    HACMDRIVER had, ACMFORMATDETAILSA* pafd, ACMFORMATENUMCBA fnCallback, DWORD_PTR dwInstance, DWORD fdwEnum)
{
    if (!pafd || !fnCallback || !pafd->pwfx || pafd->cbwfx < sizeof(WAVEFORMATEX))
        return MMSYSERR_INVALPARAM;
    // The source arrives in the same buffer that each enumerated format is written to.
    const WAVEFORMATEX source = *pafd->pwfx;
    const AcmDriverEntry* driver = had ? had->driver : nullptr;
    DWORD index = 0;
    for (const FormatDef* f : OfferedFormats(driver, fdwEnum, &source)) {
        const auto bytes = f->Bytes();
        if (bytes.size() > pafd->cbwfx)
            return MMSYSERR_INVALPARAM;
        std::memcpy(pafd->pwfx, bytes.data(), bytes.size());
        pafd->dwFormatIndex = index++;
        pafd->dwFormatTag = f->wfx.wFormatTag;
        pafd->fdwSupport = ACMDRIVERDETAILS_SUPPORTF_CODEC;
        CopyText(pafd->szFormat, f->text);
        if (!fnCallback(const_cast<AcmDriverEntry*>(driver), pafd, dwInstance, pafd->fdwSupport))
            break;
    }
    return MMSYSERR_NOERROR;
}

MMRESULT acmFormatTagDetailsA(HACMDRIVER had, ACMFORMATTAGDETAILSA* paftd, DWORD fdwDetails)
{
    if (!paftd)
        return MMSYSERR_INVALPARAM;
    const TagDef* tag = nullptr;
    if (fdwDetails == ACM_FORMATTAGDETAILSF_FORMATTAG)
        tag = FindTag(paftd->dwFormatTag);
    else if (fdwDetails == ACM_FORMATTAGDETAILSF_INDEX && paftd->dwFormatTagIndex < std::size(kTags))
        tag = &kTags[paftd->dwFormatTagIndex];
    else
        return MMSYSERR_INVALFLAG;
    if (!tag || (had && !had->driver->Handles(tag->tag)))
        return ACMERR_NOTPOSSIBLE;
    paftd->dwFormatTag = tag->tag;
    paftd->dwFormatTagIndex = DWORD(tag - kTags);
    paftd->cbFormatSize
        = tag->tag == platform::WAVE_FORMAT_IMA_ADPCM || tag->tag == platform::WAVE_FORMAT_GSM610
        ? kMaxFormatSize
        : sizeof(WAVEFORMATEX);
    paftd->fdwSupport = ACMDRIVERDETAILS_SUPPORTF_CODEC;
    paftd->cStandardFormats = DWORD(std::count_if(std::begin(kFormats), std::end(kFormats),
        [&](const FormatDef& f) { return f.wfx.wFormatTag == tag->tag; }));
    CopyText(paftd->szFormatTag, tag->name);
    return MMSYSERR_NOERROR;
}

MMRESULT acmMetrics(HACMOBJ, UINT uMetric, void* pMetric)
{
    if (!pMetric)
        return MMSYSERR_INVALPARAM;
    if (uMetric != ACM_METRIC_MAX_SIZE_FORMAT)
        return MMSYSERR_NOTSUPPORTED;
    *static_cast<DWORD*>(pMetric) = kMaxFormatSize;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamOpen(HACMSTREAM* phas, HACMDRIVER, const WAVEFORMATEX* pwfxSrc, const WAVEFORMATEX* pwfxDst,
    const void*, DWORD_PTR, DWORD_PTR, DWORD fdwOpen)
{
    if (phas)
        *phas = nullptr;
    if (!pwfxSrc || !pwfxDst || (!phas && !(fdwOpen & ACM_STREAMOPENF_QUERY)))
        return MMSYSERR_INVALPARAM;
    if (!IsCapturePcm(*pwfxSrc))
        return ACMERR_NOTPOSSIBLE;
    auto encoder = platform::MakeEncoder(*pwfxDst);
    if (!encoder)
        return ACMERR_NOTPOSSIBLE;
    if (!(fdwOpen & ACM_STREAMOPENF_QUERY))
        *phas = new AcmStream{ std::move(encoder), {} };
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamClose(HACMSTREAM has, DWORD)
{
    return DeleteHandle(has);
}

MMRESULT acmStreamSize(HACMSTREAM has, DWORD cbInput, DWORD* pdwOutputBytes, DWORD fdwSize)
{
    if (!has)
        return MMSYSERR_INVALHANDLE;
    if (!pdwOutputBytes)
        return MMSYSERR_INVALPARAM;
    if (fdwSize == ACM_STREAMSIZEF_SOURCE)
        *pdwOutputBytes = DWORD(has->encoder->MaxOutput(cbInput / 2));
    else if (fdwSize == ACM_STREAMSIZEF_DESTINATION)
        *pdwOutputBytes = DWORD(has->encoder->SourceFor(cbInput) * 2);
    else
        return MMSYSERR_INVALFLAG;
    return *pdwOutputBytes ? MMSYSERR_NOERROR : ACMERR_NOTPOSSIBLE;
}

MMRESULT acmStreamPrepareHeader(HACMSTREAM has, ACMSTREAMHEADER* pash, DWORD)
{
    if (!has)
        return MMSYSERR_INVALHANDLE;
    if (!pash || pash->cbStruct < sizeof(ACMSTREAMHEADER) || !pash->pbSrc || !pash->pbDst)
        return MMSYSERR_INVALPARAM;
    pash->fdwStatus = ACMSTREAMHEADER_STATUSF_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamUnprepareHeader(HACMSTREAM has, ACMSTREAMHEADER* pash, DWORD)
{
    if (const MMRESULT error = CheckPrepared(has, pash))
        return error;
    pash->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamConvert(HACMSTREAM has, ACMSTREAMHEADER* pash, DWORD fdwConvert)
{
    if (const MMRESULT error = CheckPrepared(has, pash))
        return error;
    const std::size_t count = pash->cbSrcLength / 2;
    if (pash->cbDstLength < has->encoder->MaxOutput(count))
        return MMSYSERR_INVALPARAM;
    // The source may sit at any byte address; the samples are copied to aligned memory first.
    has->samples.resize(count);
    std::memcpy(has->samples.data(), pash->pbSrc, count * 2);
    const bool end = fdwConvert & ACM_STREAMCONVERTF_END;
    pash->cbDstLengthUsed = DWORD(has->encoder->Encode(has->samples.data(), count, pash->pbDst, end));
    pash->cbSrcLengthUsed = pash->cbSrcLength;
    pash->fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
    return MMSYSERR_NOERROR;
}

void acmSetFormatChooser(AcmFormatChooser chooser)
{
    std::lock_guard lock(ChooserMutex());
    Chooser() = std::move(chooser);
}

MMRESULT acmFormatChooseA(ACMFORMATCHOOSEA* pafmtc)
{
    if (!pafmtc || pafmtc->cbStruct < sizeof(ACMFORMATCHOOSEA) || !pafmtc->pwfx)
        return MMSYSERR_INVALPARAM;
    AcmFormatChooser chooser;
    {
        std::lock_guard lock(ChooserMutex());
        chooser = Chooser();
    }
    if (!chooser)
        return ACMERR_CANCELED;
    const auto choices = ChooserChoices(*pafmtc);
    const int initial = (pafmtc->fdwStyle & ACMFORMATCHOOSE_STYLEF_INITTOWFXSTRUCT)
        ? IndexOf(choices, pafmtc->pwfx, pafmtc->cbwfx)
        : -1;
    const int picked = chooser(choices, initial, pafmtc->pszTitle ? pafmtc->pszTitle : "", pafmtc->hwndOwner);
    if (picked < 0 || std::size_t(picked) >= choices.size())
        return ACMERR_CANCELED;
    const AcmFormatChoice& choice = choices[std::size_t(picked)];
    if (choice.wfx.size() > pafmtc->cbwfx)
        return ACMERR_NOTPOSSIBLE;
    std::memcpy(pafmtc->pwfx, choice.wfx.data(), choice.wfx.size());
    CopyText(pafmtc->szFormatTag, choice.formatTag);
    CopyText(pafmtc->szFormat, choice.format);
    return MMSYSERR_NOERROR;
}
