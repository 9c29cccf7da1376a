#include "store/csv_codec.h"

#include "store/text_file_reader.h"
#include "store/text_limit.h"

#include <algorithm>
#include <array>
#include <limits>

namespace CsvCodec {

namespace {

// A field is collected a few bytes beyond its limit so that the cut can find the character
// boundary; the bytes past that are consumed and dropped.
constexpr std::size_t kCutSlack = 4;

std::size_t EscapedSize(char c)
{
    return (c == '\n' || c == '"' || c == '\\') ? 2 : 1;
}

// Every byte but those ReadField treats specially and CR (which text mode may join with an LF).
// A table, so that scanning a field costs one lookup per byte.
constexpr std::array<bool, 256> kPlainBytes = [] {
    std::array<bool, 256> plain{};
    plain.fill(true);
    for (unsigned char special : { '"', '\\', '\n', '\r' })
        plain[special] = false;
    return plain;
}();

bool IsPlainByte(char c)
{
    return kPlainBytes[static_cast<unsigned char>(c)];
}

// Appends the run of plain bytes at the reader's position in one go (they are appended unchanged
// whether or not the opening quote has been seen), keeping at most `collect` bytes in `field`.
void TakePlainRun(TextFileReader& file, std::string& field, std::size_t collect)
{
    std::string_view buffered = file.Buffered();
    std::size_t run = 0;
    while (run < buffered.size() && IsPlainByte(buffered[run]))
        ++run;
    std::size_t room = collect > field.size() ? collect - field.size() : 0;
    field.append(buffered.data(), std::min(run, room));
    file.Skip(run);
}

// The common case in one step: a buffered field of plain bytes between quotes, followed by a
// comma. False, with nothing consumed, for anything else; ReadField then reads byte by byte.
bool TakeSimpleField(TextFileReader& file, std::string& field, std::size_t collect)
{
    const std::string_view buffered = file.Buffered();
    if (buffered.empty() || buffered[0] != '"')
        return false;
    std::size_t end = 1;
    while (end < buffered.size() && IsPlainByte(buffered[end]))
        ++end;
    if (end + 1 >= buffered.size() || buffered[end] != '"' || buffered[end + 1] != ',')
        return false;
    field.assign(buffered.data() + 1, std::min(end - 1, collect));
    file.Skip(end + 2);
    return true;
}

bool IsWhiteSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

} // namespace

std::string_view FittingPrefix(std::string_view text, std::size_t limit)
{
    if (text.size() * 2 <= limit)
        return text;
    std::size_t escaped = 0;
    std::size_t i = 0;
    while (i < text.size() && escaped + EscapedSize(text[i]) <= limit)
        escaped += EscapedSize(text[i++]);
    if (i == text.size())
        return text;
    return CutToLimit(text, i);
}

bool ReadField(TextFileReader& file, std::string& field, std::size_t limit)
{
    field.clear();
    const std::size_t collect = limit + kCutSlack;
    bool quoted = false;
    bool result = TakeSimpleField(file, field, collect);
    while (!result) {
        TakePlainRun(file, field, collect);
        int c = file.Get();
        if (c == TextFileReader::kEnd) {
            result = quoted;
            break;
        }
        if (c == '\n') {
            if (!quoted)
                return false;
            c = ' '; // a raw line feed inside the quotes
        } else if (c == '"') {
            if (!quoted) {
                quoted = true;
                continue;
            }
            if (file.Get() != '"') { // the closing quote takes the byte after it along
                result = true;
                break;
            }
        } else if (c == '\\') {
            int next = file.Get();
            if (next == 'n') {
                c = '\n';
            } else if (next != '\\') { // any other byte ends the field, quoted or not
                result = quoted;
                break;
            }
        }
        if (field.size() < collect)
            field.push_back(static_cast<char>(c));
    }
    if (field.size() > limit)
        field.resize(CutToLimit(field, limit).size());
    return result;
}

void AppendEscaped(std::string& out, std::string_view text, std::size_t limit)
{
    text = FittingPrefix(text, limit);
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c != '\n' && c != '"' && c != '\\')
            continue;
        out.append(text.data() + runStart, i - runStart);
        out.push_back(c == '\n' ? '\\' : c);
        out.push_back(c == '\n' ? 'n' : c);
        runStart = i + 1;
    }
    out.append(text.data() + runStart, text.size() - runStart);
}

std::string EscapeField(std::string_view text, std::size_t limit)
{
    std::string out;
    AppendEscaped(out, text, limit);
    return out;
}

std::int32_t ToNumber(std::string_view field)
{
    // The usual field, as the writers write it: up to nine digits, which cannot overflow.
    constexpr std::size_t kSafeDigits = 9;
    if (!field.empty() && field.size() <= kSafeDigits
        && std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        std::int32_t value = 0;
        for (char c : field)
            value = value * 10 + (c - '0');
        return value;
    }
    std::size_t i = 0;
    while (i < field.size() && IsWhiteSpace(field[i]))
        ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-'))
        negative = field[i++] == '-';
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    std::int64_t value = 0;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
        value = value * 10 + (field[i] - '0');
        if (value > kMax + 1)
            value = kMax + 1;
    }
    value = negative ? -value : value;
    return static_cast<std::int32_t>(value < kMin ? kMin : (value > kMax ? kMax : value));
}

} // namespace CsvCodec
