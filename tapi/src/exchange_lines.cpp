#include "exchange.h"

#include "var_struct.h"

#include <algorithm>
#include <cctype>

// Line devices: their count, names and capabilities, opening and closing them, device ids,
// status, the calls an open line sees, and the phone used as the line's terminal.

namespace tapi {

namespace {

constexpr DWORD kValidPrivileges
    = LINECALLPRIVILEGE_NONE | LINECALLPRIVILEGE_MONITOR | LINECALLPRIVILEGE_OWNER;
constexpr DWORD kValidMediaModes = 0x1FE;

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

} // namespace

LONG Exchange::CheckDevice(DWORD device)
{
    std::lock_guard lock(m_mutex);
    return device < m_lines.size() ? 0 : LINEERR_BADDEVICEID;
}

DWORD Exchange::LineDeviceCount()
{
    std::lock_guard lock(m_mutex);
    return static_cast<DWORD>(m_lines.size());
}

std::string Exchange::LineName(DWORD device)
{
    std::lock_guard lock(m_mutex);
    return device < m_lines.size() ? m_lines[device].config.name : std::string();
}

LONG Exchange::GetDevCaps(HLINEAPP app, DWORD device, DWORD version, DWORD extVersion, LINEDEVCAPS& caps)
{
    std::lock_guard lock(m_mutex);
    if (!m_lineApps.count(app))
        return LINEERR_INVALAPPHANDLE;
    if (device >= m_lines.size())
        return LINEERR_BADDEVICEID;
    if (!VersionSupported(version))
        return LINEERR_INCOMPATIBLEAPIVERSION;
    if (extVersion != 0)
        return LINEERR_INCOMPATIBLEEXTVERSION;
    if (caps.dwTotalSize < sizeof(LINEDEVCAPS))
        return LINEERR_STRUCTURETOOSMALL;
    const Line& line = m_lines[device];
    VarStruct var(&caps, sizeof(LINEDEVCAPS));
    const bool sip = line.config.kind == LineKind::Sip;
    var.AddText(sip ? "Kestrium SIP line" : "Kestrium simulated exchange", caps.dwProviderInfoSize,
        caps.dwProviderInfoOffset);
    var.AddText("Kestrium Exchange", caps.dwSwitchInfoSize, caps.dwSwitchInfoOffset);
    caps.dwPermanentLineID = 0x1000 + device;
    var.AddText(line.config.name, caps.dwLineNameSize, caps.dwLineNameOffset);
    caps.dwStringFormat = LINESTRINGFORMAT_ASCII;
    caps.dwAddressModes = LINEADDRESSMODE_ADDRESSID;
    caps.dwNumAddresses = 1;
    caps.dwBearerModes = line.config.BearerModes();
    caps.dwMaxRate = line.config.kind == LineKind::Analog ? 3100 : 64000;
    caps.dwMediaModes = line.config.MediaModes();
    caps.dwGenerateToneModes = LINETONEMODE_CUSTOM | LINETONEMODE_RINGBACK | LINETONEMODE_BUSY
        | LINETONEMODE_BEEP | LINETONEMODE_BILLING;
    caps.dwGenerateToneMaxNumFreq = 3;
    caps.dwGenerateDigitModes = LINEDIGITMODE_DTMF | LINEDIGITMODE_PULSE;
    caps.dwDevCapFlags = LINEDEVCAPFLAGS_CLOSEDROP | LINEDEVCAPFLAGS_DIALDIALTONE;
    caps.dwMaxNumActiveCalls = 1;
    // Answering a waiting call puts the connected call on hold.
    caps.dwAnswerMode = CarriesSeveralCalls(device) ? LINEANSWERMODE_HOLD : LINEANSWERMODE_NONE;
    caps.dwRingModes = 1;
    caps.dwLineStates = LINEDEVSTATE_RINGING | LINEDEVSTATE_OPEN | LINEDEVSTATE_CLOSE | LINEDEVSTATE_REINIT
        | (sip ? LINEDEVSTATE_INSERVICE | LINEDEVSTATE_OUTOFSERVICE : 0);
    caps.MinDialParams = LINEDIALPARAMS{ 0, 50, 50, 0 };
    caps.MaxDialParams = LINEDIALPARAMS{ 2000, 500, 500, 10000 };
    caps.DefaultDialParams = LINEDIALPARAMS{ 1000, 100, 100, 3000 };
    caps.dwNumTerminals = line.phone >= 0 ? 1 : 0;
    caps.dwLineFeatures = LINEFEATURE_MAKECALL | (line.phone >= 0 ? LINEFEATURE_SETTERMINAL : 0);
    // The device classes as a list of NUL-terminated names ending with an empty one.
    std::string classes;
    for (const char* name : { "tapi/line", "wave/in", "wave/in/aux", "wave/out", "tapi/phone" })
        if (line.phone >= 0 || std::string_view(name) != "tapi/phone")
            classes.append(name).push_back('\0');
    classes.push_back('\0');
    var.AddBytes(classes.data(), classes.size(), caps.dwDeviceClassesSize, caps.dwDeviceClassesOffset);
    return 0;
}

LONG Exchange::LineOpen(HLINEAPP app, DWORD device, HLINE& line, DWORD version, DWORD extVersion,
    DWORD_PTR instance, DWORD privileges, DWORD mediaModes)
{
    std::lock_guard lock(m_mutex);
    if (!m_lineApps.count(app))
        return LINEERR_INVALAPPHANDLE;
    if (device >= m_lines.size())
        return LINEERR_BADDEVICEID;
    if (!VersionSupported(version))
        return LINEERR_INCOMPATIBLEAPIVERSION;
    if (extVersion != 0)
        return LINEERR_INCOMPATIBLEEXTVERSION;
    if (privileges == 0 || (privileges & ~kValidPrivileges)
        || ((privileges & LINECALLPRIVILEGE_NONE) && privileges != LINECALLPRIVILEGE_NONE))
        return LINEERR_INVALPRIVSELECT;
    if (privileges & LINECALLPRIVILEGE_OWNER) {
        if (mediaModes == 0 || (mediaModes & ~kValidMediaModes))
            return LINEERR_INVALMEDIAMODE;
        if ((mediaModes & m_lines[device].config.MediaModes()) != mediaModes)
            return LINEERR_INVALMEDIAMODE;
    }
    line = NewHandle();
    m_openLines[line] = OpenLine{ app, device, instance, privileges, mediaModes, 0, 0, ++m_sequence };
    UpdateSipOwners();
    return 0;
}

LONG Exchange::LineClose(HLINE line)
{
    std::lock_guard lock(m_mutex);
    if (!FindLine(line))
        return LINEERR_INVALLINEHANDLE;
    RemoveLineHandles(line);
    m_openLines.erase(line);
    UpdateSipOwners();
    return 0;
}

LONG Exchange::GetId(
    HLINE line, DWORD addressId, HCALL call, DWORD select, VARSTRING& out, const std::string& deviceClass)
{
    std::lock_guard lock(m_mutex);
    DWORD device = 0;
    if (select == LINECALLSELECT_CALL) {
        const CallHandle* handle = FindCallHandle(call);
        if (!handle)
            return LINEERR_INVALCALLHANDLE;
        device = m_openLines.at(handle->line).device;
    } else if (select == LINECALLSELECT_LINE || select == LINECALLSELECT_ADDRESS) {
        const OpenLine* open = FindLine(line);
        if (!open)
            return LINEERR_INVALLINEHANDLE;
        if (select == LINECALLSELECT_ADDRESS && addressId != 0)
            return LINEERR_INVALADDRESSID;
        device = open->device;
    } else {
        return LINEERR_INVALCALLSELECT;
    }
    if (out.dwTotalSize < sizeof(VARSTRING))
        return LINEERR_STRUCTURETOOSMALL;
    const Line& entry = m_lines[device];
    const std::string wanted = Lower(deviceClass);
    int id = -1;
    if (wanted == "wave/in")
        id = entry.audio->WaveInId();
    else if (wanted == "wave/in/aux")
        id = entry.audio->WaveInAuxId();
    else if (wanted == "wave/out")
        id = entry.audio->WaveOutId();
    else if (wanted == "tapi/line")
        id = static_cast<int>(device);
    else if (wanted == "tapi/phone" && entry.phone >= 0)
        id = entry.phone;
    else
        return LINEERR_INVALDEVICECLASS;
    if (id < 0)
        return LINEERR_NODEVICE;
    VarStruct var(&out, sizeof(VARSTRING));
    out.dwStringFormat = LINESTRINGFORMAT_BINARY;
    const DWORD value = static_cast<DWORD>(id);
    var.AddBytes(&value, sizeof value, out.dwStringSize, out.dwStringOffset);
    return 0;
}

LONG Exchange::SetStatusMessages(HLINE line, DWORD lineStates, DWORD addressStates)
{
    std::lock_guard lock(m_mutex);
    OpenLine* open = FindLine(line);
    if (!open)
        return LINEERR_INVALLINEHANDLE;
    if (lineStates & ~DWORD(LINEDEVSTATE_ALL))
        return LINEERR_INVALLINESTATE;
    if (addressStates & ~DWORD(LINEADDRESSSTATE_ALL))
        return LINEERR_INVALADDRESSSTATE;
    open->lineStates = lineStates;
    open->addressStates = addressStates;
    return 0;
}

LONG Exchange::GetLineDevStatus(HLINE line, LINEDEVSTATUS& status)
{
    std::lock_guard lock(m_mutex);
    const OpenLine* open = FindLine(line);
    if (!open)
        return LINEERR_INVALLINEHANDLE;
    if (status.dwTotalSize < sizeof(LINEDEVSTATUS))
        return LINEERR_STRUCTURETOOSMALL;
    VarStruct var(&status, sizeof(LINEDEVSTATUS));
    for (const auto& [handle, other] : m_openLines) {
        if (other.device != open->device)
            continue;
        ++status.dwNumOpens;
        status.dwOpenMediaModes |= other.mediaModes;
    }
    const Call* call = ActiveCall(open->device);
    const std::vector<Call*> calls = CallsOnLine(open->device);
    // A party of another line's conference talks too, though not through this line's devices.
    const auto elsewhere = std::count_if(calls.begin(), calls.end(), [this](const Call* c) {
        const Call* conference = c->state == LINECALLSTATE_CONFERENCED ? FindCall(c->conference) : nullptr;
        return conference && conference->device != c->device;
    });
    status.dwNumActiveCalls = (call ? 1 : 0) + static_cast<DWORD>(elsewhere);
    status.dwNumOnHoldCalls = static_cast<DWORD>(std::count_if(
        calls.begin(), calls.end(), [](const Call* c) { return c->state == LINECALLSTATE_ONHOLD; }));
    status.dwNumOnHoldPendCalls = static_cast<DWORD>(
        std::count_if(calls.begin(), calls.end(), [](const Call* c) { return PendingConsultation(*c); }));
    status.dwLineFeatures = call ? 0 : LINEFEATURE_MAKECALL;
    status.dwRingMode = call && call->state == LINECALLSTATE_OFFERING ? 1 : 0;
    status.dwSignalLevel = 0xFFFF;
    status.dwBatteryLevel = 0xFFFF;
    status.dwDevStatusFlags
        = LINEDEVSTATUSFLAGS_CONNECTED | (m_lines[open->device].inService ? LINEDEVSTATUSFLAGS_INSERVICE : 0);
    status.dwAvailableMediaModes = m_lines[open->device].config.MediaModes();
    const DWORD terminalModes = m_lines[open->device].terminalModes;
    if (m_lines[open->device].phone >= 0)
        var.AddBytes(
            &terminalModes, sizeof terminalModes, status.dwTerminalModesSize, status.dwTerminalModesOffset);
    // A SIP line's device-specific part is its registration state in words, NUL-terminated.
    if (const std::string& text = m_lines[open->device].serviceText; IsSipLine(open->device))
        var.AddBytes(text.c_str(), text.size() + 1, status.dwDevSpecificSize, status.dwDevSpecificOffset);
    return 0;
}

LONG Exchange::GetNewCalls(HLINE line, DWORD addressId, DWORD select, LINECALLLIST& list)
{
    std::lock_guard lock(m_mutex);
    const OpenLine* open = FindLine(line);
    if (!open)
        return LINEERR_INVALLINEHANDLE;
    if (select != LINECALLSELECT_LINE && select != LINECALLSELECT_ADDRESS)
        return LINEERR_INVALCALLSELECT;
    if (select == LINECALLSELECT_ADDRESS && addressId != 0)
        return LINEERR_INVALADDRESSID;
    if (list.dwTotalSize < sizeof(LINECALLLIST))
        return LINEERR_STRUCTURETOOSMALL;
    // Calls on the device that this line has no handle for yet are handed over for monitoring.
    for (auto& [id, call] : m_calls) {
        if (call.device != open->device || call.state == LINECALLSTATE_IDLE)
            continue;
        const bool known = std::any_of(call.handles.begin(), call.handles.end(),
            [&](HCALL h) { return m_callHandles.at(h).line == line; });
        if (!known)
            AddCallHandle(call, line, LINECALLPRIVILEGE_MONITOR);
    }
    std::vector<HCALL> handles;
    for (const auto& [handle, entry] : m_callHandles)
        if (entry.line == line)
            handles.push_back(handle);
    VarStruct var(&list, sizeof(LINECALLLIST));
    const std::size_t bytes = handles.size() * sizeof(HCALL);
    var.AddBytes(handles.data(), bytes, list.dwCallsSize, list.dwCallsOffset);
    list.dwCallsNumEntries = list.dwCallsSize ? static_cast<DWORD>(handles.size()) : 0;
    return 0;
}

LONG Exchange::SetTerminal(
    HLINE line, DWORD addressId, HCALL call, DWORD select, DWORD modes, DWORD terminalId, bool enable)
{
    std::lock_guard lock(m_mutex);
    const OpenLine* open = FindLine(line);
    if (select == LINECALLSELECT_CALL) {
        const CallHandle* handle = FindCallHandle(call);
        if (!handle)
            return LINEERR_INVALCALLHANDLE;
        open = FindLine(handle->line);
    } else if (!open) {
        return LINEERR_INVALLINEHANDLE;
    } else if (select == LINECALLSELECT_ADDRESS && addressId != 0) {
        return LINEERR_INVALADDRESSID;
    } else if (select != LINECALLSELECT_LINE && select != LINECALLSELECT_ADDRESS) {
        return LINEERR_INVALCALLSELECT;
    }
    if (modes == 0 || (modes & ~DWORD(0xFF)))
        return LINEERR_INVALTERMINALMODE;
    Line& device = m_lines[open->device];
    if (device.phone < 0 || terminalId != 0)
        return LINEERR_INVALTERMINALID;
    device.terminalModes = enable ? device.terminalModes | modes : device.terminalModes & ~modes;
    const DWORD request = NewRequest();
    PostReply(
        PendingRequest{ request, select == LINECALLSELECT_CALL ? m_callHandles.at(call).line : line }, 0);
    return static_cast<LONG>(request);
}

} // namespace tapi
