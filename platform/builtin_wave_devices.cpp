#include "platform/wave_devices.h"

#include "platform/silent_wave_in.h"
#include "platform/silent_wave_out.h"

namespace platform {

// The silent device is always listed, after the sound cards.
void AddBuiltInWaveDevices(WaveDeviceList& list)
{
    list.AddInput(WaveDeviceGroup::Silent, 0, std::make_shared<SilentWaveIn>());
    list.AddOutput(WaveDeviceGroup::Silent, 0, std::make_shared<SilentWaveOut>());
}

}  // namespace platform
