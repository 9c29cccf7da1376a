#include "ui/setup/device_combo_box.h"

#include "telephony/device_map.h"

void DeviceComboBox::AddItem(std::string_view text, std::uint32_t deviceId)
{
    addItem(QString::fromUtf8(text.data(), qsizetype(text.size())), QVariant::fromValue(deviceId));
}

std::string DeviceComboBox::SelectedText() const
{
    return currentIndex() < 0 ? std::string(DeviceMap::kNoDevice) : currentText().toStdString();
}

// The first entry is always "No device".
bool DeviceComboBox::SelectedDevice(std::uint32_t& deviceId) const
{
    if (currentIndex() < 1)
        return false;
    deviceId = currentData().value<std::uint32_t>();
    return true;
}
