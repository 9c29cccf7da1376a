#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tapi {

// Words of a control command: separated by blanks; double quotes group words, and inside them
// \" and \\ stand for a quote and a backslash. Returns false for an unterminated quote.
bool SplitCommandWords(std::string_view text, std::vector<std::string>& words);
// The word written so that SplitCommandWords reads it back unchanged.
std::string QuoteCommandWord(std::string_view word);

} // namespace tapi
