#pragma once

#include <cstdint>
#include <string>

namespace testing_support {

// Little-endian byte strings, for building RIFF chunks by hand.
inline std::string Le32(std::uint32_t v)
{
    return { char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF), char(v >> 24) };
}

inline std::string Le16(std::uint16_t v)
{
    return { char(v & 0xFF), char(v >> 8) };
}

} // namespace testing_support
