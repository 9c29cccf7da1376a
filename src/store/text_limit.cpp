#include "store/text_limit.h"

namespace {

bool IsContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// A UTF-8 sequence is at most four bytes, so a character boundary lies within three steps back.
constexpr std::size_t kMaxStepsBack = 3;

} // namespace

std::string_view CutToLimit(std::string_view text, std::size_t limit)
{
    if (text.size() <= limit)
        return text;
    std::size_t end = limit;
    for (std::size_t step = 0; step < kMaxStepsBack && end > 0 && IsContinuationByte(text[end]); ++step)
        --end;
    if (IsContinuationByte(text[end]))
        end = limit; // not UTF-8 at all here: cut at the byte limit
    return text.substr(0, end);
}
