#pragma once

#include "platform/alsa_pcm.h"
#include "platform/wave_out_volume.h"

namespace platform {

// A sound card's playback side, with the card's master volume as its volume.
class AlsaWaveOut : public WaveOutDevice, public WaveOutVolume {
public:
    // `device` is the PCM name, `mixer` the control device of the card ("hw:0", "default").
    AlsaWaveOut(std::string name, std::string device, std::string mixer);
    std::string Name() const override { return m_name; }
    MMRESULT Start(const PcmFormat& format, Render render) override;
    void Stop() override;

    MMRESULT GetVolume(DWORD& left, DWORD& right) override;
    MMRESULT SetVolume(DWORD left, DWORD right) override;

private:
    std::string m_name;
    std::string m_mixer;
    AlsaPcm m_pcm;
};

} // namespace platform
