#include "var_struct.h"

namespace tapi {

namespace {

struct Header {
    DWORD total;
    DWORD needed;
    DWORD used;
};

Header* HeaderOf(void* structure)
{
    return static_cast<Header*>(structure);
}

} // namespace

void ResetFixedPart(void* structure, std::size_t fixedSize)
{
    auto* header = HeaderOf(structure);
    auto* bytes = static_cast<unsigned char*>(structure);
    std::memset(bytes + sizeof(DWORD), 0, fixedSize - sizeof(DWORD));
    header->needed = static_cast<DWORD>(fixedSize);
    header->used = static_cast<DWORD>(fixedSize);
}

VarStruct::VarStruct(void* structure, std::size_t fixedSize)
    : m_base(static_cast<unsigned char*>(structure))
    , m_total(HeaderOf(structure)->total)
{
    ResetFixedPart(structure, fixedSize);
}

void VarStruct::AddText(std::string_view text, DWORD& size, DWORD& offset)
{
    if (text.empty())
        return;
    auto* header = reinterpret_cast<Header*>(m_base);
    const std::size_t bytes = text.size() + 1;
    header->needed += static_cast<DWORD>(bytes);
    if (header->used + bytes > m_total)
        return;
    std::memcpy(m_base + header->used, text.data(), text.size());
    m_base[header->used + text.size()] = 0;
    offset = header->used;
    size = static_cast<DWORD>(bytes);
    header->used += static_cast<DWORD>(bytes);
}

void VarStruct::AddBytes(const void* data, std::size_t bytes, DWORD& size, DWORD& offset)
{
    auto* header = reinterpret_cast<Header*>(m_base);
    header->needed += static_cast<DWORD>(bytes);
    if (bytes == 0 || header->used + bytes > m_total)
        return;
    std::memcpy(m_base + header->used, data, bytes);
    offset = header->used;
    size = static_cast<DWORD>(bytes);
    header->used += static_cast<DWORD>(bytes);
}

} // namespace tapi
