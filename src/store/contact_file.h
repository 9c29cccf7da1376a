#pragma once

#include "store/contact_record.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

class CsvWriter;
class GroupStore;

// The 35-column layout shared by the contacts, speed-dial and redial files: group, first, last and
// middle name, title, company, display name, default number, ten pairs of number and label, the
// six address fields and the note.
namespace ContactFile {

inline constexpr std::size_t kColumnCount = 35;

// A record from the 35 columns read: the group through SetGroup, the display name only when its
// column is not empty, integers as decimal numbers. The texts are copied, so `columns` keeps its
// buffers for the next record.
ContactRecord RecordFromColumns(std::span<const std::string_view> columns, GroupStore& groups);

// Writes the record as one line of 35 columns.
void WriteRecord(CsvWriter& writer, const ContactRecord& record);

} // namespace ContactFile
