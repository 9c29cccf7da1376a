#pragma once

#include "platform/mmsystem.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

// Plain PCM as devices exchange it (little-endian, interleaved).
struct PcmFormat {
    std::uint32_t rate = 8000;
    std::uint16_t bits = 16;
    std::uint16_t channels = 1;

    std::uint32_t BlockAlign() const { return std::uint32_t(bits) * channels / 8; }
    bool operator==(const PcmFormat&) const = default;
};

// Longest product name a device list entry carries.
inline constexpr std::size_t kMaxDeviceNameLength = 31;

// A capture device. Start delivers audio in the asked format on the device's own clock: a
// sound card's capture thread, a real-time thread for the silent device, the exchange's clock for
// a telephone line (in tests the manual clock, on the thread that advances it). After Stop returns,
// `deliver` is never called again.
class WaveInDevice {
public:
    using Deliver = std::function<void(const std::uint8_t* data, std::size_t bytes)>;

    virtual ~WaveInDevice() = default;
    virtual std::string Name() const = 0;
    virtual MMRESULT Start(const PcmFormat& format, Deliver deliver) = 0;
    virtual void Stop() = 0;
};

// A playback device. Start pulls audio through `render` on the device's own clock: render fills up
// to `bytes` and returns how many it filled (fewer means the source has no more for now; the device
// plays silence for the rest). After Stop returns, `render` is never called again.
class WaveOutDevice {
public:
    using Render = std::function<std::size_t(std::uint8_t* data, std::size_t bytes)>;

    virtual ~WaveOutDevice() = default;
    virtual std::string Name() const = 0;
    virtual MMRESULT Start(const PcmFormat& format, Render render) = 0;
    virtual void Stop() = 0;
};

// Where a device stands in the lists: sound cards first (the system's default first), then the
// silent device, then the telephone lines in line order.
enum class WaveDeviceGroup { SoundCard = 0, Silent = 1, Line = 2 };

// The process-wide lists of wave-in and wave-out devices. A device id is the device's position in
// its list. Providers add their devices and remove them again when they go away; the order within
// a group is the `order` number, then the order of adding.
class WaveDeviceList {
public:
    static WaveDeviceList& Instance();

    void AddInput(WaveDeviceGroup group, int order, std::shared_ptr<WaveInDevice> device);
    void AddOutput(WaveDeviceGroup group, int order, std::shared_ptr<WaveOutDevice> device);
    void RemoveInput(const WaveInDevice* device);
    void RemoveOutput(const WaveOutDevice* device);

    std::size_t InputCount();
    std::size_t OutputCount();
    // The device with that id, or null.
    std::shared_ptr<WaveInDevice> Input(std::size_t id);
    std::shared_ptr<WaveOutDevice> Output(std::size_t id);
    // The id of a device in its list, or -1.
    int FindInput(const WaveInDevice* device);
    int FindOutput(const WaveOutDevice* device);

private:
    template <typename Device>
    struct Entry {
        WaveDeviceGroup group;
        int order;
        std::uint64_t sequence;
        std::shared_ptr<Device> device;
    };

    WaveDeviceList() = default;
    void EnsureBuiltIns();

    std::recursive_mutex m_mutex;
    bool m_builtInsAdded = false;
    std::uint64_t m_sequence = 0;
    std::vector<Entry<WaveInDevice>> m_inputs;
    std::vector<Entry<WaveOutDevice>> m_outputs;
};

// Adds the devices that are always there: the sound cards and the silent device. Called once, the
// first time the lists are used.
void AddBuiltInWaveDevices(WaveDeviceList& list);

}  // namespace platform
