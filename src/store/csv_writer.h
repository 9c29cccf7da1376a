#pragma once

#include "store/csv_codec.h"
#include "store/text_file_writer.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

// Writes records in the field syntax of CsvCodec: every field quoted, "," between the fields of a
// record, an LF after each record that asks for one. The file replaces the old one on Commit().
class CsvWriter {
public:
    explicit CsvWriter(const std::filesystem::path& path,
        TextFileWriter::Durability durability = TextFileWriter::Durability::PowerCut);

    bool IsOpen() const { return m_file.IsOpen(); }

    void Text(std::string_view text, std::size_t limit = CsvCodec::kFieldLimit);
    void Number(std::int32_t value);
    void EndRecord();
    bool Commit();

private:
    void BeginField();
    void WritePending();

    TextFileWriter m_file;
    std::string m_line; // the record being written, handed to the file as a whole
};

// Writes every record of `records` with `write(writer, record)` and replaces the file; false when
// the file cannot be written (the old file then stays).
template <class Records, class Write>
bool SaveRecords(const std::filesystem::path& file, const Records& records, Write write,
    TextFileWriter::Durability durability = TextFileWriter::Durability::PowerCut)
{
    CsvWriter writer(file, durability);
    if (!writer.IsOpen())
        return false;
    for (const auto& record : records)
        write(writer, record);
    return writer.Commit();
}
