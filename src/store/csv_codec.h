#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class TextFileReader;

// The field syntax shared by every CSV data file: each field stands between double quotes, fields
// are separated by "," and a record ends with a line end. Inside the quotes an LF is written as
// backslash-n, a double quote is doubled and a backslash is doubled; nothing else is escaped.
namespace CsvCodec {

// A field holds at most 999 bytes: of text when read, of escaped text when written.
inline constexpr std::size_t kFieldLimit = 999;

// Reads one field from the current position and leaves the position after the byte that follows
// the closing quote. Returns false when the call yields no field: the data ends before an opening
// quote, or an LF comes before it (a blank line, the end of an unquoted record). The text is cut
// to `limit` bytes (never inside a character); the rest of a longer field is still consumed, so the
// next field is read from the right place.
bool ReadField(TextFileReader& file, std::string& field, std::size_t limit = kFieldLimit);

// The escaped form of `text`, ready to stand between quotes. When the escaped form would exceed
// `limit` bytes the text is cut first: never inside an escape pair and never inside a character,
// so the field reads back as an exact prefix of the text.
std::string EscapeField(std::string_view text, std::size_t limit = kFieldLimit);
// The same, appended to `out` (writers use it to avoid a string per field).
void AppendEscaped(std::string& out, std::string_view text, std::size_t limit = kFieldLimit);
// The longest prefix of `text` whose escaped form fits `limit` bytes, ending on a character
// boundary: what a field keeps of the text.
std::string_view FittingPrefix(std::string_view text, std::size_t limit = kFieldLimit);

// A field as a decimal number: leading white space skipped, an optional sign, then digits up to
// the first other byte; no digits read as 0. Values beyond the 32-bit range saturate.
std::int32_t ToNumber(std::string_view field);

} // namespace CsvCodec
