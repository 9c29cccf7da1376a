#include "store/csv_records.h"

#include "store/text_limit.h"

#include <algorithm>
#include <string_view>

namespace {

std::size_t LimitOf(std::span<const std::size_t> limits, std::size_t field)
{
    return field < limits.size() ? limits[field] : CsvCodec::kFieldLimit;
}

// The common case in one pass: a whole record on one buffered line, every field plain text
// between quotes (no escape, no CR but the line end's), separated by commas. Its fields are views
// of the reader's buffer, holding what ReadField reads field by field. False, with nothing
// consumed, for anything else.
bool TakePlainRecord(
    TextFileReader& reader, std::span<std::string_view> fields, std::span<const std::size_t> limits)
{
    const std::string_view buffered = reader.Buffered();
    const std::size_t lineEnd = buffered.find('\n');
    if (fields.empty() || lineEnd == std::string_view::npos)
        return false;
    std::string_view line = buffered.substr(0, lineEnd);
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    // Without escapes every quote opens or closes a field; a doubled one is caught below.
    if (line.find('\\') != std::string_view::npos || line.find('\r') != std::string_view::npos)
        return false;
    const char* const end = line.data() + line.size();
    const char* pos = line.data();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (pos == end || *pos != '"')
            return false;
        const char* const open = ++pos;
        pos = std::find(pos, end, '"');
        if (pos == end)
            return false;
        const std::string_view text(open, std::size_t(pos - open));
        ++pos; // the closing quote
        const bool last = i + 1 == fields.size();
        if (last ? pos != end : pos == end || *pos != ',') // a doubled quote, a field too many or too few
            return false;
        const std::size_t limit = LimitOf(limits, i);
        fields[i] = text.size() <= limit ? text : CutToLimit(text, limit);
        ++pos;
    }
    reader.Skip(lineEnd + 1);
    return true;
}

} // namespace

std::size_t ReadRecordFields(TextFileReader& reader, std::span<std::string_view> fields,
    std::span<std::string> copies, std::span<const std::size_t> limits)
{
    if (TakePlainRecord(reader, fields, limits))
        return fields.size();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (!CsvCodec::ReadField(reader, copies[i], LimitOf(limits, i)))
            return i;
        fields[i] = copies[i];
    }
    return fields.size();
}
