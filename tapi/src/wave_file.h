#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tapi {

// Reads a PCM WAVE file (8 or 16 bit, mono or stereo, 4,000 to 48,000 Hz) as 8,000 Hz 16-bit mono
// samples, the format of a telephone line. Returns false with a reason for anything else.
bool ReadWaveFileAsLineAudio(
    const std::filesystem::path& path, std::vector<std::int16_t>& samples, std::string& error);

} // namespace tapi
