#include "platform/wave_out_mixer.h"

#include "platform/wave_devices.h"
#include "platform/wave_out_volume.h"

namespace platform {

namespace {

// Keeps the device alive while its volume is used.
struct VolumeOf {
    std::shared_ptr<WaveOutDevice> device;
    WaveOutVolume* volume = nullptr;

    explicit VolumeOf(UINT deviceId)
        : device(WaveDeviceList::Instance().Output(deviceId == WAVE_MAPPER ? 0 : deviceId))
        , volume(dynamic_cast<WaveOutVolume*>(device.get()))
    {
    }
    MMRESULT Error() const { return !device ? MMSYSERR_BADDEVICEID : MIXERR_INVALCONTROL; }
};

} // namespace

MMRESULT WaveOutMixer::GetVolume(UINT deviceId, DWORD& left, DWORD& right)
{
    VolumeOf target(deviceId);
    return target.volume ? target.volume->GetVolume(left, right) : target.Error();
}

MMRESULT WaveOutMixer::SetVolume(UINT deviceId, DWORD left, DWORD right)
{
    if (left > kMaxVolume || right > kMaxVolume)
        return MMSYSERR_INVALPARAM;
    VolumeOf target(deviceId);
    return target.volume ? target.volume->SetVolume(left, right) : target.Error();
}

} // namespace platform
