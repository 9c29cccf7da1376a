#pragma once

#include "platform/wave_devices.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace testing_support {

// A capture device that a test pumps by hand: Push delivers bytes on the test's thread, as a
// telephone line on the manual clock does.
class FakeWaveIn : public platform::WaveInDevice {
public:
    explicit FakeWaveIn(std::string name)
        : m_name(std::move(name))
    {
    }
    std::string Name() const override { return m_name; }
    MMRESULT Start(const platform::PcmFormat& format, Deliver deliver) override
    {
        m_format = format;
        m_deliver = std::move(deliver);
        ++m_starts;
        return MMSYSERR_NOERROR;
    }
    void Stop() override { m_deliver = nullptr; }

    bool Running() const { return bool(m_deliver); }
    int Starts() const { return m_starts; }
    const platform::PcmFormat& Format() const { return m_format; }
    // Delivers `bytes` bytes of `samples` (repeated) when running; returns whether it delivered.
    bool Push(const std::vector<std::int16_t>& samples)
    {
        if (!m_deliver)
            return false;
        m_deliver(reinterpret_cast<const std::uint8_t*>(samples.data()), samples.size() * 2);
        return true;
    }
    bool PushBytes(std::size_t bytes, std::uint8_t value = 0)
    {
        std::vector<std::uint8_t> data(bytes, value);
        if (!m_deliver)
            return false;
        m_deliver(data.data(), data.size());
        return true;
    }

private:
    std::string m_name;
    platform::PcmFormat m_format;
    Deliver m_deliver;
    int m_starts = 0;
};

// A playback device that a test pulls by hand; it takes only the formats a test allows.
class FakeWaveOut : public platform::WaveOutDevice {
public:
    explicit FakeWaveOut(std::string name, bool onlyTelephoneFormat = false)
        : m_name(std::move(name))
        , m_onlyTelephoneFormat(onlyTelephoneFormat)
    {
    }
    std::string Name() const override { return m_name; }
    MMRESULT Start(const platform::PcmFormat& format, Render render) override
    {
        if (m_onlyTelephoneFormat && !(format == platform::PcmFormat{}))
            return WAVERR_BADFORMAT;
        m_format = format;
        m_render = std::move(render);
        return MMSYSERR_NOERROR;
    }
    void Stop() override { m_render = nullptr; }

    bool Running() const { return bool(m_render); }
    const platform::PcmFormat& Format() const { return m_format; }
    // Pulls `frames` frames; returns how many bytes the source filled.
    std::size_t Pull(std::size_t frames)
    {
        if (!m_render)
            return 0;
        std::vector<std::uint8_t> data(frames * m_format.BlockAlign());
        const std::size_t filled = m_render(data.data(), data.size());
        m_played.insert(m_played.end(), data.begin(), data.begin() + std::ptrdiff_t(filled));
        return filled;
    }
    const std::vector<std::uint8_t>& Played() const { return m_played; }

private:
    std::string m_name;
    bool m_onlyTelephoneFormat;
    platform::PcmFormat m_format;
    Render m_render;
    std::vector<std::uint8_t> m_played;
};

// Registers a device in the process-wide list for the lifetime of the object.
template <typename Device> class Registered {
public:
    template <typename... Args>
    explicit Registered(platform::WaveDeviceGroup group, Args&&... args)
        : m_device(std::make_shared<Device>(std::forward<Args>(args)...))
    {
        if constexpr (std::is_base_of_v<platform::WaveInDevice, Device>)
            platform::WaveDeviceList::Instance().AddInput(group, 0, m_device);
        else
            platform::WaveDeviceList::Instance().AddOutput(group, 0, m_device);
    }
    ~Registered()
    {
        if constexpr (std::is_base_of_v<platform::WaveInDevice, Device>)
            platform::WaveDeviceList::Instance().RemoveInput(m_device.get());
        else
            platform::WaveDeviceList::Instance().RemoveOutput(m_device.get());
    }
    Registered(const Registered&) = delete;
    Registered& operator=(const Registered&) = delete;

    Device& operator*() const { return *m_device; }
    Device* operator->() const { return m_device.get(); }
    // The device's id in its list now.
    UINT Id() const
    {
        if constexpr (std::is_base_of_v<platform::WaveInDevice, Device>)
            return UINT(platform::WaveDeviceList::Instance().FindInput(m_device.get()));
        else
            return UINT(platform::WaveDeviceList::Instance().FindOutput(m_device.get()));
    }

private:
    std::shared_ptr<Device> m_device;
};

} // namespace testing_support
