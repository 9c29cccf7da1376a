#include "platform/wave_in_handle.h"

#include <algorithm>
#include <cstring>

WaveInHandle::WaveInHandle(std::shared_ptr<platform::WaveInDevice> device, const platform::PcmFormat& format,
    WAVEINPROC callback, DWORD_PTR instance)
    : m_device(std::move(device))
    , m_format(format)
    , m_callback(callback)
    , m_instance(instance)
{
}

WaveInHandle::~WaveInHandle()
{
    StopDevice();
}

MMRESULT WaveInHandle::Prepare(WAVEHDR* header)
{
    if (!header->lpData)
        return MMSYSERR_INVALPARAM;
    header->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT WaveInHandle::Unprepare(WAVEHDR* header)
{
    std::lock_guard lock(m_mutex);
    if (header->dwFlags & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    header->dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT WaveInHandle::Add(WAVEHDR* header)
{
    if (!(header->dwFlags & WHDR_PREPARED))
        return WAVERR_UNPREPARED;
    std::lock_guard lock(m_mutex);
    if (header->dwFlags & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    header->dwBytesRecorded = 0;
    m_queue.push_back(header);
    return MMSYSERR_NOERROR;
}

MMRESULT WaveInHandle::Start()
{
    if (m_started)
        return MMSYSERR_NOERROR;
    const MMRESULT result = m_device->Start(
        m_format, [this](const std::uint8_t* data, std::size_t bytes) { Deliver(data, bytes); });
    m_started = result == MMSYSERR_NOERROR;
    return result;
}

MMRESULT WaveInHandle::Stop()
{
    StopDevice();
    WAVEHDR* partial = nullptr;
    {
        std::lock_guard lock(m_mutex);
        if (!m_queue.empty() && m_queue.front()->dwBytesRecorded > 0) {
            partial = m_queue.front();
            m_queue.pop_front();
        }
    }
    if (partial)
        HandBack(partial);
    return MMSYSERR_NOERROR;
}

MMRESULT WaveInHandle::Reset()
{
    StopDevice();
    std::deque<WAVEHDR*> queued;
    {
        std::lock_guard lock(m_mutex);
        queued.swap(m_queue);
    }
    for (WAVEHDR* header : queued)
        HandBack(header);
    return MMSYSERR_NOERROR;
}

bool WaveInHandle::HasQueued()
{
    std::lock_guard lock(m_mutex);
    return !m_queue.empty();
}

void WaveInHandle::Notify(UINT message, WAVEHDR* header)
{
    if (m_callback)
        m_callback(this, message, m_instance, reinterpret_cast<DWORD_PTR>(header), 0);
}

// Runs on the device's thread. Audio that arrives while no buffer is queued is lost, as with any
// device whose client does not keep up.
void WaveInHandle::Deliver(const std::uint8_t* data, std::size_t bytes)
{
    while (bytes > 0) {
        WAVEHDR* full = Fill(data, bytes);
        if (!full && bytes > 0)
            return;
        if (full)
            HandBack(full);
    }
}

// Copies what fits into the first queued buffer; returns that buffer when it is now full.
WAVEHDR* WaveInHandle::Fill(const std::uint8_t*& data, std::size_t& bytes)
{
    std::lock_guard lock(m_mutex);
    if (m_queue.empty())
        return nullptr;
    WAVEHDR* header = m_queue.front();
    const std::size_t room = header->dwBufferLength - header->dwBytesRecorded;
    const std::size_t n = std::min(room, bytes);
    std::memcpy(header->lpData + header->dwBytesRecorded, data, n);
    header->dwBytesRecorded += DWORD(n);
    data += n;
    bytes -= n;
    if (header->dwBytesRecorded < header->dwBufferLength)
        return nullptr;
    m_queue.pop_front();
    return header;
}

void WaveInHandle::StopDevice()
{
    if (m_started)
        m_device->Stop();
    m_started = false;
}

void WaveInHandle::HandBack(WAVEHDR* header)
{
    header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    Notify(WIM_DATA, header);
}
