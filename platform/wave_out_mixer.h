#pragma once

#include "platform/mmsystem.h"

inline constexpr MMRESULT MIXERR_INVALLINE = 1024;
inline constexpr MMRESULT MIXERR_INVALCONTROL = 1025;

namespace platform {

// The volume control of a wave-out device's mixer line: two channels, 0 to 65,535.
class WaveOutMixer {
public:
    static constexpr DWORD kMaxVolume = 0xFFFF;

    // MMSYSERR_BADDEVICEID without such a device, MIXERR_INVALCONTROL when it has no volume.
    static MMRESULT GetVolume(UINT deviceId, DWORD& left, DWORD& right);
    // Values above kMaxVolume give MMSYSERR_INVALPARAM.
    static MMRESULT SetVolume(UINT deviceId, DWORD left, DWORD right);
};

} // namespace platform
