#include "audio/play_to_list.h"

#include "platform/mmsystem.h"
#include "settings/settings.h"
#include "settings/settings_store.h"

#include <algorithm>

PlayToList::PlayToList(SettingsStore& settings)
    : m_settings(settings)
{
}

std::vector<std::string> PlayToList::DeviceNames()
{
    std::vector<std::string> names;
    const UINT count = waveOutGetNumDevs();
    for (UINT id = 0; id < count; ++id) {
        WAVEOUTCAPSA caps{};
        if (waveOutGetDevCapsA(id, &caps, sizeof caps) == MMSYSERR_NOERROR)
            names.emplace_back(caps.szPname);
    }
    return names;
}

int PlayToList::SelectedIndex(const std::vector<std::string>& names) const
{
    if (names.empty())
        return -1;
    const std::string stored = m_settings.Read(Settings::kPlayTo);
    const auto found = std::find(names.begin(), names.end(), stored);
    return found == names.end() ? 0 : int(found - names.begin());
}

void PlayToList::Select(const std::string& name)
{
    m_settings.Write(Settings::kPlayTo, name);
}

int PlayToList::FindOutputDevice(const std::string& name)
{
    const auto names = DeviceNames();
    const auto found = std::find(names.begin(), names.end(), name);
    return found == names.end() ? -1 : int(found - names.begin());
}
