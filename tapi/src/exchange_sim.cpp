#include "exchange.h"

#include "command_interpreter.h"
#include "control_server.h"
#include "wave_file.h"

#include <sstream>

// Control of the simulated exchange: clock, configuration, far ends and phones (tapisim.h).

namespace tapi {

namespace {

const char* StateName(DWORD state)
{
    switch (state) {
    case LINECALLSTATE_IDLE:
        return "idle";
    case LINECALLSTATE_OFFERING:
        return "offering";
    case LINECALLSTATE_ACCEPTED:
        return "accepted";
    case LINECALLSTATE_DIALTONE:
        return "dialtone";
    case LINECALLSTATE_DIALING:
        return "dialing";
    case LINECALLSTATE_RINGBACK:
        return "ringback";
    case LINECALLSTATE_BUSY:
        return "busy";
    case LINECALLSTATE_CONNECTED:
        return "connected";
    case LINECALLSTATE_PROCEEDING:
        return "proceeding";
    case LINECALLSTATE_DISCONNECTED:
        return "disconnected";
    case LINECALLSTATE_ONHOLD:
        return "held";
    case LINECALLSTATE_ONHOLDPENDTRANSFER:
        return "held for transfer";
    case LINECALLSTATE_ONHOLDPENDCONF:
        return "held for conference";
    case LINECALLSTATE_CONFERENCED:
        return "conferenced";
    default:
        return "unknown";
    }
}

const char* KindName(LineKind kind)
{
    switch (kind) {
    case LineKind::Analog:
        return "analog";
    case LineKind::Ip:
        return "ip";
    case LineKind::Modem:
        return "modem";
    case LineKind::Sip:
        return "sip";
    }
    return "?";
}

} // namespace

LONG Exchange::UseManualClock(bool manual)
{
    StopClockThread();
    std::lock_guard lock(m_mutex);
    m_manualClock = manual;
    ClearState();
    if (!manual && m_started) {
        m_clockRunning = true;
        m_clockThread = std::thread([this] { ClockThreadMain(); });
    }
    return TAPISIM_OK;
}

LONG Exchange::Advance(DWORD milliseconds)
{
    std::uint64_t target;
    {
        std::lock_guard lock(m_mutex);
        if (!m_manualClock)
            return TAPISIM_E_CLOCK;
        target = m_now + milliseconds;
    }
    AdvanceTo(target);
    return TAPISIM_OK;
}

std::uint64_t Exchange::Now()
{
    std::lock_guard lock(m_mutex);
    return ClockMs();
}

void Exchange::ClearState()
{
    m_queue.Clear();
    m_lineApps.clear();
    m_phoneApps.clear();
    m_openLines.clear();
    m_openPhones.clear();
    m_callHandles.clear();
    m_calls.clear();
    m_sipPickups.clear();
    m_timers.clear();
    m_requests.clear();
    m_takenRequests.clear();
    m_requestOutcomes.clear();
    m_requestAnswered.notify_all();
    m_phoneMessages.notify_all();
    m_nextAudioTick = ClockMs() + kAudioBlockMs;
    BuildDevices();
}

LONG Exchange::Reset()
{
    std::lock_guard lock(m_mutex);
    ClearState();
    return TAPISIM_OK;
}

LONG Exchange::Configure(const char* text)
{
    std::lock_guard lock(m_mutex);
    if (!m_lineApps.empty() || !m_phoneApps.empty())
        return TAPISIM_E_BUSY;
    LONG result = TAPISIM_OK;
    if (!text) {
        m_config = DeviceConfig::BuiltIn();
    } else if (std::string error; !DeviceConfig::Parse(text, m_config, error)) {
        m_lastError = error;
        m_config = DeviceConfig::BuiltIn();
        result = TAPISIM_E_CONFIG;
    }
    ClearState();
    return result;
}

std::string Exchange::LastError()
{
    std::lock_guard lock(m_mutex);
    return m_lastError;
}

LONG Exchange::FarEndHangUp(DWORD line, DWORD callId)
{
    std::lock_guard lock(m_mutex);
    if (line >= m_lines.size())
        return TAPISIM_E_BADLINE;
    Call* call = FarEndCall(line, callId);
    if (!call || call->state == LINECALLSTATE_DISCONNECTED)
        return TAPISIM_E_NOCALL;
    if (LineAudio* audio = AudioOf(line); audio && call->state == LINECALLSTATE_CONNECTED)
        audio->AppendLog("far end hung up");
    const DWORD id = call->id;
    DisconnectCall(*call, LINEDISCONNECTMODE_NORMAL);
    CollectCall(id);
    return TAPISIM_OK;
}

LONG Exchange::AnswerDialled(DWORD line, bool answer)
{
    std::lock_guard lock(m_mutex);
    if (line >= m_lines.size())
        return TAPISIM_E_BADLINE;
    Call* call = ActiveCall(line);
    if (!call || call->incoming || call->state != LINECALLSTATE_RINGBACK)
        return TAPISIM_E_NOCALL;
    if (answer)
        ConnectCall(*call);
    else
        DisconnectCall(*call, LINEDISCONNECTMODE_REJECT);
    return TAPISIM_OK;
}

LONG Exchange::AddDialRule(DialRule rule)
{
    if (rule.pattern.empty() || rule.outcome > TAPISIM_OUTCOME_MANUAL)
        return TAPISIM_E_BADARG;
    std::lock_guard lock(m_mutex);
    m_dialPlan.Add(std::move(rule));
    return TAPISIM_OK;
}

LONG Exchange::ClearDialPlan()
{
    std::lock_guard lock(m_mutex);
    m_dialPlan.Clear();
    return TAPISIM_OK;
}

std::vector<DialRule> Exchange::DialRules()
{
    std::lock_guard lock(m_mutex);
    return m_dialPlan.Rules();
}

LONG Exchange::SetFarEndSilence(DWORD line)
{
    std::lock_guard lock(m_mutex);
    LineAudio* audio = AudioOf(line);
    if (!audio)
        return TAPISIM_E_BADLINE;
    audio->SetFarEndSilence();
    return TAPISIM_OK;
}

LONG Exchange::SetFarEndTone(DWORD line, DWORD frequency, int level, DWORD callId)
{
    if (frequency == 0 || frequency > 4000 || level > 3 || level < -60)
        return TAPISIM_E_BADARG;
    std::lock_guard lock(m_mutex);
    LineAudio* audio = AudioOf(line);
    if (!audio)
        return TAPISIM_E_BADLINE;
    if (callId)
        audio->SetCallTone(callId, frequency, level);
    else
        audio->SetFarEndTone(frequency, level);
    return TAPISIM_OK;
}

LONG Exchange::SetFarEndWave(DWORD line, const std::string& path)
{
    std::vector<std::int16_t> samples;
    std::string error;
    {
        std::lock_guard lock(m_mutex);
        if (!AudioOf(line))
            return TAPISIM_E_BADLINE;
    }
    if (!ReadWaveFileAsLineAudio(path, samples, error)) {
        std::lock_guard lock(m_mutex);
        m_lastError = error;
        return TAPISIM_E_FILE;
    }
    std::lock_guard lock(m_mutex);
    LineAudio* audio = AudioOf(line);
    if (!audio)
        return TAPISIM_E_BADLINE;
    audio->SetFarEndSamples(std::move(samples));
    return TAPISIM_OK;
}

LONG Exchange::GetHeard(DWORD line, std::vector<std::int16_t>& samples, DWORD callId)
{
    std::shared_ptr<LineAudio> audio;
    {
        std::lock_guard lock(m_mutex);
        if (line >= m_lines.size())
            return TAPISIM_E_BADLINE;
        audio = m_lines[line].audio;
    }
    samples = audio->Heard(callId);
    return TAPISIM_OK;
}

LONG Exchange::GetDetectedDigits(DWORD line, std::string& digits)
{
    std::lock_guard lock(m_mutex);
    LineAudio* audio = AudioOf(line);
    if (!audio)
        return TAPISIM_E_BADLINE;
    digits = audio->DetectedDigits();
    return TAPISIM_OK;
}

LONG Exchange::GetGeneratedLog(DWORD line, std::string& log)
{
    std::lock_guard lock(m_mutex);
    LineAudio* audio = AudioOf(line);
    if (!audio)
        return TAPISIM_E_BADLINE;
    log = audio->Log();
    return TAPISIM_OK;
}

LONG Exchange::ClearHeard(DWORD line)
{
    std::lock_guard lock(m_mutex);
    LineAudio* audio = AudioOf(line);
    if (!audio)
        return TAPISIM_E_BADLINE;
    audio->ClearHeard();
    return TAPISIM_OK;
}

LONG Exchange::SetHandset(DWORD phone, bool offHook)
{
    std::lock_guard lock(m_mutex);
    if (phone >= m_phones.size())
        return TAPISIM_E_BADLINE;
    const DWORD mode = offHook ? PHONEHOOKSWITCHMODE_MICSPEAKER : PHONEHOOKSWITCHMODE_ONHOOK;
    if (m_phones[phone].handsetMode == mode)
        return TAPISIM_OK;
    m_phones[phone].handsetMode = mode;
    PostPhoneState(phone, PHONESTATE_HANDSETHOOKSWITCH, mode);
    HandsetOnLine(m_phones[phone].line, offHook);
    return TAPISIM_OK;
}

void Exchange::HandsetOnLine(DWORD line, bool offHook)
{
    // While the line has the hook switch (LINETERMMODE_HOOKSWITCH), the phone answers an offered
    // call when the handset is lifted and hangs up the call it answered when it is put down.
    if (!(m_lines[line].terminalModes & LINETERMMODE_HOOKSWITCH))
        return;
    Call* call = ActiveCall(line);
    if (!call)
        return;
    if (offHook && call->state == LINECALLSTATE_OFFERING) {
        call->answeredAtPhone = true;
        if (call->sipCall)
            m_sip->Answer(call->sipCall);
        SetState(*call, LINECALLSTATE_CONNECTED, 0);
    } else if (!offHook && call->answeredAtPhone && call->state == LINECALLSTATE_CONNECTED) {
        SetState(*call, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
    }
}

int Exchange::PhoneIdOfLine(DWORD line)
{
    std::lock_guard lock(m_mutex);
    return line < m_lines.size() ? m_lines[line].phone : -1;
}

std::string Exchange::DescribeLines()
{
    std::lock_guard lock(m_mutex);
    std::ostringstream out;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const Line& line = m_lines[i];
        out << "line " << i + 1 << ": " << line.config.name << " (" << KindName(line.config.kind);
        if (line.config.kind == LineKind::Sip)
            out << ", " << (line.inService ? "in service" : "out of service") << ": " << line.serviceText;
        if (line.phone >= 0) {
            const PhoneState& phone = m_phones[line.phone];
            out << ", handset " << (phone.handsetMode == PHONEHOOKSWITCHMODE_ONHOOK ? "down" : "up");
            if (phone.audioToComputer)
                out << ", audio to the computer";
        }
        out << ")" << DescribeCalls(static_cast<DWORD>(i)) << "\n";
    }
    return out.str();
}

std::string Exchange::DescribeCalls(DWORD device)
{
    const std::vector<Call*> calls = CallsOnLine(device);
    std::ostringstream out;
    if (calls.empty())
        out << " idle";
    for (const Call* call : calls) {
        out << (call == calls.front() ? "" : ",") << " call " << call->id << " ";
        if (IsOffered(*call) && m_lines[device].activeCall != call->id)
            out << "waiting";
        else
            out << StateName(call->state)
                << (call->farEndHolding && call->state == LINECALLSTATE_CONNECTED ? " (held by the far end)"
                                                                                  : "");
        if (call->isConference)
            out << " conference";
        else if (call->incoming)
            out << " from " << (call->callerNumber.empty() ? "(no number)" : call->callerNumber)
                << (call->callerName.empty() ? "" : " \"" + call->callerName + "\"");
        else if (!call->dialled.empty())
            out << " to " << call->dialled;
        if (const Call* conference = FindCall(call->conference); conference && conference->device != device)
            out << " in the conference on line " << conference->device + 1;
        if (!call->transferTarget.empty())
            out << ", being transferred to " << call->transferTarget;
        else if (!call->connectedNumber.empty())
            out << ", transferred by " << call->redirectingNumber << " to " << call->connectedNumber;
    }
    for (const std::string& transfer : m_lines[device].transferred)
        out << "; transferred " << transfer;
    return out.str();
}

std::string Exchange::DescribeHeard(DWORD line, LONG& result)
{
    std::shared_ptr<LineAudio> audio;
    {
        std::lock_guard lock(m_mutex);
        result = line < m_lines.size() ? TAPISIM_OK : TAPISIM_E_BADLINE;
        if (result != TAPISIM_OK)
            return {};
        audio = m_lines[line].audio;
    }
    return audio->Describe();
}

std::string Exchange::ControlSocketPath()
{
    std::lock_guard lock(m_mutex);
    return m_control && m_control->IsListening() ? m_control->Path() : std::string();
}

std::string Exchange::HandleCommand(const std::string& command)
{
    std::string reply;
    // The control socket's clients are other processes: a dialing request is answered once the
    // application has placed the call or said why not.
    constexpr std::chrono::seconds kRequestAnswerLimit{ 4 };
    CommandInterpreter(*this, kRequestAnswerLimit).Run(command, reply);
    return reply;
}

} // namespace tapi
