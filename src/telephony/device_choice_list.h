#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// One device choice list of the setup dialog's telephony page, as the line manager fills it.
class DeviceChoiceList {
public:
    virtual ~DeviceChoiceList() = default;

    virtual void Clear() = 0;
    virtual void AddItem(std::string_view text, std::uint32_t deviceId) = 0;
    virtual int Count() const = 0;
    virtual std::string ItemText(int index) const = 0;
    // The selected item's index, -1 when none.
    virtual int SelectedIndex() const = 0;
    virtual void Select(int index) = 0;
};
