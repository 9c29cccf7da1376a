#include "store/csv_writer.h"

#include <charconv>

CsvWriter::CsvWriter(const std::filesystem::path& path, TextFileWriter::Durability durability)
    : m_file(path, durability)
{
}

void CsvWriter::BeginField()
{
    if (!m_line.empty())
        m_line.push_back(',');
    m_line.push_back('"');
}

void CsvWriter::Text(std::string_view text, std::size_t limit)
{
    BeginField();
    CsvCodec::AppendEscaped(m_line, text, limit);
    m_line.push_back('"');
}

void CsvWriter::Number(std::int32_t value)
{
    BeginField();
    char digits[16];
    auto result = std::to_chars(digits, digits + sizeof digits, value);
    m_line.append(digits, result.ptr);
    m_line.push_back('"');
}

void CsvWriter::EndRecord()
{
    m_line.push_back('\n');
    WritePending();
}

bool CsvWriter::Commit()
{
    WritePending();
    return m_file.Commit();
}

void CsvWriter::WritePending()
{
    m_file.Write(m_line);
    m_line.clear();
}
