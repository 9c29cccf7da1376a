#include "store/csv_records.h"

std::size_t ReadRecordFields(
    TextFileReader& reader, std::span<std::string> fields, std::span<const std::size_t> limits)
{
    for (std::size_t i = 0; i < fields.size(); ++i) {
        std::size_t limit = i < limits.size() ? limits[i] : CsvCodec::kFieldLimit;
        if (!CsvCodec::ReadField(reader, fields[i], limit))
            return i;
    }
    return fields.size();
}
