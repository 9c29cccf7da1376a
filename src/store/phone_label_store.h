#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

// The fourteen names of the phone labels that a contact's numbers refer to by index.
class PhoneLabelStore {
public:
    static constexpr int kLabelCount = 14;
    static constexpr std::size_t kLabelLimit = 32;
    static constexpr std::string_view kFileName = "KestriumPhoneLabels.csv";

    PhoneLabelStore();

    // The n-th white-space separated word of the file replaces label n-1; words past the 14th are
    // ignored, a word longer than 32 bytes is cut. A missing file keeps the defaults.
    void Load(const std::filesystem::path& file);

    // The label text; empty for an index outside 0..13 (hand-edited files), which has no name.
    std::string_view GetLabel(int index) const;

private:
    std::array<std::string, kLabelCount> m_labels;
};
