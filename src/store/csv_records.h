#pragma once

#include "store/csv_codec.h"
#include "store/text_file_reader.h"
#include "store/unread_data.h"

#include <array>
#include <cstddef>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

// Reads the next record into `fields`, each cut to limits[i] (to the field limit past the end of
// `limits`). A record in the common plain form is read in one pass, its fields viewing the
// reader's buffer; any other is read one ReadField at a time into `copies` (as large as
// `fields`), which the fields then view. The views last until the reader is used again. Returns
// how many fields were read before the first call that yielded none.
std::size_t ReadRecordFields(TextFileReader& reader, std::span<std::string_view> fields,
    std::span<std::string> copies, std::span<const std::size_t> limits = {});

// The loading loop every CSV store shares: reads records of `Columns` fields from `file` and hands
// each to `take` (as views valid during the call) until one cannot be read completely, `take`
// refuses one (a full store), or `maxRecords` have been taken. Where a fault stopped it, unread
// data are preserved beside the file (PreserveUnreadData). Returns false when the file could not
// be opened.
template <std::size_t Columns, class Take>
bool LoadRecords(
    const std::filesystem::path& file, std::span<const std::size_t> limits, std::size_t maxRecords, Take take)
{
    TextFileReader reader(file);
    if (!reader.IsOpen())
        return false;
    std::array<std::string_view, Columns> fields;
    std::array<std::string, Columns> copies;
    for (std::size_t taken = 0; taken < maxRecords; ++taken) {
        std::size_t read = ReadRecordFields(reader, fields, copies, limits);
        if (read < fields.size() || !take(std::span<const std::string_view>(fields))) {
            PreserveUnreadData(file, reader, read > 0);
            break;
        }
    }
    return true;
}
