#include "store/csv_writer.h"

#include <charconv>

CsvWriter::CsvWriter(const std::filesystem::path& path)
    : m_file(path)
{
}

void CsvWriter::BeginField()
{
    m_field.clear();
    if (m_recordStarted)
        m_field.push_back(',');
    m_recordStarted = true;
    m_field.push_back('"');
}

void CsvWriter::Text(std::string_view text, std::size_t limit)
{
    BeginField();
    CsvCodec::AppendEscaped(m_field, text, limit);
    m_field.push_back('"');
    m_file.Write(m_field);
}

void CsvWriter::Number(std::int32_t value)
{
    BeginField();
    char digits[16];
    auto result = std::to_chars(digits, digits + sizeof digits, value);
    m_field.append(digits, result.ptr);
    m_field.push_back('"');
    m_file.Write(m_field);
}

void CsvWriter::EndRecord()
{
    m_file.Put('\n');
    m_recordStarted = false;
}
