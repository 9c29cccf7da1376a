#include "platform/wave_devices.h"

#include <algorithm>
#include <tuple>

namespace platform {

namespace {

template <typename Entries, typename Entry>
void InsertOrdered(Entries& entries, Entry entry)
{
    auto before = std::find_if(entries.begin(), entries.end(), [&](const Entry& e) {
        return std::tie(e.group, e.order, e.sequence) > std::tie(entry.group, entry.order, entry.sequence);
    });
    entries.insert(before, std::move(entry));
}

template <typename Entries, typename Device>
int FindIn(const Entries& entries, const Device* device)
{
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entries[i].device.get() == device)
            return static_cast<int>(i);
    return -1;
}

}  // namespace

WaveDeviceList& WaveDeviceList::Instance()
{
    static WaveDeviceList list;
    return list;
}

void WaveDeviceList::EnsureBuiltIns()
{
    if (m_builtInsAdded)
        return;
    m_builtInsAdded = true;
    AddBuiltInWaveDevices(*this);
}

void WaveDeviceList::AddInput(WaveDeviceGroup group, int order, std::shared_ptr<WaveInDevice> device)
{
    std::lock_guard lock(m_mutex);
    EnsureBuiltIns();
    InsertOrdered(m_inputs, Entry<WaveInDevice>{group, order, m_sequence++, std::move(device)});
}

void WaveDeviceList::AddOutput(WaveDeviceGroup group, int order, std::shared_ptr<WaveOutDevice> device)
{
    std::lock_guard lock(m_mutex);
    EnsureBuiltIns();
    InsertOrdered(m_outputs, Entry<WaveOutDevice>{group, order, m_sequence++, std::move(device)});
}

void WaveDeviceList::RemoveInput(const WaveInDevice* device)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_inputs, [&](const auto& e) { return e.device.get() == device; });
}

void WaveDeviceList::RemoveOutput(const WaveOutDevice* device)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_outputs, [&](const auto& e) { return e.device.get() == device; });
}

std::size_t WaveDeviceList::InputCount()
{
    std::lock_guard lock(m_mutex);
    EnsureBuiltIns();
    return m_inputs.size();
}

std::size_t WaveDeviceList::OutputCount()
{
    std::lock_guard lock(m_mutex);
    EnsureBuiltIns();
    return m_outputs.size();
}

std::shared_ptr<WaveInDevice> WaveDeviceList::Input(std::size_t id)
{
    std::lock_guard lock(m_mutex);
    EnsureBuiltIns();
    return id < m_inputs.size() ? m_inputs[id].device : nullptr;
}

std::shared_ptr<WaveOutDevice> WaveDeviceList::Output(std::size_t id)
{
    std::lock_guard lock(m_mutex);
    EnsureBuiltIns();
    return id < m_outputs.size() ? m_outputs[id].device : nullptr;
}

int WaveDeviceList::FindInput(const WaveInDevice* device)
{
    std::lock_guard lock(m_mutex);
    EnsureBuiltIns();
    return FindIn(m_inputs, device);
}

int WaveDeviceList::FindOutput(const WaveOutDevice* device)
{
    std::lock_guard lock(m_mutex);
    EnsureBuiltIns();
    return FindIn(m_outputs, device);
}

}  // namespace platform
