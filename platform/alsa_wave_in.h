#pragma once

#include "platform/alsa_pcm.h"

namespace platform {

// A sound card's capture side.
class AlsaWaveIn : public WaveInDevice {
public:
    AlsaWaveIn(std::string name, std::string device);
    std::string Name() const override { return m_name; }
    MMRESULT Start(const PcmFormat& format, Deliver deliver) override;
    void Stop() override;

private:
    std::string m_name;
    AlsaPcm m_pcm;
};

} // namespace platform
