#pragma once

#include "platform/mmsystem.h"
#include "platform/wave_devices.h"

#include <deque>
#include <memory>
#include <mutex>

// An open wave-in device: the queue of the client's buffers, filled with what the device delivers
// on its own thread and handed back through the client's callback when full.
struct WaveInHandle {
public:
    WaveInHandle(std::shared_ptr<platform::WaveInDevice> device, const platform::PcmFormat& format,
        WAVEINPROC callback, DWORD_PTR instance);
    ~WaveInHandle();
    WaveInHandle(const WaveInHandle&) = delete;
    WaveInHandle& operator=(const WaveInHandle&) = delete;

    const platform::WaveInDevice* Device() const { return m_device.get(); }

    MMRESULT Prepare(WAVEHDR* header);
    MMRESULT Unprepare(WAVEHDR* header);
    MMRESULT Add(WAVEHDR* header);
    MMRESULT Start();
    // Stops the device; a partly filled buffer is handed back, empty ones stay queued.
    MMRESULT Stop();
    // Stops the device and hands back every queued buffer before returning.
    MMRESULT Reset();
    bool HasQueued();
    void Notify(UINT message, WAVEHDR* header = nullptr);

private:
    void Deliver(const std::uint8_t* data, std::size_t bytes);
    WAVEHDR* Fill(const std::uint8_t*& data, std::size_t& bytes);
    void StopDevice();
    void HandBack(WAVEHDR* header);

    std::shared_ptr<platform::WaveInDevice> m_device;
    platform::PcmFormat m_format;
    WAVEINPROC m_callback;
    DWORD_PTR m_instance;
    std::mutex m_mutex;
    std::deque<WAVEHDR*> m_queue;
    bool m_started = false;
};
