#pragma once

#include <cstddef>
#include <string_view>

// Texts are UTF-8; every size limit counts bytes and is enforced by cutting, and a cut never splits
// a character: the result is the longest prefix of at most `limit` bytes that ends on a character
// boundary (bytes that are not valid UTF-8 are treated as one-byte characters).
std::string_view CutToLimit(std::string_view text, std::size_t limit);
