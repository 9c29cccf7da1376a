#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

// The configured TAPI line name and the user's label of each of the six line slots, kept in
// "KestriumDevices.csv": one record of twelve quoted fields (the six names, then the six labels)
// with no line end after the last field.
class DeviceMap {
public:
    static constexpr int kSlotCount = 6;
    // A name or label holds at most 100 bytes; longer texts are cut (never inside a character).
    static constexpr std::size_t kMaxTextLength = 100;
    static constexpr std::string_view kNoDevice = "No device";
    static constexpr std::string_view kFileName = "KestriumDevices.csv";

    DeviceMap();

    const std::string& GetDeviceName(int slot) const { return m_names[slot]; }
    void SetDeviceName(int slot, std::string_view name);
    const std::string& GetLineLabel(int slot) const { return m_labels[slot]; }
    void SetLineLabel(int slot, std::string_view label);

    // The label, unless it is the default "Line %d" in any letter case; then the device name.
    std::string GetDisplayName(int slot) const;

    // A missing file gives the defaults. Names are read up to the first field that cannot be read
    // (the others keep their values); each label missing from the file is the default.
    void Load(const std::filesystem::path& path);
    // False when the file could not be written; the old file then stays as it was.
    bool Save(const std::filesystem::path& path) const;

    static std::string DefaultLabel(int slot);

private:
    void SetDefaults();

    std::array<std::string, kSlotCount> m_names;
    std::array<std::string, kSlotCount> m_labels;
};
