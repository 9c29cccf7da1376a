#pragma once

#include <string_view>

// True when `text` begins with `prefix`, comparing byte by byte with only the ASCII letters A to Z
// folded to lower case. Every text begins with the empty prefix.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
