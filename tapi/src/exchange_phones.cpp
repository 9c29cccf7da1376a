#include "exchange.h"

#include "var_struct.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>

// Phone devices: opening and closing them, hookswitch, volume, status, and the device-specific
// command that routes a phone's audio.

namespace tapi {

LONG Exchange::CheckPhoneDevice(DWORD device)
{
    return device < m_phones.size() ? 0 : PHONEERR_BADDEVICEID;
}

Exchange::PhoneState* Exchange::PhoneStateOf(const OpenPhone& phone)
{
    return &m_phones[phone.device];
}

Exchange::PhoneState* Exchange::PhoneOfLine(DWORD line)
{
    return line < m_lines.size() && m_lines[line].phone >= 0 ? &m_phones[m_lines[line].phone] : nullptr;
}

DWORD* Exchange::HookSwitchMode(PhoneState& phone, DWORD device)
{
    switch (device) {
    case PHONEHOOKSWITCHDEV_HANDSET:
        return &phone.handsetMode;
    case PHONEHOOKSWITCHDEV_SPEAKER:
        return &phone.speakerMode;
    case PHONEHOOKSWITCHDEV_HEADSET:
        return &phone.headsetMode;
    default:
        return nullptr;
    }
}

DWORD* Exchange::Volume(PhoneState& phone, DWORD device)
{
    switch (device) {
    case PHONEHOOKSWITCHDEV_HANDSET:
        return &phone.handsetVolume;
    case PHONEHOOKSWITCHDEV_SPEAKER:
        return &phone.speakerVolume;
    case PHONEHOOKSWITCHDEV_HEADSET:
        return &phone.headsetVolume;
    default:
        return nullptr;
    }
}

LONG Exchange::PhoneOpen(HPHONEAPP app, DWORD device, HPHONE& phone, DWORD version, DWORD extVersion,
    DWORD_PTR instance, DWORD privilege)
{
    std::lock_guard lock(m_mutex);
    if (!m_phoneApps.count(app))
        return PHONEERR_INVALAPPHANDLE;
    if (LONG result = CheckPhoneDevice(device))
        return result;
    if (!VersionSupported(version))
        return PHONEERR_INCOMPATIBLEAPIVERSION;
    if (extVersion != 0)
        return PHONEERR_INCOMPATIBLEEXTVERSION;
    if (privilege != PHONEPRIVILEGE_OWNER && privilege != PHONEPRIVILEGE_MONITOR)
        return PHONEERR_INVALPRIVILEGE;
    if (privilege == PHONEPRIVILEGE_OWNER)
        for (const auto& [handle, open] : m_openPhones)
            if (open.device == device && open.privilege == PHONEPRIVILEGE_OWNER)
                return PHONEERR_INUSE;
    phone = NewHandle();
    m_openPhones[phone] = OpenPhone{ app, device, instance, privilege, 0 };
    return 0;
}

LONG Exchange::PhoneClose(HPHONE phone)
{
    std::lock_guard lock(m_mutex);
    if (!m_openPhones.erase(phone))
        return PHONEERR_INVALPHONEHANDLE;
    return 0;
}

LONG Exchange::PhoneSetStatusMessages(HPHONE phone, DWORD phoneStates, DWORD buttonModes, DWORD buttonStates)
{
    std::lock_guard lock(m_mutex);
    OpenPhone* open = FindPhone(phone);
    if (!open)
        return PHONEERR_INVALPHONEHANDLE;
    if (phoneStates & ~DWORD(PHONESTATE_ALL))
        return PHONEERR_INVALPHONESTATE;
    if (buttonModes & ~DWORD(0x3F))
        return PHONEERR_INVALBUTTONMODE;
    if (buttonStates & ~DWORD(PHONEBUTTONSTATE_UP | PHONEBUTTONSTATE_DOWN) || (buttonModes && !buttonStates))
        return PHONEERR_INVALBUTTONSTATE;
    open->phoneStates = phoneStates;
    return 0;
}

LONG Exchange::PhoneGetStatus(HPHONE phone, PHONESTATUS& status)
{
    std::lock_guard lock(m_mutex);
    OpenPhone* open = FindPhone(phone);
    if (!open)
        return PHONEERR_INVALPHONEHANDLE;
    if (status.dwTotalSize < sizeof(PHONESTATUS))
        return PHONEERR_STRUCTURETOOSMALL;
    const PhoneState& state = *PhoneStateOf(*open);
    VarStruct var(&status, sizeof(PHONESTATUS));
    status.dwStatusFlags = PHONESTATUSFLAGS_CONNECTED;
    std::string owner;
    for (const auto& [handle, other] : m_openPhones) {
        if (other.device != open->device)
            continue;
        if (other.privilege == PHONEPRIVILEGE_OWNER) {
            ++status.dwNumOwners;
            owner = m_phoneApps.at(other.app).name;
        } else {
            ++status.dwNumMonitors;
        }
    }
    status.dwHandsetHookSwitchMode = state.handsetMode;
    status.dwHandsetVolume = state.handsetVolume;
    status.dwSpeakerHookSwitchMode = state.speakerMode;
    status.dwSpeakerVolume = state.speakerVolume;
    status.dwHeadsetHookSwitchMode = state.headsetMode;
    status.dwHeadsetVolume = state.headsetVolume;
    var.AddText(owner, status.dwOwnerNameSize, status.dwOwnerNameOffset);
    return 0;
}

LONG Exchange::PhoneSetHookSwitch(HPHONE phone, DWORD devices, DWORD mode)
{
    std::lock_guard lock(m_mutex);
    OpenPhone* open = FindPhone(phone);
    if (!open)
        return PHONEERR_INVALPHONEHANDLE;
    if (devices == 0 || (devices & ~DWORD(0x7)))
        return PHONEERR_INVALHOOKSWITCHDEV;
    if (mode != PHONEHOOKSWITCHMODE_ONHOOK && mode != PHONEHOOKSWITCHMODE_MIC
        && mode != PHONEHOOKSWITCHMODE_SPEAKER && mode != PHONEHOOKSWITCHMODE_MICSPEAKER)
        return PHONEERR_INVALHOOKSWITCHMODE;
    if (open->privilege != PHONEPRIVILEGE_OWNER)
        return PHONEERR_NOTOWNER;
    // The state changes at once, so a status read right after the request already shows it.
    PhoneState& state = *PhoneStateOf(*open);
    const DWORD device = open->device;
    for (DWORD bit : { PHONEHOOKSWITCHDEV_HANDSET, PHONEHOOKSWITCHDEV_SPEAKER, PHONEHOOKSWITCHDEV_HEADSET }) {
        if (!(devices & bit) || *HookSwitchMode(state, bit) == mode)
            continue;
        *HookSwitchMode(state, bit) = mode;
        const DWORD stateBit = bit == PHONEHOOKSWITCHDEV_HANDSET ? PHONESTATE_HANDSETHOOKSWITCH
            : bit == PHONEHOOKSWITCHDEV_SPEAKER                  ? PHONESTATE_SPEAKERHOOKSWITCH
                                                                 : PHONESTATE_HEADSETHOOKSWITCH;
        PostPhoneState(device, stateBit, mode);
    }
    const DWORD request = NewRequest();
    PostPhone(phone, PHONE_REPLY, request, 0, 0);
    return static_cast<LONG>(request);
}

LONG Exchange::PhoneGetVolume(HPHONE phone, DWORD device, DWORD& volume)
{
    std::lock_guard lock(m_mutex);
    OpenPhone* open = FindPhone(phone);
    if (!open)
        return PHONEERR_INVALPHONEHANDLE;
    const DWORD* value = Volume(*PhoneStateOf(*open), device);
    if (!value)
        return PHONEERR_INVALHOOKSWITCHDEV;
    volume = *value;
    return 0;
}

LONG Exchange::PhoneSetVolume(HPHONE phone, DWORD device, DWORD volume)
{
    std::lock_guard lock(m_mutex);
    OpenPhone* open = FindPhone(phone);
    if (!open)
        return PHONEERR_INVALPHONEHANDLE;
    DWORD* value = Volume(*PhoneStateOf(*open), device);
    if (!value)
        return PHONEERR_INVALHOOKSWITCHDEV;
    if (open->privilege != PHONEPRIVILEGE_OWNER)
        return PHONEERR_NOTOWNER;
    *value = std::min<DWORD>(volume, PHONEVOLUME_MAX);
    const DWORD stateBit = device == PHONEHOOKSWITCHDEV_HANDSET ? PHONESTATE_HANDSETVOLUME
        : device == PHONEHOOKSWITCHDEV_SPEAKER                  ? PHONESTATE_SPEAKERVOLUME
                                                                : PHONESTATE_HEADSETVOLUME;
    PostPhoneState(open->device, stateBit, *value);
    const DWORD request = NewRequest();
    PostPhone(phone, PHONE_REPLY, request, 0, 0);
    return static_cast<LONG>(request);
}

LONG Exchange::PhoneDevSpecific(HPHONE phone, const std::string& command)
{
    std::lock_guard lock(m_mutex);
    OpenPhone* open = FindPhone(phone);
    if (!open)
        return PHONEERR_INVALPHONEHANDLE;
    if (open->privilege != PHONEPRIVILEGE_OWNER)
        return PHONEERR_NOTOWNER;
    PhoneState& state = *PhoneStateOf(*open);
    // "000a" routes the phone's audio to the computer, "003a" back to the line.
    if (command == "000a")
        state.audioToComputer = true;
    else if (command == "003a")
        state.audioToComputer = false;
    else
        return PHONEERR_INVALPARAM;
    const DWORD request = NewRequest();
    PostPhone(phone, PHONE_REPLY, request, 0, 0);
    return static_cast<LONG>(request);
}

LONG Exchange::PhoneGetMessage(HPHONEAPP app, PHONEMESSAGE& message, DWORD timeoutMs)
{
    std::unique_lock lock(m_mutex);
    auto it = m_phoneApps.find(app);
    if (it == m_phoneApps.end())
        return PHONEERR_INVALAPPHANDLE;
    if (!it->second.useEvent)
        return PHONEERR_OPERATIONUNAVAIL;
    const auto ready = [&] {
        auto found = m_phoneApps.find(app);
        return found == m_phoneApps.end() || !found->second.messages.empty();
    };
    if (timeoutMs == 0xFFFFFFFF)
        m_phoneMessages.wait(lock, ready);
    else
        m_phoneMessages.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
    it = m_phoneApps.find(app);
    if (it == m_phoneApps.end())
        return PHONEERR_INVALAPPHANDLE;
    if (it->second.messages.empty())
        return PHONEERR_OPERATIONFAILED;
    message = it->second.messages.front();
    it->second.messages.pop_front();
    if (it->second.messages.empty()) {
        std::uint64_t value = 0;
        [[maybe_unused]] auto read = ::read(it->second.event.Get(), &value, sizeof value);
    }
    return 0;
}

} // namespace tapi
