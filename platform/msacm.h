#pragma once

#include "platform/mmsystem.h"

#include <functional>
#include <string>
#include <vector>

// The audio compression manager: drivers, format tags, formats and conversion streams from
// PCM 8,000 Hz 16-bit mono, with the platform's names, records and result codes.
struct AcmDriverEntry;
struct AcmDriverInstance;
struct AcmStream;
using HACMDRIVERID = AcmDriverEntry*;
using HACMDRIVER = AcmDriverInstance*;
using HACMSTREAM = AcmStream*;
using HACMOBJ = void*;
using BOOL = int;

inline constexpr MMRESULT ACMERR_NOTPOSSIBLE = 512;
inline constexpr MMRESULT ACMERR_BUSY = 513;
inline constexpr MMRESULT ACMERR_UNPREPARED = 514;
inline constexpr MMRESULT ACMERR_CANCELED = 515;

inline constexpr std::size_t ACMFORMATTAGDETAILS_FORMATTAG_CHARS = 48;
inline constexpr std::size_t ACMFORMATDETAILS_FORMAT_CHARS = 128;

inline constexpr DWORD ACM_DRIVERENUMF_NOLOCAL = 0x40000000;
inline constexpr DWORD ACM_DRIVERENUMF_DISABLED = 0x80000000;
inline constexpr DWORD ACMDRIVERDETAILS_SUPPORTF_CODEC = 0x00000001;
inline constexpr DWORD ACMDRIVERDETAILS_SUPPORTF_CONVERTER = 0x00000002;

inline constexpr DWORD ACM_FORMATENUMF_CONVERT = 0x00100000;
inline constexpr DWORD ACM_FORMATTAGDETAILSF_INDEX = 0x00000000;
inline constexpr DWORD ACM_FORMATTAGDETAILSF_FORMATTAG = 0x00000001;
inline constexpr UINT ACM_METRIC_MAX_SIZE_FORMAT = 50;

inline constexpr DWORD ACM_STREAMOPENF_QUERY = 0x00000001;
inline constexpr DWORD ACM_STREAMOPENF_NONREALTIME = 0x00000004;
inline constexpr DWORD ACM_STREAMSIZEF_SOURCE = 0x00000000;
inline constexpr DWORD ACM_STREAMSIZEF_DESTINATION = 0x00000001;
inline constexpr DWORD ACM_STREAMCONVERTF_BLOCKALIGN = 0x00000004;
inline constexpr DWORD ACM_STREAMCONVERTF_START = 0x00000010;
inline constexpr DWORD ACM_STREAMCONVERTF_END = 0x00000020;
inline constexpr DWORD ACMSTREAMHEADER_STATUSF_DONE = 0x00010000;
inline constexpr DWORD ACMSTREAMHEADER_STATUSF_PREPARED = 0x00020000;

inline constexpr DWORD ACMFORMATCHOOSE_STYLEF_INITTOWFXSTRUCT = 0x00000040;

struct ACMFORMATTAGDETAILSA {
    DWORD cbStruct;
    DWORD dwFormatTagIndex;
    DWORD dwFormatTag;
    DWORD cbFormatSize;
    DWORD fdwSupport;
    DWORD cStandardFormats;
    char szFormatTag[ACMFORMATTAGDETAILS_FORMATTAG_CHARS];
};

struct ACMFORMATDETAILSA {
    DWORD cbStruct;
    DWORD dwFormatIndex;
    DWORD dwFormatTag;
    DWORD fdwSupport;
    WAVEFORMATEX* pwfx;
    DWORD cbwfx;
    char szFormat[ACMFORMATDETAILS_FORMAT_CHARS];
};

struct ACMSTREAMHEADER {
    DWORD cbStruct;
    DWORD fdwStatus;
    DWORD_PTR dwUser;
    std::uint8_t* pbSrc;
    DWORD cbSrcLength;
    DWORD cbSrcLengthUsed;
    DWORD_PTR dwSrcUser;
    std::uint8_t* pbDst;
    DWORD cbDstLength;
    DWORD cbDstLengthUsed;
    DWORD_PTR dwDstUser;
    DWORD dwReservedDriver[10];
};

struct ACMFORMATCHOOSEA {
    DWORD cbStruct;
    DWORD fdwStyle;
    void* hwndOwner;
    WAVEFORMATEX* pwfx;
    DWORD cbwfx;
    const char* pszTitle;
    char szFormatTag[ACMFORMATTAGDETAILS_FORMATTAG_CHARS];
    char szFormat[ACMFORMATDETAILS_FORMAT_CHARS];
    char* pszName;
    DWORD cchName;
    DWORD fdwEnum;
    WAVEFORMATEX* pwfxEnum;
    void* hInstance;
    const char* pszTemplateName;
    DWORD_PTR lCustData;
    void* pfnHook;
};

using ACMDRIVERENUMCB = BOOL (*)(HACMDRIVERID hadid, DWORD_PTR dwInstance, DWORD fdwSupport);
using ACMFORMATENUMCBA
    = BOOL (*)(HACMDRIVERID hadid, ACMFORMATDETAILSA* pafd, DWORD_PTR dwInstance, DWORD fdwSupport);

MMRESULT acmDriverEnum(ACMDRIVERENUMCB fnCallback, DWORD_PTR dwInstance, DWORD fdwEnum);
MMRESULT acmDriverOpen(HACMDRIVER* phad, HACMDRIVERID hadid, DWORD fdwOpen);
MMRESULT acmDriverClose(HACMDRIVER had, DWORD fdwClose);
MMRESULT acmFormatEnumA(HACMDRIVER had, ACMFORMATDETAILSA* pafd, ACMFORMATENUMCBA fnCallback,
    DWORD_PTR dwInstance, DWORD fdwEnum);
MMRESULT acmFormatTagDetailsA(HACMDRIVER had, ACMFORMATTAGDETAILSA* paftd, DWORD fdwDetails);
MMRESULT acmMetrics(HACMOBJ hao, UINT uMetric, void* pMetric);
MMRESULT acmStreamOpen(HACMSTREAM* phas, HACMDRIVER had, const WAVEFORMATEX* pwfxSrc,
    const WAVEFORMATEX* pwfxDst, const void* pwfltr, DWORD_PTR dwCallback, DWORD_PTR dwInstance,
    DWORD fdwOpen);
MMRESULT acmStreamClose(HACMSTREAM has, DWORD fdwClose);
MMRESULT acmStreamSize(HACMSTREAM has, DWORD cbInput, DWORD* pdwOutputBytes, DWORD fdwSize);
MMRESULT acmStreamPrepareHeader(HACMSTREAM has, ACMSTREAMHEADER* pash, DWORD fdwPrepare);
MMRESULT acmStreamUnprepareHeader(HACMSTREAM has, ACMSTREAMHEADER* pash, DWORD fdwUnprepare);
// Converts the whole source: a block that the source does not complete is kept by the stream
// and begins the next conversion, so cbSrcLengthUsed is always cbSrcLength. With
// ACM_STREAMCONVERTF_END the kept samples are completed with silence and written out.
MMRESULT acmStreamConvert(HACMSTREAM has, ACMSTREAMHEADER* pash, DWORD fdwConvert);
// Shows the format chooser that the user interface installed (see acmSetFormatChooser); without
// one the choice counts as cancelled.
MMRESULT acmFormatChooseA(ACMFORMATCHOOSEA* pafmtc);

// One format offered by the chooser.
struct AcmFormatChoice {
    std::string formatTag;
    std::string format;
    std::vector<std::uint8_t> wfx;
};

// The user interface's format chooser: shows `choices` under `title`, starting at `initial` (or -1),
// and returns the index picked, or -1 when the user cancels.
using AcmFormatChooser = std::function<int(
    const std::vector<AcmFormatChoice>& choices, int initial, const std::string& title, void* owner)>;

// Installs (or with an empty function removes) the process's format chooser.
void acmSetFormatChooser(AcmFormatChooser chooser);
