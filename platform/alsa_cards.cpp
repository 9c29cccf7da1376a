#include "platform/alsa_cards.h"

#include "platform/alsa_wave_in.h"
#include "platform/alsa_wave_out.h"

#include <cstdlib>

namespace platform {

namespace {

struct CtlCloser {
    void operator()(snd_ctl_t* ctl) const { snd_ctl_close(ctl); }
};

// Whether the card has a PCM device for the stream.
bool HasStream(snd_ctl_t* ctl, snd_pcm_stream_t stream)
{
    snd_pcm_info_t* info = nullptr;
    snd_pcm_info_alloca(&info);
    for (int device = -1; snd_ctl_pcm_next_device(ctl, &device) == 0 && device >= 0;) {
        snd_pcm_info_set_device(info, unsigned(device));
        snd_pcm_info_set_subdevice(info, 0);
        snd_pcm_info_set_stream(info, stream);
        if (snd_ctl_pcm_info(ctl, info) == 0)
            return true;
    }
    return false;
}

std::string CardName(int card)
{
    char* name = nullptr;
    if (snd_card_get_name(card, &name) < 0 || !name)
        return "Sound card " + std::to_string(card);
    std::string result = std::string(name).substr(0, kMaxDeviceNameLength);
    std::free(name);
    return result;
}

} // namespace

void AddAlsaCards(WaveDeviceList& list)
{
    int order = 0;
    for (int card = -1; snd_card_next(&card) == 0 && card >= 0;) {
        const std::string hw = "hw:" + std::to_string(card);
        snd_ctl_t* handle = nullptr;
        if (snd_ctl_open(&handle, hw.c_str(), 0) < 0)
            continue;
        std::unique_ptr<snd_ctl_t, CtlCloser> ctl(handle);
        const bool first = order == 0;
        const std::string pcm = first ? "default" : "plughw:" + std::to_string(card);
        const std::string name = CardName(card);
        if (HasStream(ctl.get(), SND_PCM_STREAM_CAPTURE))
            list.AddInput(WaveDeviceGroup::SoundCard, order, std::make_shared<AlsaWaveIn>(name, pcm));
        if (HasStream(ctl.get(), SND_PCM_STREAM_PLAYBACK))
            list.AddOutput(WaveDeviceGroup::SoundCard, order,
                std::make_shared<AlsaWaveOut>(name, pcm, first ? "default" : hw));
        ++order;
    }
}

} // namespace platform
