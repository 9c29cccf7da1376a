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

ContactRecord RecordFromColumns(std::span<const std::string_view> columns, GroupStore& groups)
{
    std::array<std::string_view, ContactRecord::kTextCount> texts{};
    texts[std::size_t(ContactField::Group)] = ContactRecord::ValidGroup(columns[0], groups);
    for (std::size_t i = 0; i < std::size(kLeadingTexts); ++i)
        texts[std::size_t(kLeadingTexts[i])] = columns[1 + i];
    texts[std::size_t(ContactField::DisplayName)] = columns[kDisplayNameColumn];
    for (int slot = 0; slot < ContactRecord::kNumberCount; ++slot)
        texts[kContactFieldCount + std::size_t(slot)] = columns[kFirstNumberColumn + 2 * std::size_t(slot)];
    for (std::size_t i = 0; i < std::size(kTrailingTexts); ++i)
        texts[std::size_t(kTrailingTexts[i])] = columns[kFirstTrailingColumn + i];
    ContactRecord record;
    record.SetTexts(texts);
    record.SetDefaultNumberIndex(CsvCodec::ToNumber(columns[kDefaultNumberColumn]));
    for (int slot = 0; slot < ContactRecord::kNumberCount; ++slot)
        record.SetLabelIndex(
            slot, CsvCodec::ToNumber(columns[kFirstNumberColumn + 2 * std::size_t(slot) + 1]));
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
