// Line manager: opening the configured lines, automatic pairing and the setup page's device lists.
#include "telephony/line_manager.h"

#include "settings/settings_store.h"
#include "store/text_limit.h"
#include "store/text_match.h"
#include "telephony/device_choice_list.h"
#include "telephony/tapi_binding.h"
#include "telephony/tapi_block.h"

namespace {

constexpr std::size_t kDevCapsSize = 1268;
// A line's status with room for a SIP line's state in words.
constexpr std::size_t kDevStatusSize = sizeof(LINEDEVSTATUS) + 1024;
constexpr std::size_t kReloadMessageSize = 1024;
constexpr int kFirstIpSlot = LineSlot::kFirstIpSlot;
constexpr DWORD kVoiceMediaModes
    = LINEMEDIAMODE_UNKNOWN | LINEMEDIAMODE_INTERACTIVEVOICE | LINEMEDIAMODE_AUTOMATEDVOICE;
constexpr const char* kMarkers[] = { "Zo-Linka", "Vantor Switch" };
constexpr DWORD kNoDeviceData = 0xFFFFFFFF;

// A PSTN slot takes voice-only devices, an IP slot voice-and-data devices; both need the three
// voice media modes.
bool QualifiesForKind(int slot, DWORD bearerModes, DWORD mediaModes)
{
    if ((mediaModes & kVoiceMediaModes) != kVoiceMediaModes || !(bearerModes & LINEBEARERMODE_VOICE))
        return false;
    const bool data = bearerModes & LINEBEARERMODE_DATA;
    return slot < kFirstIpSlot ? !data : data;
}

bool HasMarker(const std::string& name)
{
    for (const char* marker : kMarkers)
        if (name.find(marker) != std::string::npos)
            return true;
    return false;
}

// The name as a configured device name holds it, so that a long line name is found again.
std::string AsConfiguredName(std::string_view lineName)
{
    return std::string(CutToLimit(lineName, DeviceMap::kMaxTextLength));
}

// Selects the entry that begins with `text`, searching from the second entry on and trying
// "No device" last; "No device" when nothing matches.
void SelectByPrefix(DeviceChoiceList& list, const std::string& text)
{
    for (int i = 1; i < list.Count(); ++i) {
        if (StartsWithNoCase(list.ItemText(i), text)) {
            list.Select(i);
            return;
        }
    }
    list.Select(0);
}

} // namespace

struct LineManager::DeviceCaps {
    std::string name;
    DWORD bearerModes = 0;
    DWORD mediaModes = 0;
};

bool LineManager::ReadDeviceCaps(DWORD deviceId, DeviceCaps& caps)
{
    TapiBlock<LINEDEVCAPS> block(kDevCapsSize);
    if (m_tapi.lineGetDevCapsA(m_lineApp, deviceId, m_apiVersion, 0, block.Get()) != 0)
        return false;
    caps.name = block.Text(block->dwLineNameSize, block->dwLineNameOffset);
    caps.bearerModes = block->dwBearerModes;
    caps.mediaModes = block->dwMediaModes;
    return true;
}

// A device that another slot has open already is not opened twice.
bool LineManager::OpenSlotOn(int slot, DWORD deviceId, const std::string& name)
{
    if (FindSlotByDevice(deviceId))
        return false;
    return m_slots[slot]->OpenLine(m_apiVersion, m_lineApp, m_phoneApp, deviceId, name) == 1;
}

void LineManager::OpenAllLines()
{
    int pstnOpened = 0;
    int ipOpened = 0;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (OpenConfiguredLine(slot))
            ++(slot < kFirstIpSlot ? pstnOpened : ipOpened);
    }
    if (pstnOpened == 0 && PairSlots(0, kFirstIpSlot, true) == 0)
        PairSlots(0, kFirstIpSlot, false);
    if (ipOpened == 0)
        PairSlots(kFirstIpSlot, kSlotCount, false);
    m_colleagues.UseLines(OpenLines());
}

// Scanning stops at the configured device whether or not it opened.
bool LineManager::OpenConfiguredLine(int slot)
{
    if (m_slots[slot]->IsOpen())
        return true;
    for (DWORD device = 0; device < m_lineDeviceCount; ++device) {
        DeviceCaps caps;
        if (!ReadDeviceCaps(device, caps) || AsConfiguredName(caps.name) != GetDeviceName(slot)
            || !QualifiesForKind(slot, caps.bearerModes, caps.mediaModes))
            continue;
        if (!OpenSlotOn(slot, device, caps.name))
            return false;
        ApplyHeadsetSetting(slot);
        return true;
    }
    return false;
}

void LineManager::ApplyHeadsetSetting(int slot)
{
    const std::int32_t headset = m_settings.Read(Settings::kLineHeadset, slot + 1);
    if (headset != -1)
        m_slots[slot]->SetHeadset(headset != 0);
}

// One automatic pairing pass over the slots [first, end). Returns how many slots it paired; the
// device map is saved when any was.
int LineManager::PairSlots(int firstSlot, int endSlot, bool byMarker)
{
    int paired = 0;
    for (int slot = firstSlot; slot < endSlot; ++slot) {
        if (m_slots[slot]->IsOpen())
            continue;
        for (DWORD device = 0; device < m_lineDeviceCount; ++device) {
            DeviceCaps caps;
            if (!ReadDeviceCaps(device, caps))
                continue;
            const bool candidate
                = byMarker ? HasMarker(caps.name) : QualifiesForKind(slot, caps.bearerModes, caps.mediaModes);
            if (!candidate || IsTakenByLowerSlot(slot, AsConfiguredName(caps.name)))
                continue;
            if (OpenSlotOn(slot, device, caps.name)) {
                SetDeviceName(slot, caps.name);
                ++paired;
            }
            break;
        }
    }
    if (paired > 0)
        SaveDeviceMap(DeviceMapPath());
    return paired;
}

bool LineManager::IsTakenByLowerSlot(int slot, const std::string& name) const
{
    for (int lower = 0; lower < slot; ++lower)
        if (GetDeviceName(lower) == name)
            return true;
    return false;
}

void LineManager::FillDeviceChoices(const std::array<DeviceChoiceList*, kSlotCount>& lists, int exceptSlot)
{
    for (int slot = 0; slot < kSlotCount; ++slot)
        if (slot != exceptSlot && lists[slot])
            FillDeviceChoice(*lists[slot], slot, exceptSlot, lists);
}

void LineManager::FillDeviceChoice(
    DeviceChoiceList& list, int slot, int exceptSlot, const std::array<DeviceChoiceList*, kSlotCount>& lists)
{
    const int selected = list.SelectedIndex();
    const std::string remembered = selected >= 0 ? list.ItemText(selected) : std::string();
    list.Clear();
    list.AddItem(DeviceMap::kNoDevice, kNoDeviceData);
    for (DWORD device = 0; m_lineApp != 0 && device < m_lineDeviceCount; ++device) {
        LINEEXTENSIONID extension{};
        DeviceCaps caps;
        if (m_tapi.lineNegotiateAPIVersion(
                m_lineApp, device, TAPI_VERSION1_0, TAPI_VERSION2_0, &m_apiVersion, &extension)
                != 0
            || !ReadDeviceCaps(device, caps))
            continue;
        const std::string name = AsConfiguredName(caps.name);
        if (IsNameTakenElsewhere(name, slot, exceptSlot, lists))
            continue;
        if (QualifiesForKind(slot, caps.bearerModes, caps.mediaModes))
            list.AddItem(name, device);
    }
    SelectByPrefix(list, exceptSlot == -1 ? GetDeviceName(slot) : remembered);
}

// With no slot excepted the configured names count; otherwise what the other lists show.
bool LineManager::IsNameTakenElsewhere(const std::string& name, int slot, int exceptSlot,
    const std::array<DeviceChoiceList*, kSlotCount>& lists) const
{
    for (int other = 0; other < kSlotCount; ++other) {
        if (other == slot)
            continue;
        if (exceptSlot == -1) {
            if (GetDeviceName(other) == name)
                return true;
            continue;
        }
        const DeviceChoiceList* list = lists[other];
        if (list && list->SelectedIndex() >= 0 && list->ItemText(list->SelectedIndex()) == name)
            return true;
    }
    return false;
}

void LineManager::ShowLineConfig(DWORD deviceId, HWND owner)
{
    if (m_lineApp != 0 && deviceId < m_lineDeviceCount)
        m_tapi.lineConfigDialogA(deviceId, owner, nullptr);
}

bool LineManager::GetServiceState(int slot, ServiceState& state)
{
    if (slot < 0 || slot >= kSlotCount || !m_slots[slot]->IsOpen())
        return false;
    TapiBlock<LINEDEVSTATUS> block(kDevStatusSize);
    if (m_tapi.lineGetLineDevStatus(m_slots[slot]->GetLine(), block.Get()) != 0)
        return false;
    state.text = block.Text(block->dwDevSpecificSize, block->dwDevSpecificOffset);
    state.inService = (block->dwDevStatusFlags & LINEDEVSTATUSFLAGS_INSERVICE) != 0;
    return !state.text.empty();
}

bool LineManager::ReloadExchangeConfig(std::string& error)
{
    std::array<char, kReloadMessageSize> message{};
    const LONG result = m_tapi.tapiReloadConfig(message.data(), DWORD(message.size()));
    if (result == 0)
        return true;
    error = message[0] != '\0' ? std::string(message.data()) : "the telephony service cannot apply it";
    return false;
}
