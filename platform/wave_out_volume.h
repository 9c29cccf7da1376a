#pragma once

#include "platform/mmsystem.h"

namespace platform {

// The volume of a wave-out device, two channels of 0 to 65,535, for devices that have one. The
// mixer reaches it through the device list.
class WaveOutVolume {
public:
    virtual ~WaveOutVolume() = default;
    virtual MMRESULT GetVolume(DWORD& left, DWORD& right) = 0;
    virtual MMRESULT SetVolume(DWORD left, DWORD right) = 0;
};

} // namespace platform
