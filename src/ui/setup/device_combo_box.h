#pragma once

#include "telephony/device_choice_list.h"

#include <QComboBox>

// A device drop-down list of the telephony page: the line manager fills it through
// DeviceChoiceList, each entry holding its device identifier as item data.
class DeviceComboBox : public QComboBox, public DeviceChoiceList {
public:
    using QComboBox::QComboBox;

    void Clear() override { clear(); }
    void AddItem(std::string_view text, std::uint32_t deviceId) override;
    int Count() const override { return count(); }
    std::string ItemText(int index) const override { return itemText(index).toStdString(); }
    int SelectedIndex() const override { return currentIndex(); }
    void Select(int index) override { setCurrentIndex(index); }

    // The selected entry's text; "No device" when nothing is selected.
    std::string SelectedText() const;
    // The selected entry's device, or false for "No device" and no selection.
    bool SelectedDevice(std::uint32_t& deviceId) const;
};
