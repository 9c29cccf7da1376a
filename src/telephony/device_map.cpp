#include "telephony/device_map.h"

#include "store/csv_codec.h"
#include "store/csv_writer.h"
#include "store/text_file_reader.h"
#include "store/text_limit.h"

#include <QByteArray>

DeviceMap::DeviceMap()
{
    SetDefaults();
}

void DeviceMap::SetDefaults()
{
    for (int slot = 0; slot < kSlotCount; ++slot) {
        m_names[slot] = kNoDevice;
        m_labels[slot] = DefaultLabel(slot);
    }
}

std::string DeviceMap::DefaultLabel(int slot)
{
    return "Line " + std::to_string(slot + 1);
}

void DeviceMap::SetDeviceName(int slot, std::string_view name)
{
    m_names[slot] = CutToLimit(name, kMaxTextLength);
}

void DeviceMap::SetLineLabel(int slot, std::string_view label)
{
    m_labels[slot] = CutToLimit(label, kMaxTextLength);
}

std::string DeviceMap::GetDisplayName(int slot) const
{
    const QByteArray label = QByteArray::fromStdString(m_labels[slot]);
    const QByteArray byDefault = QByteArray::fromStdString(DefaultLabel(slot));
    return label.compare(byDefault, Qt::CaseInsensitive) == 0 ? m_names[slot] : m_labels[slot];
}

void DeviceMap::Load(const std::filesystem::path& path)
{
    TextFileReader file(path);
    if (!file.IsOpen()) {
        SetDefaults();
        return;
    }
    std::string field;
    for (int slot = 0; slot < kSlotCount && CsvCodec::ReadField(file, field, kMaxTextLength); ++slot)
        m_names[slot] = field;
    for (int slot = 0; slot < kSlotCount; ++slot)
        m_labels[slot] = CsvCodec::ReadField(file, field, kMaxTextLength) ? field : DefaultLabel(slot);
}

bool DeviceMap::Save(const std::filesystem::path& path) const
{
    CsvWriter file(path);
    if (!file.IsOpen())
        return false;
    for (const std::string& name : m_names)
        file.Text(name);
    for (const std::string& label : m_labels)
        file.Text(label);
    return file.Commit();
}
