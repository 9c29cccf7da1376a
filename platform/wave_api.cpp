#include "platform/mmsystem.h"
#include "platform/wave_devices.h"
#include "platform/wave_in_handle.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>
#include <type_traits>

using platform::WaveDeviceList;

namespace {

// A wave-in device serves one client at a time.
class OpenInputs {
public:
    bool Claim(const platform::WaveInDevice* device)
    {
        std::lock_guard lock(m_mutex);
        return m_open.insert(device).second;
    }
    void Release(const platform::WaveInDevice* device)
    {
        std::lock_guard lock(m_mutex);
        m_open.erase(device);
    }

private:
    std::mutex m_mutex;
    std::set<const platform::WaveInDevice*> m_open;
};

OpenInputs& Inputs()
{
    static OpenInputs inputs;
    return inputs;
}

std::size_t DeviceIndex(UINT id)
{
    return id == WAVE_MAPPER ? 0 : id;
}

// The device's capabilities, as much of the record as the caller's size allows.
template <typename Device, typename Caps>
MMRESULT ReportCaps(const std::shared_ptr<Device>& device, Caps* out, UINT size)
{
    if (!device)
        return MMSYSERR_BADDEVICEID;
    if (!out)
        return MMSYSERR_INVALPARAM;
    Caps caps{};
    caps.wMid = 1;
    caps.wPid = 1;
    caps.vDriverVersion = 0x0100;
    const std::string name = device->Name();
    std::memcpy(caps.szPname, name.data(), std::min(name.size(), platform::kMaxDeviceNameLength));
    caps.dwFormats = WAVE_FORMATS_ALL_STANDARD;
    caps.wChannels = 2;
    if constexpr (std::is_same_v<Caps, WAVEOUTCAPSA>)
        caps.dwSupport = WAVECAPS_VOLUME | WAVECAPS_LRVOLUME;
    std::memcpy(out, &caps, std::min<std::size_t>(size, sizeof caps));
    return MMSYSERR_NOERROR;
}

bool ToPcmFormat(const WAVEFORMATEX& format, platform::PcmFormat& pcm)
{
    if (format.wFormatTag != WAVE_FORMAT_PCM || format.nChannels == 0 || format.nSamplesPerSec == 0
        || (format.wBitsPerSample != 8 && format.wBitsPerSample != 16))
        return false;
    pcm = { format.nSamplesPerSec, format.wBitsPerSample, format.nChannels };
    return format.nBlockAlign == pcm.BlockAlign();
}

MMRESULT OnHeader(HWAVEIN hwi, WAVEHDR* header, UINT size, MMRESULT (WaveInHandle::*operation)(WAVEHDR*))
{
    if (!hwi)
        return MMSYSERR_INVALHANDLE;
    if (!header || size < sizeof(WAVEHDR))
        return MMSYSERR_INVALPARAM;
    return (hwi->*operation)(header);
}

} // namespace

UINT waveInGetNumDevs()
{
    return UINT(WaveDeviceList::Instance().InputCount());
}

UINT waveOutGetNumDevs()
{
    return UINT(WaveDeviceList::Instance().OutputCount());
}

MMRESULT waveInGetDevCapsA(UINT uDeviceID, WAVEINCAPSA* caps, UINT cbCaps)
{
    return ReportCaps(WaveDeviceList::Instance().Input(DeviceIndex(uDeviceID)), caps, cbCaps);
}

MMRESULT waveOutGetDevCapsA(UINT uDeviceID, WAVEOUTCAPSA* caps, UINT cbCaps)
{
    return ReportCaps(WaveDeviceList::Instance().Output(DeviceIndex(uDeviceID)), caps, cbCaps);
}

MMRESULT waveInOpen(HWAVEIN* phwi, UINT uDeviceID, const WAVEFORMATEX* format, DWORD_PTR dwCallback,
    DWORD_PTR dwInstance, DWORD fdwOpen)
{
    if (phwi)
        *phwi = nullptr;
    if (!phwi || !format)
        return MMSYSERR_INVALPARAM;
    const DWORD callbackType = fdwOpen & CALLBACK_TYPEMASK;
    if (callbackType != CALLBACK_FUNCTION && callbackType != CALLBACK_NULL)
        return MMSYSERR_NOTSUPPORTED;
    platform::PcmFormat pcm;
    if (!ToPcmFormat(*format, pcm))
        return WAVERR_BADFORMAT;
    auto device = WaveDeviceList::Instance().Input(DeviceIndex(uDeviceID));
    if (!device)
        return MMSYSERR_BADDEVICEID;
    if (!Inputs().Claim(device.get()))
        return MMSYSERR_ALLOCATED;
    auto proc = callbackType == CALLBACK_FUNCTION ? reinterpret_cast<WAVEINPROC>(dwCallback) : nullptr;
    *phwi = new WaveInHandle(std::move(device), pcm, proc, dwInstance);
    (*phwi)->Notify(WIM_OPEN);
    return MMSYSERR_NOERROR;
}

MMRESULT waveInClose(HWAVEIN hwi)
{
    if (!hwi)
        return MMSYSERR_INVALHANDLE;
    if (hwi->HasQueued())
        return WAVERR_STILLPLAYING;
    hwi->Stop();
    hwi->Notify(WIM_CLOSE);
    Inputs().Release(hwi->Device());
    delete hwi;
    return MMSYSERR_NOERROR;
}

MMRESULT waveInPrepareHeader(HWAVEIN hwi, WAVEHDR* hdr, UINT cbwh)
{
    return OnHeader(hwi, hdr, cbwh, &WaveInHandle::Prepare);
}

MMRESULT waveInUnprepareHeader(HWAVEIN hwi, WAVEHDR* hdr, UINT cbwh)
{
    return OnHeader(hwi, hdr, cbwh, &WaveInHandle::Unprepare);
}

MMRESULT waveInAddBuffer(HWAVEIN hwi, WAVEHDR* hdr, UINT cbwh)
{
    return OnHeader(hwi, hdr, cbwh, &WaveInHandle::Add);
}

MMRESULT waveInStart(HWAVEIN hwi)
{
    return hwi ? hwi->Start() : MMSYSERR_INVALHANDLE;
}

MMRESULT waveInStop(HWAVEIN hwi)
{
    return hwi ? hwi->Stop() : MMSYSERR_INVALHANDLE;
}

MMRESULT waveInReset(HWAVEIN hwi)
{
    return hwi ? hwi->Reset() : MMSYSERR_INVALHANDLE;
}
