#include "exchange.h"

#include "control_server.h"
#include "var_struct.h"

#include "platform/regular_file.h"
#include "platform/wave_devices.h"

#include <sys/eventfd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>

namespace tapi {

namespace {

constexpr DWORD kMinVersion = TAPI_VERSION_LOWEST;
constexpr DWORD kMaxVersion = TAPI_VERSION_HIGHEST;
constexpr std::size_t kMaxConfigBytes = std::size_t(1) << 20;
constexpr DWORD kValidPrivileges
    = LINECALLPRIVILEGE_NONE | LINECALLPRIVILEGE_MONITOR | LINECALLPRIVILEGE_OWNER;
constexpr DWORD kValidMediaModes = 0x1FE;
std::atomic<bool> g_running{ false };

bool VersionSupported(DWORD version)
{
    return version >= kMinVersion && version <= kMaxVersion;
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

template <typename Map> auto* FindValue(Map& map, const typename Map::key_type& key)
{
    auto it = map.find(key);
    return it == map.end() ? nullptr : &it->second;
}

std::int64_t WallClockMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace

Exchange& Exchange::Instance()
{
    // The platform's device list must outlive the exchange, which removes its devices from it.
    platform::WaveDeviceList::Instance();
    static Exchange exchange;
    return exchange;
}

bool Exchange::IsRunning()
{
    return g_running.load();
}

Exchange::Exchange()
    : m_wallStartMs(WallClockMs())
{
    LoadConfigFile();
    BuildDevices();
}

Exchange::~Exchange()
{
    StopClockThread();
    m_control.reset();
    g_running = false;
}

LONG Exchange::LoadConfigFile()
{
    m_config = DeviceConfig::BuiltIn();
    std::string path;
    if (const char* env = std::getenv("KESTRIUM_EXCHANGE_CONFIG"); env && *env)
        path = env;
    else if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        path = std::string(config) + "/kestrium/exchange.conf";
    else if (const char* home = std::getenv("HOME"); home && *home)
        path = std::string(home) + "/.config/kestrium/exchange.conf";
    if (path.empty())
        return TAPISIM_OK;
    std::string text;
    std::string error;
    switch (platform::ReadRegularFile(path, kMaxConfigBytes, text, error)) {
    case platform::FileRead::Missing:
        return TAPISIM_OK;
    case platform::FileRead::Refused:
        return ReportConfigError(path + ": " + error);
    case platform::FileRead::Read:
        break;
    }
    DeviceConfig parsed;
    if (!DeviceConfig::Parse(text, parsed, error))
        return ReportConfigError(path + ": " + error);
    m_config = std::move(parsed);
    return TAPISIM_OK;
}

LONG Exchange::ReportConfigError(const std::string& error)
{
    m_lastError = error + "; using the built-in device set";
    std::cerr << "kestrium telephony: " << m_lastError << std::endl;
    return TAPISIM_E_CONFIG;
}

void Exchange::BuildDevices()
{
    m_sip.reset(); // ends the SIP lines' calls and registrations before their devices go
    m_lines.clear(); // removes the old wave devices from the platform's lists
    m_phones.clear();
    for (std::size_t i = 0; i < m_config.lines.size(); ++i) {
        Line line;
        line.config = m_config.lines[i];
        line.audio = std::make_shared<LineAudio>(line.config.name, static_cast<int>(i));
        if (line.config.hasPhone) {
            line.phone = static_cast<int>(m_phones.size());
            m_phones.push_back(PhoneState{ static_cast<DWORD>(i) });
        }
        m_lines.push_back(std::move(line));
    }
    m_dialPlan.Clear();
    for (const auto& rule : m_config.dialPlan)
        m_dialPlan.Add(rule);
    StartSipLines();
}

void Exchange::EnsureStarted()
{
    // Called with m_mutex held.
    if (m_started)
        return;
    m_started = true;
    g_running = true;
    if (!m_control) {
        m_control = std::make_unique<ControlServer>(
            [this](const std::string& command) { return HandleCommand(command); });
        std::string error;
        if (!m_control->Start(error)) {
            m_lastError = error;
            std::cerr << "kestrium telephony: " << error << std::endl;
        }
    }
    if (!m_manualClock && !m_clockRunning) {
        m_clockRunning = true;
        m_clockThread = std::thread([this] { ClockThreadMain(); });
    }
}

void Exchange::StopClockThread()
{
    m_clockRunning = false;
    if (m_clockThread.joinable())
        m_clockThread.join();
}

void Exchange::ClockThreadMain()
{
    // After the process was stopped or the machine slept, the exchange does not replay the time it
    // missed: anything later than kMaxCatchUpMs behind real time is skipped.
    constexpr std::uint64_t kMaxCatchUpMs = 1000;
    auto last = std::chrono::steady_clock::now();
    std::uint64_t target = Now();
    bool reported = false;
    while (m_clockRunning) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const auto now = std::chrono::steady_clock::now();
        const auto step = std::chrono::duration_cast<std::chrono::milliseconds>(now - last).count();
        last += std::chrono::milliseconds(step);
        target = std::min<std::uint64_t>(target + static_cast<std::uint64_t>(step), Now() + kMaxCatchUpMs);
        // An exception here (a wave device callback, memory) would end the process; the clock
        // reports the first one and goes on.
        try {
            AdvanceTo(target);
        } catch (const std::exception& e) {
            if (!reported)
                std::cerr << "kestrium telephony: the exchange clock skipped a step: " << e.what()
                          << std::endl;
            reported = true;
        }
    }
}

void Exchange::AdvanceTo(std::uint64_t target)
{
    for (;;) {
        std::vector<std::shared_ptr<LineAudio>> tick;
        {
            std::lock_guard lock(m_mutex);
            TakeSipEvents();
            if (!RunDueTimer(target, tick))
                return;
        }
        for (const auto& audio : tick)
            audio->Tick(kAudioBlockSamples);
    }
}

bool Exchange::RunDueTimer(std::uint64_t target, std::vector<std::shared_ptr<LineAudio>>& tick)
{
    const std::uint64_t nextTimer = m_timers.empty() ? UINT64_MAX : m_timers.begin()->first.first;
    const std::uint64_t next = std::min(nextTimer, m_nextAudioTick);
    if (next > target) {
        m_now = std::max(m_now, target);
        return false;
    }
    m_now = next;
    if (nextTimer <= m_nextAudioTick) {
        auto node = m_timers.extract(m_timers.begin());
        Timer& timer = node.mapped();
        if (Call* call = FindCall(timer.callId); call && (!timer.epochBound || timer.epoch == call->epoch)) {
            timer.action(*call);
            CollectCall(timer.callId);
        }
        return true;
    }
    m_nextAudioTick += kAudioBlockMs;
    for (const auto& line : m_lines)
        tick.push_back(line.audio);
    return true;
}

DWORD Exchange::NewRequest()
{
    const DWORD request = m_nextRequest;
    m_nextRequest = m_nextRequest >= 0x7FFFFFFF ? 1 : m_nextRequest + 1;
    return request;
}

SYSTEMTIME Exchange::WallTime(std::uint64_t clockMs) const
{
    const std::int64_t ms = m_wallStartMs + static_cast<std::int64_t>(clockMs);
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    SYSTEMTIME time{};
    time.wYear = static_cast<uint16_t>(local.tm_year + 1900);
    time.wMonth = static_cast<uint16_t>(local.tm_mon + 1);
    time.wDayOfWeek = static_cast<uint16_t>(local.tm_wday);
    time.wDay = static_cast<uint16_t>(local.tm_mday);
    time.wHour = static_cast<uint16_t>(local.tm_hour);
    time.wMinute = static_cast<uint16_t>(local.tm_min);
    time.wSecond = static_cast<uint16_t>(local.tm_sec);
    time.wMilliseconds = static_cast<uint16_t>(ms % 1000);
    return time;
}

template <typename Apps, typename App> DWORD Exchange::AddApp(Apps& apps, App app)
{
    EnsureStarted();
    const DWORD handle = NewHandle();
    apps[handle] = std::move(app);
    return handle;
}

/* ---- applications ----------------------------------------------------------------------- */

LONG Exchange::LineInitialize(HLINEAPP& app, LINECALLBACK callback, const char* name, DWORD& numDevs,
    DWORD& version, const LINEINITIALIZEEXPARAMS* params)
{
    if (params) {
        if (params->dwTotalSize < sizeof(LINEINITIALIZEEXPARAMS))
            return LINEERR_STRUCTURETOOSMALL;
        // Line messages are delivered only through the callback (there is no lineGetMessage).
        if (params->dwOptions != LINEINITIALIZEEXOPTION_USEHIDDENWINDOW)
            return params->dwOptions == 0 || params->dwOptions > 3 ? LINEERR_INVALPARAM
                                                                   : LINEERR_OPERATIONUNAVAIL;
    }
    if (!callback)
        return LINEERR_INVALPOINTER;
    if (version < kMinVersion)
        return LINEERR_INCOMPATIBLEAPIVERSION;
    std::lock_guard lock(m_mutex);
    app = AddApp(m_lineApps, LineApp{ callback, name ? name : "", std::min(version, kMaxVersion) });
    numDevs = static_cast<DWORD>(m_lines.size());
    version = std::min(version, kMaxVersion);
    return 0;
}

LONG Exchange::LineShutdown(HLINEAPP app)
{
    std::lock_guard lock(m_mutex);
    if (!m_lineApps.count(app))
        return LINEERR_INVALAPPHANDLE;
    std::vector<HLINE> lines;
    for (const auto& [handle, open] : m_openLines)
        if (open.app == app)
            lines.push_back(handle);
    for (HLINE line : lines) {
        RemoveLineHandles(line);
        m_openLines.erase(line);
    }
    ForgetRequestsOf(app);
    m_lineApps.erase(app);
    return 0;
}

LONG Exchange::PhoneInitialize(HPHONEAPP& app, PHONECALLBACK callback, const char* name, DWORD& numDevs,
    DWORD& version, LPPHONEINITIALIZEEXPARAMS params)
{
    bool useEvent = false;
    if (params) {
        if (params->dwTotalSize < sizeof(PHONEINITIALIZEEXPARAMS))
            return PHONEERR_STRUCTURETOOSMALL;
        if (params->dwOptions == PHONEINITIALIZEEXOPTION_USEEVENT)
            useEvent = true;
        else if (params->dwOptions != PHONEINITIALIZEEXOPTION_USEHIDDENWINDOW)
            return params->dwOptions == PHONEINITIALIZEEXOPTION_USECOMPLETIONPORT ? PHONEERR_OPERATIONUNAVAIL
                                                                                  : PHONEERR_INVALPARAM;
    }
    if (!callback && !useEvent)
        return PHONEERR_INVALPOINTER;
    if (version < kMinVersion)
        return PHONEERR_INCOMPATIBLEAPIVERSION;
    std::lock_guard lock(m_mutex);
    PhoneApp entry{ callback, name ? name : "", std::min(version, kMaxVersion), useEvent, {}, {} };
    if (useEvent) {
        entry.event = UniqueFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
        params->Handles.hEvent = static_cast<DWORD>(entry.event.Get());
    }
    app = AddApp(m_phoneApps, std::move(entry));
    numDevs = static_cast<DWORD>(m_phones.size());
    version = std::min(version, kMaxVersion);
    return 0;
}

LONG Exchange::PhoneShutdown(HPHONEAPP app)
{
    std::lock_guard lock(m_mutex);
    if (!m_phoneApps.count(app))
        return PHONEERR_INVALAPPHANDLE;
    std::erase_if(m_openPhones, [&](const auto& entry) { return entry.second.app == app; });
    m_phoneApps.erase(app);
    m_phoneMessages.notify_all();
    return 0;
}

LONG Exchange::DispatchEvents()
{
    LONG count = 0;
    while (auto message = m_queue.Pop()) {
        LINECALLBACK lineCallback = nullptr;
        PHONECALLBACK phoneCallback = nullptr;
        {
            std::lock_guard lock(m_mutex);
            if (!ResolveForDispatch(*message, lineCallback, phoneCallback))
                continue;
            if (message->handleOut)
                *message->handleOut = message->handleValue;
        }
        if (lineCallback)
            lineCallback(message->hDevice, message->message, message->instance, message->param1,
                message->param2, message->param3);
        else
            phoneCallback(message->hDevice, message->message, message->instance, message->param1,
                message->param2, message->param3);
        ++count;
    }
    return count;
}

bool Exchange::ResolveForDispatch(const QueuedMessage& message, LINECALLBACK& line, PHONECALLBACK& phone)
{
    // A message outlives nothing: once its application shut down or its line or phone closed it
    // is dropped, as a closed line receives no more messages.
    if (message.phone) {
        auto app = m_phoneApps.find(message.app);
        if (app == m_phoneApps.end() || (message.owner && !m_openPhones.count(message.owner)))
            return false;
        phone = app->second.callback;
        return phone != nullptr;
    }
    auto app = m_lineApps.find(message.app);
    if (app == m_lineApps.end() || (message.owner && !m_openLines.count(message.owner)))
        return false;
    line = app->second.callback;
    return line != nullptr;
}

/* ---- messages --------------------------------------------------------------------------- */

void Exchange::PostLine(HLINE line, DWORD hDevice, DWORD message, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3,
    HCALL* handleOut, HCALL handleValue)
{
    const OpenLine* open = FindLine(line);
    if (!open)
        return;
    QueuedMessage queued;
    queued.app = open->app;
    queued.owner = line;
    queued.hDevice = hDevice;
    queued.message = message;
    queued.instance = open->instance;
    queued.param1 = p1;
    queued.param2 = p2;
    queued.param3 = p3;
    queued.handleOut = handleOut;
    queued.handleValue = handleValue;
    m_queue.Push(queued);
}

void Exchange::PostReply(const PendingRequest& request, LONG result)
{
    PostLine(request.line, 0, LINE_REPLY, request.request, static_cast<DWORD>(result), 0);
}

void Exchange::PostCallState(const Call& call)
{
    for (HCALL handle : call.handles)
        if (const CallHandle* entry = FindCallHandle(handle))
            PostLine(entry->line, handle, LINE_CALLSTATE, call.state, call.stateMode, 0);
}

void Exchange::PostLineDevState(DWORD device, DWORD state, DWORD_PTR p2, DWORD_PTR p3)
{
    for (const auto& [handle, open] : m_openLines)
        if (open.device == device && (open.lineStates & state))
            PostLine(handle, handle, LINE_LINEDEVSTATE, state, p2, p3);
}

void Exchange::PostPhone(HPHONE phone, DWORD message, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3)
{
    const OpenPhone* open = FindPhone(phone);
    if (!open)
        return;
    PhoneApp& app = m_phoneApps.at(open->app);
    if (app.useEvent) {
        app.messages.push_back(PHONEMESSAGE{ phone, message, open->instance, p1, p2, p3 });
        const std::uint64_t one = 1;
        [[maybe_unused]] auto written = ::write(app.event.Get(), &one, sizeof one);
        m_phoneMessages.notify_all();
        return;
    }
    QueuedMessage queued;
    queued.phone = true;
    queued.app = open->app;
    queued.owner = phone;
    queued.hDevice = phone;
    queued.message = message;
    queued.instance = open->instance;
    queued.param1 = p1;
    queued.param2 = p2;
    queued.param3 = p3;
    m_queue.Push(queued);
}

void Exchange::PostPhoneState(DWORD phoneDevice, DWORD state, DWORD_PTR p2)
{
    for (const auto& [handle, open] : m_openPhones)
        if (open.device == phoneDevice && (open.phoneStates & state))
            PostPhone(handle, PHONE_STATE, state, p2, 0);
}

/* ---- lookups ---------------------------------------------------------------------------- */

Exchange::OpenLine* Exchange::FindLine(HLINE line)
{
    return FindValue(m_openLines, line);
}

Exchange::CallHandle* Exchange::FindCallHandle(HCALL call)
{
    return FindValue(m_callHandles, call);
}

Exchange::Call* Exchange::FindCall(DWORD callId)
{
    return FindValue(m_calls, callId);
}

Exchange::OpenPhone* Exchange::FindPhone(HPHONE phone)
{
    return FindValue(m_openPhones, phone);
}

Exchange::Call* Exchange::ActiveCall(DWORD device)
{
    return device < m_lines.size() && m_lines[device].activeCall ? FindCall(m_lines[device].activeCall)
                                                                 : nullptr;
}

DWORD Exchange::CountOwners(const Call& call) const
{
    DWORD owners = 0;
    for (HCALL handle : call.handles)
        if (auto it = m_callHandles.find(handle); it != m_callHandles.end())
            owners += it->second.privilege == LINECALLPRIVILEGE_OWNER ? 1 : 0;
    return owners;
}

LineAudio* Exchange::AudioOf(DWORD line)
{
    return line < m_lines.size() ? m_lines[line].audio.get() : nullptr;
}

/* ---- line devices ----------------------------------------------------------------------- */

LONG Exchange::CheckLineApp(HLINEAPP app)
{
    std::lock_guard lock(m_mutex);
    return m_lineApps.count(app) ? 0 : LINEERR_INVALAPPHANDLE;
}

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

LONG Exchange::NegotiateApiVersion(HLINEAPP app, DWORD device, DWORD low, DWORD high, DWORD& version)
{
    std::lock_guard lock(m_mutex);
    if (!m_lineApps.count(app))
        return LINEERR_INVALAPPHANDLE;
    if (device >= m_lines.size())
        return LINEERR_BADDEVICEID;
    if (low > high || high < kMinVersion || low > kMaxVersion)
        return LINEERR_INCOMPATIBLEAPIVERSION;
    version = std::min(high, kMaxVersion);
    return 0;
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
    caps.dwAnswerMode = LINEANSWERMODE_NONE;
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
    return 0;
}

LONG Exchange::LineClose(HLINE line)
{
    std::lock_guard lock(m_mutex);
    if (!FindLine(line))
        return LINEERR_INVALLINEHANDLE;
    RemoveLineHandles(line);
    m_openLines.erase(line);
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
    status.dwNumActiveCalls = call ? 1 : 0;
    status.dwLineFeatures = call ? 0 : LINEFEATURE_MAKECALL;
    status.dwRingMode = call && call->state == LINECALLSTATE_OFFERING ? 1 : 0;
    status.dwSignalLevel = 0xFFFF;
    status.dwBatteryLevel = 0xFFFF;
    status.dwDevStatusFlags = LINEDEVSTATUSFLAGS_CONNECTED
        | (m_lines[open->device].inService ? LINEDEVSTATUSFLAGS_INSERVICE : 0);
    status.dwAvailableMediaModes = m_lines[open->device].config.MediaModes();
    const DWORD terminalModes = m_lines[open->device].terminalModes;
    if (m_lines[open->device].phone >= 0)
        var.AddBytes(
            &terminalModes, sizeof terminalModes, status.dwTerminalModesSize, status.dwTerminalModesOffset);
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

/* ---- phones ----------------------------------------------------------------------------- */

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
