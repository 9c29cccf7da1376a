#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// Result codes, types and functions of the multimedia services (wave devices and mmio files), with
// the platform's names, numbers and record layouts, so the recorder reads as the platform reports.
using MMRESULT = std::uint32_t;
using UINT = std::uint32_t;
using DWORD = std::uint32_t;
using WORD = std::uint16_t;
using LONG = std::int32_t;
using DWORD_PTR = std::uintptr_t;
using FOURCC = std::uint32_t;

inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_ERROR = 1;
inline constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
inline constexpr MMRESULT MMSYSERR_NOTENABLED = 3;
inline constexpr MMRESULT MMSYSERR_ALLOCATED = 4;
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
inline constexpr MMRESULT MMSYSERR_NODRIVER = 6;
inline constexpr MMRESULT MMSYSERR_NOMEM = 7;
inline constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
inline constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
inline constexpr MMRESULT WAVERR_BADFORMAT = 32;
inline constexpr MMRESULT WAVERR_STILLPLAYING = 33;
inline constexpr MMRESULT WAVERR_UNPREPARED = 34;

inline constexpr WORD WAVE_FORMAT_PCM = 1;

#pragma pack(push, 1)
// The 18-byte format record; `cbSize` format-specific bytes follow it in memory.
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

// ---- wave devices ----

struct WaveInHandle;
using HWAVEIN = WaveInHandle*;

struct WAVEHDR {
    char* lpData;
    DWORD dwBufferLength;
    DWORD dwBytesRecorded;
    DWORD_PTR dwUser;
    DWORD dwFlags;
    DWORD dwLoops;
    WAVEHDR* lpNext;
    DWORD_PTR reserved;
};

inline constexpr DWORD WHDR_DONE = 0x01;
inline constexpr DWORD WHDR_PREPARED = 0x02;
inline constexpr DWORD WHDR_INQUEUE = 0x10;

inline constexpr std::size_t MAXPNAMELEN = 32;

struct WAVEINCAPSA {
    WORD wMid;
    WORD wPid;
    DWORD vDriverVersion;
    char szPname[MAXPNAMELEN];
    DWORD dwFormats;
    WORD wChannels;
    WORD wReserved1;
};

struct WAVEOUTCAPSA {
    WORD wMid;
    WORD wPid;
    DWORD vDriverVersion;
    char szPname[MAXPNAMELEN];
    DWORD dwFormats;
    WORD wChannels;
    WORD wReserved1;
    DWORD dwSupport;
};

inline constexpr DWORD WAVECAPS_VOLUME = 0x0004;
inline constexpr DWORD WAVECAPS_LRVOLUME = 0x0008;
// Standard formats a device takes: 8 kHz is not among the classic flags, so every rate is
// converted by the devices and all the flags of 11 to 44 kHz mono/stereo 8/16 bit are reported.
inline constexpr DWORD WAVE_FORMATS_ALL_STANDARD = 0x00000FFF;

inline constexpr UINT WAVE_MAPPER = 0xFFFFFFFFu;
inline constexpr DWORD CALLBACK_TYPEMASK = 0x00070000;
inline constexpr DWORD CALLBACK_NULL = 0x00000000;
inline constexpr DWORD CALLBACK_FUNCTION = 0x00030000;

inline constexpr UINT WIM_OPEN = 0x3BE;
inline constexpr UINT WIM_CLOSE = 0x3BF;
inline constexpr UINT WIM_DATA = 0x3C0;

// Called for WIM_OPEN, WIM_DATA (dwParam1 = the WAVEHDR*) and WIM_CLOSE. WIM_DATA arrives on the
// device's thread, WIM_OPEN and WIM_CLOSE on the thread that opens and closes.
using WAVEINPROC
    = void (*)(HWAVEIN hwi, UINT uMsg, DWORD_PTR dwInstance, DWORD_PTR dwParam1, DWORD_PTR dwParam2);

UINT waveInGetNumDevs();
MMRESULT waveInGetDevCapsA(UINT uDeviceID, WAVEINCAPSA* caps, UINT cbCaps);
UINT waveOutGetNumDevs();
MMRESULT waveOutGetDevCapsA(UINT uDeviceID, WAVEOUTCAPSA* caps, UINT cbCaps);

MMRESULT waveInOpen(HWAVEIN* phwi, UINT uDeviceID, const WAVEFORMATEX* format, DWORD_PTR dwCallback,
    DWORD_PTR dwInstance, DWORD fdwOpen);
MMRESULT waveInClose(HWAVEIN hwi);
MMRESULT waveInPrepareHeader(HWAVEIN hwi, WAVEHDR* hdr, UINT cbwh);
MMRESULT waveInUnprepareHeader(HWAVEIN hwi, WAVEHDR* hdr, UINT cbwh);
MMRESULT waveInAddBuffer(HWAVEIN hwi, WAVEHDR* hdr, UINT cbwh);
MMRESULT waveInStart(HWAVEIN hwi);
MMRESULT waveInStop(HWAVEIN hwi);
MMRESULT waveInReset(HWAVEIN hwi);

// ---- mmio files with RIFF chunks ----

struct MmioFile;
using HMMIO = MmioFile*;

constexpr FOURCC mmioFOURCC(char a, char b, char c, char d)
{
    return FOURCC(std::uint8_t(a)) | FOURCC(std::uint8_t(b)) << 8 | FOURCC(std::uint8_t(c)) << 16
        | FOURCC(std::uint8_t(d)) << 24;
}

inline constexpr FOURCC FOURCC_RIFF = mmioFOURCC('R', 'I', 'F', 'F');
// The chunk ids of a WAVE file.
inline constexpr FOURCC kFourccWave = mmioFOURCC('W', 'A', 'V', 'E');
inline constexpr FOURCC kFourccFmt = mmioFOURCC('f', 'm', 't', ' ');
inline constexpr FOURCC kFourccFact = mmioFOURCC('f', 'a', 'c', 't');
inline constexpr FOURCC kFourccData = mmioFOURCC('d', 'a', 't', 'a');

struct MMCKINFO {
    FOURCC ckid;
    DWORD cksize;
    FOURCC fccType;
    DWORD dwDataOffset;
    DWORD dwFlags;
};

inline constexpr DWORD MMIO_READ = 0x0000;
inline constexpr DWORD MMIO_WRITE = 0x0001;
inline constexpr DWORD MMIO_READWRITE = 0x0002;
inline constexpr DWORD MMIO_CREATE = 0x1000;
inline constexpr DWORD MMIO_DELETE = 0x0200;
inline constexpr DWORD MMIO_ALLOCBUF = 0x00010000;

inline constexpr UINT MMIO_FINDCHUNK = 0x0010;
inline constexpr UINT MMIO_FINDRIFF = 0x0020;
inline constexpr UINT MMIO_CREATERIFF = 0x0020;
inline constexpr DWORD MMIO_DIRTY = 0x10000000;

inline constexpr MMRESULT MMIOERR_FILENOTFOUND = 257;
inline constexpr MMRESULT MMIOERR_OUTOFMEMORY = 258;
inline constexpr MMRESULT MMIOERR_CANNOTOPEN = 259;
inline constexpr MMRESULT MMIOERR_CANNOTCLOSE = 260;
inline constexpr MMRESULT MMIOERR_CANNOTREAD = 261;
inline constexpr MMRESULT MMIOERR_CANNOTWRITE = 262;
inline constexpr MMRESULT MMIOERR_CANNOTSEEK = 263;
inline constexpr MMRESULT MMIOERR_CANNOTEXPAND = 264;
inline constexpr MMRESULT MMIOERR_CHUNKNOTFOUND = 265;
inline constexpr MMRESULT MMIOERR_ACCESSDENIED = 268;

// Opens a file (returns null on failure), or with MMIO_DELETE deletes it (returns a non-null
// marker on success that must not be used further, null on failure). Buffered I/O is always on.
HMMIO mmioOpen(const char* path, void* info, DWORD flags);
MMRESULT mmioClose(HMMIO h, UINT flags);
// Bytes read or written, -1 on error.
LONG mmioRead(HMMIO h, char* buffer, LONG bytes);
LONG mmioWrite(HMMIO h, const char* buffer, LONG bytes);
// The new position, -1 on error; origin as in lseek (SEEK_SET, SEEK_CUR, SEEK_END).
LONG mmioSeek(HMMIO h, LONG offset, int origin);
MMRESULT mmioCreateChunk(HMMIO h, MMCKINFO* ck, UINT flags);
MMRESULT mmioDescend(HMMIO h, MMCKINFO* ck, const MMCKINFO* parent, UINT flags);
MMRESULT mmioAscend(HMMIO h, MMCKINFO* ck, UINT flags);
MMRESULT mmioRename(const char* from, const char* to, const void* info, DWORD flags);
// Hands the buffered bytes to the system, so that they survive the end of the process; an error
// of an earlier buffered write shows here too.
MMRESULT mmioFlush(HMMIO h, UINT flags);

// Owns an open mmio file and closes it once.
struct MmioCloser {
    void operator()(HMMIO h) const { mmioClose(h, 0); }
};
using MmioHandle = std::unique_ptr<MmioFile, MmioCloser>;
