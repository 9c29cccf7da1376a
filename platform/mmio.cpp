#include "platform/mmsystem.h"

#include <cstdio>
#include <cstring>
#include <limits>

// An open mmio file: stdio gives the buffered I/O. C requires a positioning call between a write
// and a following read (and the reverse), so the last direction is remembered.
struct MmioFile {
    std::FILE* file = nullptr;
    enum class Last { None, Read, Write } last = Last::None;

    void Turn(Last next)
    {
        if (last != Last::None && last != next)
            std::fseek(file, 0, SEEK_CUR);
        last = next;
    }
};

namespace {

constexpr FOURCC kList = mmioFOURCC('L', 'I', 'S', 'T');
constexpr std::int64_t kMaxOffset = std::numeric_limits<LONG>::max();

const char* OpenMode(DWORD flags)
{
    if (flags & MMIO_CREATE)
        return (flags & (MMIO_READWRITE)) ? "w+b" : "wb";
    if (flags & (MMIO_READWRITE | MMIO_WRITE))
        return "r+b";
    return "rb";
}

std::int64_t Tell(HMMIO h)
{
    return std::ftell(h->file);
}

bool SeekTo(HMMIO h, std::int64_t offset)
{
    h->last = MmioFile::Last::None;
    return offset >= 0 && offset <= kMaxOffset && std::fseek(h->file, long(offset), SEEK_SET) == 0;
}

bool ReadDword(HMMIO h, DWORD& value)
{
    unsigned char b[4];
    if (mmioRead(h, reinterpret_cast<char*>(b), 4) != 4)
        return false;
    value = DWORD(b[0]) | DWORD(b[1]) << 8 | DWORD(b[2]) << 16 | DWORD(b[3]) << 24;
    return true;
}

bool WriteDword(HMMIO h, DWORD value)
{
    const char b[4]
        = { char(value & 0xFF), char(value >> 8 & 0xFF), char(value >> 16 & 0xFF), char(value >> 24) };
    return mmioWrite(h, b, 4) == 4;
}

bool HasFormType(FOURCC id)
{
    return id == FOURCC_RIFF || id == kList;
}

// Reads the chunk header at the current position into `ck`.
bool ReadChunkHeader(HMMIO h, MMCKINFO& ck)
{
    if (!ReadDword(h, ck.ckid) || !ReadDword(h, ck.cksize))
        return false;
    ck.dwDataOffset = DWORD(Tell(h));
    ck.fccType = 0;
    ck.dwFlags = 0;
    return !HasFormType(ck.ckid) || ReadDword(h, ck.fccType);
}

bool Matches(const MMCKINFO& found, const MMCKINFO& wanted, UINT flags)
{
    if (flags & MMIO_FINDCHUNK)
        return found.ckid == wanted.ckid;
    if (flags & MMIO_FINDRIFF)
        return found.ckid == FOURCC_RIFF && found.fccType == wanted.fccType;
    return true;
}

std::int64_t ChunkEnd(const MMCKINFO& ck)
{
    return std::int64_t(ck.dwDataOffset) + ck.cksize + (ck.cksize & 1);
}

} // namespace

HMMIO mmioOpen(const char* path, void*, DWORD flags)
{
    if (!path)
        return nullptr;
    if (flags & MMIO_DELETE)
        return std::remove(path) == 0 ? reinterpret_cast<HMMIO>(std::uintptr_t(1)) : nullptr;
    std::FILE* file = std::fopen(path, OpenMode(flags));
    if (!file)
        return nullptr;
    std::setvbuf(file, nullptr, _IOFBF, 64 * 1024);
    return new MmioFile{ file };
}

MMRESULT mmioClose(HMMIO h, UINT)
{
    if (!h)
        return MMSYSERR_INVALHANDLE;
    const bool closed = std::fclose(h->file) == 0;
    delete h;
    return closed ? MMSYSERR_NOERROR : MMIOERR_CANNOTCLOSE;
}

LONG mmioRead(HMMIO h, char* buffer, LONG bytes)
{
    if (!h || bytes < 0)
        return -1;
    h->Turn(MmioFile::Last::Read);
    const std::size_t got = std::fread(buffer, 1, std::size_t(bytes), h->file);
    return std::ferror(h->file) ? -1 : LONG(got);
}

LONG mmioWrite(HMMIO h, const char* buffer, LONG bytes)
{
    if (!h || bytes < 0)
        return -1;
    h->Turn(MmioFile::Last::Write);
    const std::size_t put = std::fwrite(buffer, 1, std::size_t(bytes), h->file);
    return put == std::size_t(bytes) ? bytes : -1;
}

LONG mmioSeek(HMMIO h, LONG offset, int origin)
{
    if (!h)
        return -1;
    h->last = MmioFile::Last::None;
    if (std::fseek(h->file, offset, origin) != 0)
        return -1;
    const std::int64_t position = Tell(h);
    return position > kMaxOffset ? -1 : LONG(position);
}

MMRESULT mmioCreateChunk(HMMIO h, MMCKINFO* ck, UINT flags)
{
    if (!h || !ck)
        return MMSYSERR_INVALPARAM;
    if (flags & MMIO_CREATERIFF)
        ck->ckid = FOURCC_RIFF;
    if (!WriteDword(h, ck->ckid) || !WriteDword(h, ck->cksize))
        return MMIOERR_CANNOTWRITE;
    ck->dwDataOffset = DWORD(Tell(h));
    ck->dwFlags = MMIO_DIRTY;
    if (HasFormType(ck->ckid) && !WriteDword(h, ck->fccType))
        return MMIOERR_CANNOTWRITE;
    return MMSYSERR_NOERROR;
}

// Fixes the size of a chunk that was written (when it differs from the size given at creation),
// adds the pad byte of an odd size and moves past the chunk.
MMRESULT mmioAscend(HMMIO h, MMCKINFO* ck, UINT)
{
    if (!h || !ck)
        return MMSYSERR_INVALPARAM;
    if (ck->dwFlags & MMIO_DIRTY) {
        const std::int64_t end = Tell(h);
        const std::int64_t size = end - ck->dwDataOffset;
        if (size < 0 || size > std::numeric_limits<DWORD>::max())
            return MMIOERR_CANNOTSEEK;
        if (DWORD(size) != ck->cksize) {
            ck->cksize = DWORD(size);
            if (!SeekTo(h, std::int64_t(ck->dwDataOffset) - 4) || !WriteDword(h, ck->cksize)
                || !SeekTo(h, end))
                return MMIOERR_CANNOTWRITE;
        }
        if ((ck->cksize & 1) && mmioWrite(h, "", 1) != 1)
            return MMIOERR_CANNOTWRITE;
        ck->dwFlags &= ~MMIO_DIRTY;
        return MMSYSERR_NOERROR;
    }
    return SeekTo(h, ChunkEnd(*ck)) ? MMSYSERR_NOERROR : MMIOERR_CANNOTSEEK;
}

// Finds the next chunk (or the wanted one) from the current position, within `parent` when given.
// Every step moves forward by at least one header, so a damaged file ends the search at its end.
MMRESULT mmioDescend(HMMIO h, MMCKINFO* ck, const MMCKINFO* parent, UINT flags)
{
    if (!h || !ck)
        return MMSYSERR_INVALPARAM;
    const std::int64_t limit = parent ? std::int64_t(parent->dwDataOffset) + parent->cksize : kMaxOffset;
    for (;;) {
        if (Tell(h) + 8 > limit)
            return MMIOERR_CHUNKNOTFOUND;
        MMCKINFO found{};
        if (!ReadChunkHeader(h, found))
            return MMIOERR_CHUNKNOTFOUND;
        if (Matches(found, *ck, flags)) {
            *ck = found;
            return MMSYSERR_NOERROR;
        }
        if (!SeekTo(h, ChunkEnd(found)))
            return MMIOERR_CHUNKNOTFOUND;
    }
}

MMRESULT mmioRename(const char* from, const char* to, const void*, DWORD)
{
    if (!from || !to)
        return MMSYSERR_INVALPARAM;
    return std::rename(from, to) == 0 ? MMSYSERR_NOERROR : MMIOERR_FILENOTFOUND;
}

MMRESULT mmioFlush(HMMIO h, UINT)
{
    if (!h)
        return MMSYSERR_INVALHANDLE;
    h->last = MmioFile::Last::None;
    return std::fflush(h->file) == 0 && !std::ferror(h->file) ? MMSYSERR_NOERROR : MMIOERR_CANNOTWRITE;
}
