#pragma once

#include <optional>

class LineManager;

// The volume a player's sound goes out at, 0 to 65,535: the phone's handset or headset when the
// sound plays through line `line`'s phone, else the sound card's mixer (line -1).
namespace OutputVolume {

inline constexpr int kMaximum = 65535;

// No value where that device has no volume to set.
std::optional<int> Read(LineManager& lines, int line);
void Write(LineManager& lines, int line, int value);

} // namespace OutputVolume
