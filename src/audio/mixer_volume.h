#pragma once

#include "audio/audio_result.h"

#include <cstdint>

// The volume of wave-out device 0, 0 to 65,535 per channel.
class MixerVolume {
public:
    static AudioResult Get(std::uint32_t* left, std::uint32_t* right);
    // A negative value keeps that channel's volume.
    static AudioResult Set(std::int32_t left, std::int32_t right);
};
