#include "platform/wave_devices.h"

#include "platform/alsa_cards.h"
#include "platform/silent_wave_in.h"
#include "platform/silent_wave_out.h"

namespace platform {

// The sound cards first, then the silent device, which is always listed.
void AddBuiltInWaveDevices(WaveDeviceList& list)
{
    AddAlsaCards(list);
    list.AddInput(WaveDeviceGroup::Silent, 0, std::make_shared<SilentWaveIn>());
    list.AddOutput(WaveDeviceGroup::Silent, 0, std::make_shared<SilentWaveOut>());
}

} // namespace platform
