#include "store/contact_file.h"

#include "store/csv_codec.h"
#include "store/csv_writer.h"
#include "store/group_store.h"

namespace ContactFile {

namespace {

constexpr ContactField kLeadingTexts[] = { ContactField::FirstName, ContactField::LastName,
    ContactField::MiddleName, ContactField::Title, ContactField::Company };
constexpr ContactField kTrailingTexts[] = { ContactField::Street, ContactField::Street2, ContactField::City,
    ContactField::State, ContactField::Zip, ContactField::Country, ContactField::Note };
constexpr std::size_t kDisplayNameColumn = 6;
constexpr std::size_t kDefaultNumberColumn = 7;
constexpr std::size_t kFirstNumberColumn = 8;
constexpr std::size_t kFirstTrailingColumn = 28;

} // namespace

ContactRecord RecordFromColumns(std::span<const std::string> columns, GroupStore& groups)
{
    ContactRecord record;
    std::size_t textBytes = 0;
    for (const std::string& column : columns)
        textBytes += column.size();
    record.ReserveText(textBytes);
    record.SetGroup(columns[0], groups);
    for (std::size_t i = 0; i < std::size(kLeadingTexts); ++i)
        record.SetText(kLeadingTexts[i], columns[1 + i]);
    if (!columns[kDisplayNameColumn].empty())
        record.SetDisplayName(columns[kDisplayNameColumn]);
    record.SetDefaultNumberIndex(CsvCodec::ToNumber(columns[kDefaultNumberColumn]));
    for (int slot = 0; slot < ContactRecord::kNumberCount; ++slot) {
        record.SetNumber(slot, columns[kFirstNumberColumn + 2 * slot]);
        record.SetLabelIndex(slot, CsvCodec::ToNumber(columns[kFirstNumberColumn + 2 * slot + 1]));
    }
    for (std::size_t i = 0; i < std::size(kTrailingTexts); ++i)
        record.SetText(kTrailingTexts[i], columns[kFirstTrailingColumn + i]);
    return record;
}

void WriteRecord(CsvWriter& writer, const ContactRecord& record)
{
    writer.Text(record.Group());
    for (ContactField field : kLeadingTexts)
        writer.Text(record.Text(field));
    writer.Text(record.DisplayName());
    writer.Number(record.DefaultNumberIndex());
    for (int slot = 0; slot < ContactRecord::kNumberCount; ++slot) {
        writer.Text(record.Number(slot));
        writer.Number(record.LabelIndex(slot));
    }
    for (ContactField field : kTrailingTexts)
        writer.Text(record.Text(field));
    writer.EndRecord();
}

} // namespace ContactFile
