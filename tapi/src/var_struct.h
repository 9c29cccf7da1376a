#pragma once

#include "tapi.h"

#include <cstddef>
#include <cstring>
#include <string_view>

namespace tapi {

// Fills the variable part of a TAPI structure that starts with dwTotalSize, dwNeededSize and
// dwUsedSize. The caller has checked that the fixed part fits. Each Add places the data when it
// fits and always counts it in dwNeededSize, so an application can retry with a larger buffer.
class VarStruct {
public:
    VarStruct(void* structure, std::size_t fixedSize);

    // Adds a text with its terminating NUL (nothing for an empty text) and sets size and offset.
    void AddText(std::string_view text, DWORD& size, DWORD& offset);
    void AddBytes(const void* data, std::size_t bytes, DWORD& size, DWORD& offset);

private:
    unsigned char* m_base;
    DWORD m_total;
};

// Zeroes everything of a structure after its total size, up to the fixed part, and sets the
// needed and used sizes to the fixed part.
void ResetFixedPart(void* structure, std::size_t fixedSize);

} // namespace tapi
