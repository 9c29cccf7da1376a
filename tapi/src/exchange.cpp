#include "exchange.h"

#include "control_server.h"

#include "platform/regular_file.h"
#include "platform/wave_devices.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <iostream>

#include <pthread.h>

// The exchange itself: construction from the configuration file, start and stop of the service,
// the clock thread that runs timers and moves line audio, and the handle lookups every part uses.

namespace tapi {

namespace {

constexpr std::size_t kMaxConfigBytes = std::size_t(1) << 20;
std::atomic<bool> g_running{ false };

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
    std::string error;
    if (!ReadConfigFile(m_config, error))
        return ReportConfigError(error);
    return TAPISIM_OK;
}

std::string Exchange::ConfigFilePath()
{
    if (const char* env = std::getenv("KESTRIUM_EXCHANGE_CONFIG"); env && *env)
        return env;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        return std::string(config) + "/kestrium/exchange.conf";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.config/kestrium/exchange.conf";
    return {};
}

bool Exchange::ReadConfigFile(DeviceConfig& config, std::string& error)
{
    const std::string path = ConfigFilePath();
    if (path.empty())
        return true;
    std::string text;
    switch (platform::ReadRegularFile(path, kMaxConfigBytes, text, error)) {
    case platform::FileRead::Missing:
        return true;
    case platform::FileRead::Refused:
        error = path + ": " + error;
        return false;
    case platform::FileRead::Read:
        break;
    }
    if (!DeviceConfig::Parse(text, config, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
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
        line.audio = std::make_shared<LineAudio>(
            line.config.name, static_cast<int>(i), [this] { m_clockWake.Raise(); });
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
    m_clockWake.Raise();
    if (m_clockThread.joinable())
        m_clockThread.join();
}

void Exchange::ClockThreadMain()
{
    pthread_setname_np(pthread_self(), "tapi-clock");
    // After the process was stopped or the machine slept, the exchange does not replay the time it
    // missed: anything later than kMaxCatchUpMs behind real time is skipped.
    constexpr std::uint64_t kMaxCatchUpMs = 1000;
    auto last = WakeSignal::Clock::now();
    std::uint64_t target = Now();
    bool reported = false;
    while (m_clockRunning) {
        m_clockWake.Wait(PlanClockSleep(last, target));
        const std::uint64_t awake = WakeClockUp();
        const auto now = WakeSignal::Clock::now();
        const auto step = std::chrono::duration_cast<std::chrono::milliseconds>(now - last).count();
        last += std::chrono::milliseconds(step);
        target = std::min<std::uint64_t>(target + static_cast<std::uint64_t>(step), awake + kMaxCatchUpMs);
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

std::optional<WakeSignal::Clock::time_point> Exchange::PlanClockSleep(
    WakeSignal::Clock::time_point at, std::uint64_t clockMs)
{
    // While audio moves, the clock steps in slices shorter than an audio block.
    constexpr auto kAudioStep = std::chrono::milliseconds(10);
    std::lock_guard lock(m_mutex);
    const bool audio = std::any_of(
        m_lines.begin(), m_lines.end(), [](const Line& line) { return line.audio->NeedsTicks(); });
    if (audio)
        return WakeSignal::Clock::now() + kAudioStep;
    m_clockAsleep = true;
    m_clockAnchor = at;
    m_clockAnchorMs = clockMs;
    if (m_timers.empty())
        return std::nullopt;
    const std::uint64_t due = m_timers.begin()->first.first;
    return at + std::chrono::milliseconds(due > clockMs ? due - clockMs : 0);
}

std::uint64_t Exchange::WakeClockUp()
{
    std::lock_guard lock(m_mutex);
    if (m_clockAsleep) {
        ClockMs();
        m_clockAsleep = false;
        // No audio moved while the clock slept; it starts again from now, not with the blocks missed.
        m_nextAudioTick = std::max(m_nextAudioTick, m_now);
    }
    return m_now;
}

std::uint64_t Exchange::ClockMs()
{
    if (!m_clockAsleep)
        return m_now;
    const auto slept
        = std::chrono::duration_cast<std::chrono::milliseconds>(WakeSignal::Clock::now() - m_clockAnchor);
    std::uint64_t real = m_clockAnchorMs + static_cast<std::uint64_t>(slept.count());
    if (!m_timers.empty())
        real = std::min(real, m_timers.begin()->first.first);
    m_now = std::max(m_now, real);
    return m_now;
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

} // namespace tapi
