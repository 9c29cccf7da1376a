#pragma once

#include "platform/wave_devices.h"

namespace platform {

// Adds every ALSA sound card with its capture and playback sides, in ALSA's card order; the first
// card (ALSA's default card) plays and records through the "default" device, so a sound server
// in between is used. A machine without sound cards adds nothing.
void AddAlsaCards(WaveDeviceList& list);

} // namespace platform
