#pragma once

#include "platform/mmsystem.h"
#include "platform/wave_devices.h"

#include <alsa/asoundlib.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace platform {

// An open ALSA PCM stream with a thread that moves audio in periods of 20 ms until Stop.
class AlsaPcm {
public:
    // Called once per period with the period's buffer; for capture it holds what was read.
    using Period = std::function<void(std::uint8_t* data, std::size_t bytes)>;

    AlsaPcm(std::string device, snd_pcm_stream_t stream);
    ~AlsaPcm();
    AlsaPcm(const AlsaPcm&) = delete;
    AlsaPcm& operator=(const AlsaPcm&) = delete;

    // Opens the device in `format` and starts the thread; MMSYSERR_ALLOCATED when the device cannot
    // be opened, WAVERR_BADFORMAT when it does not take the format.
    MMRESULT Start(const PcmFormat& format, Period period);
    // Joins the thread and closes the device.
    void Stop();
    // Recovers the stream from an overrun, underrun or suspend; false when it cannot go on.
    static bool Recover(snd_pcm_t* pcm, int error);

private:
    struct PcmCloser {
        void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
    };

    void Run(const PcmFormat& format, const Period& period);

    std::string m_device;
    snd_pcm_stream_t m_stream;
    std::unique_ptr<snd_pcm_t, PcmCloser> m_pcm;
    std::atomic<bool> m_stop{ false };
    std::thread m_thread;
};

} // namespace platform
