#include "audio/mixer_volume.h"

#include "platform/wave_out_mixer.h"

namespace {

constexpr UINT kDevice = 0;

} // namespace

AudioResult MixerVolume::Get(std::uint32_t* left, std::uint32_t* right)
{
    if (!left || !right)
        return AudioError::MissingOutParameter;
    DWORD l = 0;
    DWORD r = 0;
    const MMRESULT result = platform::WaveOutMixer::GetVolume(kDevice, l, r);
    if (result == MMSYSERR_NOERROR) {
        *left = l;
        *right = r;
    }
    return AudioResult::Platform(result);
}

AudioResult MixerVolume::Set(std::int32_t left, std::int32_t right)
{
    constexpr auto kMax = std::int32_t(platform::WaveOutMixer::kMaxVolume);
    if (left > kMax || right > kMax)
        return AudioError::VolumeOutOfRange;
    DWORD l = 0;
    DWORD r = 0;
    if (const MMRESULT result = platform::WaveOutMixer::GetVolume(kDevice, l, r))
        return AudioResult::Platform(result);
    return AudioResult::Platform(platform::WaveOutMixer::SetVolume(
        kDevice, left >= 0 ? DWORD(left) : l, right >= 0 ? DWORD(right) : r));
}
