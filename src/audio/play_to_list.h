#pragma once

#include <string>
#include <vector>

class SettingsStore;

// The "Play to" choice of the playback controls: the product names of the wave-out devices, the
// stored choice, and the device a chosen name plays on.
class PlayToList {
public:
    explicit PlayToList(SettingsStore& settings);

    // The product names of every wave-out device, in device order.
    static std::vector<std::string> DeviceNames();
    // The entry whose text equals the stored "Play to" value, else the entry named like wave-out
    // device 0; -1 for an empty list.
    int SelectedIndex(const std::vector<std::string>& names) const;
    // Stores the selected text as "Play to".
    void Select(const std::string& name);
    // The first wave-out device whose product name equals `name`, or -1 (then nothing plays).
    static int FindOutputDevice(const std::string& name);

private:
    SettingsStore& m_settings;
};
