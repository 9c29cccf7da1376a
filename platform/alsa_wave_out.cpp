#include "platform/alsa_wave_out.h"

#include "platform/wave_out_mixer.h"

#include <cstring>

namespace platform {

namespace {

struct MixerCloser {
    void operator()(snd_mixer_t* mixer) const { snd_mixer_close(mixer); }
};
using Mixer = std::unique_ptr<snd_mixer_t, MixerCloser>;

// The card's master volume element ("Master", else "PCM"), or null.
snd_mixer_elem_t* VolumeElement(const std::string& card, Mixer& mixer)
{
    snd_mixer_t* handle = nullptr;
    if (snd_mixer_open(&handle, 0) < 0)
        return nullptr;
    mixer.reset(handle);
    if (snd_mixer_attach(handle, card.c_str()) < 0 || snd_mixer_selem_register(handle, nullptr, nullptr) < 0
        || snd_mixer_load(handle) < 0)
        return nullptr;
    for (const char* name : { "Master", "PCM" }) {
        snd_mixer_selem_id_t* id = nullptr;
        snd_mixer_selem_id_alloca(&id);
        snd_mixer_selem_id_set_name(id, name);
        snd_mixer_elem_t* element = snd_mixer_find_selem(handle, id);
        if (element && snd_mixer_selem_has_playback_volume(element))
            return element;
    }
    return nullptr;
}

} // namespace

AlsaWaveOut::AlsaWaveOut(std::string name, std::string device, std::string mixer)
    : m_name(std::move(name))
    , m_mixer(std::move(mixer))
    , m_pcm(std::move(device), SND_PCM_STREAM_PLAYBACK)
{
}

MMRESULT AlsaWaveOut::Start(const PcmFormat& format, Render render)
{
    // What the source does not fill is played as silence.
    const std::uint8_t silence = format.bits == 8 ? 0x80 : 0;
    return m_pcm.Start(format, [render = std::move(render), silence](std::uint8_t* data, std::size_t bytes) {
        const std::size_t filled = render(data, bytes);
        std::memset(data + filled, silence, bytes - filled);
    });
}

void AlsaWaveOut::Stop()
{
    m_pcm.Stop();
}

MMRESULT AlsaWaveOut::GetVolume(DWORD& left, DWORD& right)
{
    Mixer mixer;
    snd_mixer_elem_t* element = VolumeElement(m_mixer, mixer);
    long min = 0, max = 0, l = 0, r = 0;
    if (!element || snd_mixer_selem_get_playback_volume_range(element, &min, &max) < 0 || max <= min)
        return MIXERR_INVALCONTROL;
    snd_mixer_selem_get_playback_volume(element, SND_MIXER_SCHN_FRONT_LEFT, &l);
    if (snd_mixer_selem_get_playback_volume(element, SND_MIXER_SCHN_FRONT_RIGHT, &r) < 0)
        r = l;
    left = DWORD((l - min) * WaveOutMixer::kMaxVolume / (max - min));
    right = DWORD((r - min) * WaveOutMixer::kMaxVolume / (max - min));
    return MMSYSERR_NOERROR;
}

MMRESULT AlsaWaveOut::SetVolume(DWORD left, DWORD right)
{
    Mixer mixer;
    snd_mixer_elem_t* element = VolumeElement(m_mixer, mixer);
    long min = 0, max = 0;
    if (!element || snd_mixer_selem_get_playback_volume_range(element, &min, &max) < 0 || max <= min)
        return MIXERR_INVALCONTROL;
    const auto scale = [&](DWORD v) { return min + long(v) * (max - min) / long(WaveOutMixer::kMaxVolume); };
    snd_mixer_selem_set_playback_volume(element, SND_MIXER_SCHN_FRONT_LEFT, scale(left));
    if (snd_mixer_selem_is_playback_mono(element))
        return MMSYSERR_NOERROR;
    snd_mixer_selem_set_playback_volume(element, SND_MIXER_SCHN_FRONT_RIGHT, scale(right));
    return MMSYSERR_NOERROR;
}

} // namespace platform
