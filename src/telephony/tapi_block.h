#pragma once

#include "tapi/include/tapi.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

// A TAPI variable-size structure in a zeroed block of its own, freed with the block. The block is
// never smaller than the structure's fixed part; dwTotalSize tells TAPI the size asked for.
template <typename T> class TapiBlock {
public:
    explicit TapiBlock(std::size_t totalSize)
        : m_size(std::max(totalSize, sizeof(T)))
        , m_bytes(new std::byte[m_size]())
    {
        Get()->dwTotalSize = DWORD(std::min(totalSize, m_size));
    }

    T* Get() { return reinterpret_cast<T*>(m_bytes.get()); }
    const T* Get() const { return reinterpret_cast<const T*>(m_bytes.get()); }
    T* operator->() { return Get(); }
    const T* operator->() const { return Get(); }

    // The text that TAPI placed at an offset/size pair, up to its terminator. A pair that points
    // outside what TAPI filled in yields an empty text, never a read beyond the block.
    std::string_view Text(DWORD size, DWORD offset) const
    {
        const std::size_t used = std::min<std::size_t>(Get()->dwUsedSize, m_size);
        if (size == 0 || offset >= used || size > used - offset)
            return {};
        const char* text = reinterpret_cast<const char*>(m_bytes.get()) + offset;
        return std::string_view(text, strnlen(text, size));
    }

    // The 32-bit value at an offset, as device ids are returned in a VARSTRING.
    bool ReadDword(DWORD offset, DWORD& value) const
    {
        const std::size_t used = std::min<std::size_t>(Get()->dwUsedSize, m_size);
        if (offset >= used || used - offset < sizeof(DWORD))
            return false;
        std::memcpy(&value, m_bytes.get() + offset, sizeof(DWORD));
        return true;
    }

private:
    std::size_t m_size;
    std::unique_ptr<std::byte[]> m_bytes;
};
