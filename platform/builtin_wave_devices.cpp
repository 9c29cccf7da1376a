#include "platform/wave_devices.h"

namespace platform {

// The sound cards and the silent device are added by the audio layer; until it exists the lists
// hold only what providers add.
void AddBuiltInWaveDevices(WaveDeviceList&) {}

}  // namespace platform
