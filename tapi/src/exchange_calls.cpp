#include "exchange.h"

#include "line_settings.h"
#include "sip_parse.h"
#include "var_struct.h"

#include "platform/registry.h"

#include <algorithm>
#include <cctype>

// Call progress of the simulated exchange: outgoing calls through the dial plan, incoming calls
// with rings, answering, dropping, digit and tone generation.

namespace tapi {

namespace {

constexpr DWORD kDialToneMs = 200;
constexpr DWORD kDigitMs = 80;
constexpr DWORD kMaxDialMs = 2000;
constexpr DWORD kProceedingMs = 500;
constexpr DWORD kAnswerMs = 200;
constexpr DWORD kBusyReleaseMs = 10000;
constexpr DWORD kDefaultDigitMs = 100;
constexpr DWORD kMinDigitMs = 50;
constexpr DWORD kMaxDigitMs = 500;
constexpr DWORD kMaxToneMs = 60000;
constexpr std::size_t kMaxDigits = 256;
constexpr std::size_t kMaxAddress = 255;

bool IsValidDigit(char c, DWORD mode)
{
    if (mode == LINEDIGITMODE_PULSE)
        return std::isdigit(static_cast<unsigned char>(c)) || c == '!';
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return std::isdigit(static_cast<unsigned char>(c)) || c == '*' || c == '#' || c == '!'
        || (upper >= 'A' && upper <= 'D');
}

// Pulse dialling sends n clicks of 100 ms for digit n (10 for "0") and a pause between digits.
DWORD PulseLengthMs(const std::string& digits)
{
    DWORD total = 0;
    for (char c : digits)
        total += c == '!' ? 500 : DWORD(c == '0' ? 10 : c - '0') * 100 + 700;
    return total;
}

ToneSpec ToneForMode(DWORD mode, const std::vector<LINEGENERATETONE>& tones)
{
    switch (mode) {
    case LINETONEMODE_RINGBACK:
        return ToneSpec::Ringback();
    case LINETONEMODE_BUSY:
        return ToneSpec::Busy();
    case LINETONEMODE_CUSTOM: {
        ToneSpec custom;
        for (const auto& tone : tones)
            if (tone.dwFrequency)
                custom.frequencies.push_back(tone.dwFrequency);
        custom.onMs = tones.front().dwCadenceOn;
        custom.offMs = tones.front().dwCadenceOn ? tones.front().dwCadenceOff : 0;
        return custom;
    }
    default: // BEEP and BILLING
        return ToneSpec::Beep();
    }
}

const char* ToneModeName(DWORD mode)
{
    switch (mode) {
    case LINETONEMODE_RINGBACK:
        return "ringback";
    case LINETONEMODE_BUSY:
        return "busy";
    case LINETONEMODE_BILLING:
        return "billing";
    case LINETONEMODE_CUSTOM:
        return "custom";
    default:
        return "beep";
    }
}

DWORD DefaultToneMs(DWORD mode)
{
    return mode == LINETONEMODE_RINGBACK ? 6000 : mode == LINETONEMODE_BUSY ? 1000 : 500;
}

} // namespace

void Exchange::Schedule(Call& call, DWORD delayMs, std::function<void(Call&)> action, bool epochBound)
{
    m_timers.emplace(std::make_pair(ClockMs() + delayMs, ++m_sequence),
        Timer{ call.id, call.epoch, epochBound, std::move(action) });
    m_clockWake.Raise();
}

HCALL Exchange::AddCallHandle(Call& call, HLINE line, DWORD privilege)
{
    const HCALL handle = NewHandle();
    m_callHandles[handle] = CallHandle{ line, call.id, privilege };
    call.handles.push_back(handle);
    return handle;
}

void Exchange::CollectCall(DWORD callId)
{
    Call* call = FindCall(callId);
    if (call && call->state == LINECALLSTATE_IDLE && call->handles.empty())
        m_calls.erase(callId);
}

DWORD Exchange::NoAnswerMs(const Call& call) const
{
    if (call.text.noAnswerSeconds)
        return call.text.noAnswerSeconds * 1000;
    return LineSettings::NoAnswerSeconds(
               platform::RegistryHive::CurrentUser(), m_lines[call.device].config.name)
        * 1000;
}

void Exchange::UpdateAudioPhase(const Call& call)
{
    LineAudio* audio = AudioOf(call.device);
    if (!audio || m_lines[call.device].activeCall != call.id)
        return;
    switch (call.state) {
    case LINECALLSTATE_DIALTONE:
        audio->SetPhase(LineAudio::Phase::DialTone);
        break;
    case LINECALLSTATE_RINGBACK:
        audio->SetPhase(LineAudio::Phase::Ringback);
        break;
    case LINECALLSTATE_BUSY:
        audio->SetPhase(LineAudio::Phase::Busy);
        break;
    case LINECALLSTATE_CONNECTED:
        audio->SetPhase(LineAudio::Phase::Connected);
        break;
    default:
        audio->SetPhase(LineAudio::Phase::Quiet);
        break;
    }
}

void Exchange::SetState(Call& call, DWORD state, DWORD mode)
{
    if (call.generation && state != LINECALLSTATE_CONNECTED)
        EndGeneration(call, LINEGENERATETERM_CANCEL);
    if (call.pendingAnswer && state != LINECALLSTATE_ACCEPTED && state != LINECALLSTATE_CONNECTED)
        FailPendingAnswer(call);
    if (call.pendingTransfer && (state == LINECALLSTATE_IDLE || state == LINECALLSTATE_DISCONNECTED))
        FailPendingTransfer(call);
    call.state = state;
    call.stateMode = mode;
    call.stateEntered = ClockMs();
    ++call.epoch;
    if (state == LINECALLSTATE_IDLE || state == LINECALLSTATE_DISCONNECTED) {
        call.farEndHolding = false;
        EndSipCall(call);
    }
    if (state == LINECALLSTATE_IDLE && call.device < m_lines.size()
        && m_lines[call.device].activeCall == call.id)
        ReleaseLine(call.device);
    RefreshLineAudio(call.device);
    PostCallState(call);
    if (call.sipCall && m_sip && (state == LINECALLSTATE_IDLE || state == LINECALLSTATE_DISCONNECTED))
        m_sip->Hangup(call.sipCall); // ignored when the far end already ended it
    if (state == LINECALLSTATE_CONNECTED && call.hangUpAfterMs)
        Schedule(call, call.hangUpAfterMs, [this](Call& c) { DisconnectCall(c, LINEDISCONNECTMODE_NORMAL); });
    if (state == LINECALLSTATE_IDLE || state == LINECALLSTATE_DISCONNECTED)
        LeaveConference(call);
}

void Exchange::FailPendingAnswer(Call& call)
{
    PostReply(*call.pendingAnswer, LINEERR_INVALCALLSTATE);
    call.pendingAnswer.reset();
}

Exchange::OwnedCall Exchange::FindOwnedCall(HCALL handle)
{
    const CallHandle* entry = FindCallHandle(handle);
    if (!entry)
        return { nullptr, nullptr, LINEERR_INVALCALLHANDLE };
    if (entry->privilege != LINECALLPRIVILEGE_OWNER)
        return { entry, nullptr, LINEERR_NOTOWNER };
    return { entry, FindCall(entry->callId), 0 };
}

/* ---- outgoing --------------------------------------------------------------------------- */

LONG Exchange::MakeCall(HLINE line, HCALL* callOut, const std::string& destination, const CallText& text)
{
    std::lock_guard lock(m_mutex);
    const OpenLine* open = FindLine(line);
    if (!open)
        return LINEERR_INVALLINEHANDLE;
    if (destination.empty() || destination.size() > kMaxAddress
        || DialPlan::DialledDigits(destination).empty())
        return LINEERR_INVALADDRESS;
    const LineConfig& config = m_lines[open->device].config;
    if ((text.bearerMode & config.BearerModes()) != text.bearerMode || text.bearerMode == 0)
        return LINEERR_BEARERMODEUNAVAIL;
    if ((text.mediaMode & config.MediaModes()) != text.mediaMode || text.mediaMode == 0)
        return LINEERR_INVALMEDIAMODE;
    // Calls on hold leave the line free for another call.
    if (m_lines[open->device].activeCall || CallsOnLine(open->device).size() >= kMaxCallsPerLine)
        return LINEERR_INUSE;
    std::string sipTarget;
    if (config.kind == LineKind::Sip) {
        if (!m_lines[open->device].inService)
            return LINEERR_OPERATIONUNAVAIL;
        sipTarget = SipTargetUri(destination, config.sip);
        if (sipTarget.empty())
            return LINEERR_INVALADDRESS;
    }
    Call& call = m_calls[m_nextCallId];
    call.id = m_nextCallId++;
    call.device = open->device;
    call.dialled = destination;
    call.text = text;
    call.rule = m_dialPlan.Match(destination);
    call.hangUpAfterMs = call.rule.hangUpAfterMs;
    call.appName = m_lineApps.at(open->app).name;
    m_lines[open->device].activeCall = call.id;
    const HCALL handle = AddCallHandle(call, line, LINECALLPRIVILEGE_OWNER);
    const DWORD request = NewRequest();
    // The handle reaches the application's variable as the reply is delivered.
    PostLine(line, 0, LINE_REPLY, request, 0, 0, callOut, handle);
    if (!sipTarget.empty()) {
        PlaceSipCall(call, sipTarget);
        return static_cast<LONG>(request);
    }
    SetState(call, LINECALLSTATE_DIALTONE, LINEDIALTONEMODE_NORMAL);
    Schedule(call, kDialToneMs, [this](Call& c) { StartDialling(c); });
    return static_cast<LONG>(request);
}

void Exchange::StartDialling(Call& call)
{
    SetState(call, LINECALLSTATE_DIALING, 0);
    const auto digits = static_cast<DWORD>(DialPlan::DialledDigits(call.dialled).size());
    Schedule(call, std::min(kMaxDialMs, digits * kDigitMs), [this](Call& c) {
        SetState(c, LINECALLSTATE_PROCEEDING, 0);
        Schedule(c, kProceedingMs, [this](Call& c2) { ReachFarEnd(c2); });
    });
}

void Exchange::ReachFarEnd(Call& call)
{
    switch (call.rule.outcome) {
    case TAPISIM_OUTCOME_BUSY:
        Schedule(call, call.rule.delayMs, [this](Call& c) { EnterBusy(c); });
        break;
    case TAPISIM_OUTCOME_BADADDRESS:
        Schedule(
            call, call.rule.delayMs, [this](Call& c) { DisconnectCall(c, LINEDISCONNECTMODE_BADADDRESS); });
        break;
    default:
        StartRingback(call);
        break;
    }
}

void Exchange::EnterBusy(Call& call)
{
    SetState(call, LINECALLSTATE_BUSY, LINEBUSYMODE_STATION);
    Schedule(call, kBusyReleaseMs, [this](Call& c) { DisconnectCall(c, LINEDISCONNECTMODE_BUSY); });
}

void Exchange::StartRingback(Call& call)
{
    SetState(call, LINECALLSTATE_RINGBACK, 0);
    const DWORD noAnswer = NoAnswerMs(call);
    const DWORD outcome = call.rule.outcome;
    const DWORD delay = call.rule.delayMs;
    if (outcome == TAPISIM_OUTCOME_ANSWER && delay < noAnswer) {
        Schedule(call, delay, [this](Call& c) { ConnectCall(c); });
    } else if (outcome == TAPISIM_OUTCOME_REJECT && delay < noAnswer) {
        Schedule(call, delay, [this](Call& c) { DisconnectCall(c, LINEDISCONNECTMODE_REJECT); });
    } else {
        // No answer: the exchange gives up after the rule's ringing time or the no-answer time-out.
        const DWORD ringFor
            = outcome == TAPISIM_OUTCOME_NOANSWER && delay ? std::min(delay, noAnswer) : noAnswer;
        Schedule(call, ringFor, [this](Call& c) { DisconnectCall(c, LINEDISCONNECTMODE_NOANSWER); });
    }
}

void Exchange::ConnectCall(Call& call)
{
    SetState(call, LINECALLSTATE_CONNECTED, 0);
}

void Exchange::DisconnectCall(Call& call, DWORD mode)
{
    if (call.state == LINECALLSTATE_IDLE || call.state == LINECALLSTATE_DISCONNECTED)
        return;
    const bool unanswered = call.state == LINECALLSTATE_OFFERING || call.state == LINECALLSTATE_ACCEPTED;
    if (unanswered && !(call.callerFlags & TAPISIM_CALLER_DISCONNECTS)) {
        // An offered call whose caller hangs up simply ends.
        SetState(call, LINECALLSTATE_IDLE, 0);
        return;
    }
    if (call.pendingDrop) {
        FinishDrop(call);
        return;
    }
    SetState(call, LINECALLSTATE_DISCONNECTED, mode);
}

/* ---- incoming --------------------------------------------------------------------------- */

LONG Exchange::Ring(DWORD line, const TAPISIM_CALLER& caller)
{
    std::lock_guard lock(m_mutex);
    if (line >= m_lines.size())
        return TAPISIM_E_BADLINE;
    if (LineBusyForCaller(line))
        return TAPISIM_E_BUSY;
    OfferCall(line, caller);
    return TAPISIM_OK;
}

Exchange::Call& Exchange::OfferCall(DWORD line, const TAPISIM_CALLER& caller)
{
    Call& call = NewIncomingCall(line, caller);
    if (!m_lines[line].activeCall)
        m_lines[line].activeCall = call.id; // otherwise the call waits
    SetState(call, LINECALLSTATE_OFFERING, 0);
    RingIncoming(call);
    return call;
}

Exchange::Call& Exchange::NewIncomingCall(DWORD line, const TAPISIM_CALLER& caller)
{
    Call& call = m_calls[m_nextCallId];
    call.id = m_nextCallId++;
    call.device = line;
    call.incoming = true;
    call.callerNumber = caller.number ? caller.number : "";
    call.callerName = caller.name ? caller.name : "";
    call.callerFlags = caller.flags;
    call.giveUpAfterRings = caller.giveUpAfterRings;
    call.hangUpAfterMs = caller.hangUpAfterMs;
    // The first opener that owns calls gets the call; the others monitor it.
    std::vector<std::pair<std::uint64_t, HLINE>> openers;
    for (const auto& [handle, open] : m_openLines)
        if (open.device == line && open.privileges != LINECALLPRIVILEGE_NONE)
            openers.emplace_back(open.order, handle);
    std::sort(openers.begin(), openers.end());
    bool owned = false;
    for (const auto& [order, handle] : openers) {
        const OpenLine& open = m_openLines.at(handle);
        DWORD privilege = 0;
        if (!owned && (open.privileges & LINECALLPRIVILEGE_OWNER))
            privilege = LINECALLPRIVILEGE_OWNER;
        else if (open.privileges & LINECALLPRIVILEGE_MONITOR)
            privilege = LINECALLPRIVILEGE_MONITOR;
        if (!privilege)
            continue;
        owned = owned || privilege == LINECALLPRIVILEGE_OWNER;
        const HCALL offered = AddCallHandle(call, handle, privilege);
        if (privilege == LINECALLPRIVILEGE_OWNER)
            call.appName = m_lineApps.at(open.app).name;
        PostLine(handle, handle, LINE_APPNEWCALL, 0, offered, privilege);
    }
    return call;
}

bool Exchange::HasOwner(DWORD line) const
{
    return std::any_of(m_openLines.begin(), m_openLines.end(), [line](const auto& entry) {
        return entry.second.device == line && (entry.second.privileges & LINECALLPRIVILEGE_OWNER);
    });
}

void Exchange::RingIncoming(Call& call)
{
    if (call.giveUpAfterRings && call.ringCount >= call.giveUpAfterRings) {
        DisconnectCall(call, LINEDISCONNECTMODE_NORMAL);
        return;
    }
    // A waiting call does not ring the line (the call-waiting tone announces it), but its rings
    // are counted for a caller who gives up.
    if (m_lines[call.device].activeCall == call.id)
        PostLineDevState(call.device, LINEDEVSTATE_RINGING, 1, call.ringCount);
    ++call.ringCount;
    Schedule(call, m_lines[call.device].config.ringPeriodMs, [this](Call& c) { RingIncoming(c); });
}

LONG Exchange::Answer(HCALL handle)
{
    std::lock_guard lock(m_mutex);
    const OwnedCall owned = FindOwnedCall(handle);
    if (owned.error)
        return owned.error;
    Call& call = *owned.call;
    if (!IsOffered(call) || call.pendingAnswer || !CanTakeLine(call))
        return LINEERR_INVALCALLSTATE;
    const DWORD request = NewRequest();
    const PendingRequest pending{ request, owned.entry->line };
    // Answering a waiting call puts the connected one on hold (LINEANSWERMODE_HOLD).
    TakeLine(call);
    if (call.state == LINECALLSTATE_OFFERING)
        SetState(call, LINECALLSTATE_ACCEPTED, 0);
    call.pendingAnswer = pending;
    if (call.sipCall)
        m_sip->Answer(call.sipCall); // completes when the 200 went out
    else
        Schedule(call, kAnswerMs, [this](Call& c) { CompleteAnswer(c); });
    return static_cast<LONG>(request);
}

void Exchange::CompleteAnswer(Call& call)
{
    const PendingRequest pending = *call.pendingAnswer;
    call.pendingAnswer.reset();
    SetState(call, LINECALLSTATE_CONNECTED, 0);
    PostReply(pending, 0);
}

/* ---- drop, deallocate ------------------------------------------------------------------- */

LONG Exchange::Drop(HCALL handle)
{
    std::lock_guard lock(m_mutex);
    const OwnedCall owned = FindOwnedCall(handle);
    if (owned.error)
        return owned.error;
    Call& call = *owned.call;
    if (call.state == LINECALLSTATE_IDLE || call.pendingDrop)
        return LINEERR_INVALCALLSTATE;
    const DWORD request = NewRequest();
    call.pendingDrop = PendingRequest{ request, owned.entry->line };
    // Digits or a tone being generated are sent completely before the line is released, so a
    // "beep and hang up" reaches the far end.
    if (!call.generation)
        FinishDrop(call);
    return static_cast<LONG>(request);
}

void Exchange::FinishDrop(Call& call)
{
    const PendingRequest pending = *call.pendingDrop;
    call.pendingDrop.reset();
    if (LineAudio* audio = AudioOf(call.device); audio && call.state == LINECALLSTATE_CONNECTED)
        audio->AppendLog("hang up");
    SetState(call, LINECALLSTATE_IDLE, 0);
    PostReply(pending, 0);
}

LONG Exchange::Deallocate(HCALL handle)
{
    std::lock_guard lock(m_mutex);
    const CallHandle* entry = FindCallHandle(handle);
    if (!entry)
        return LINEERR_INVALCALLHANDLE;
    Call& call = *FindCall(entry->callId);
    if (entry->privilege == LINECALLPRIVILEGE_OWNER && call.state != LINECALLSTATE_IDLE
        && CountOwners(call) == 1)
        return LINEERR_INVALCALLSTATE;
    std::erase(call.handles, handle);
    m_callHandles.erase(handle);
    CollectCall(call.id);
    return 0;
}

void Exchange::RemoveLineHandles(HLINE line)
{
    std::vector<HCALL> handles;
    for (const auto& [handle, entry] : m_callHandles)
        if (entry.line == line)
            handles.push_back(handle);
    for (HCALL handle : handles) {
        const CallHandle entry = m_callHandles.at(handle);
        Call& call = *FindCall(entry.callId);
        // Closing a line drops the calls that only it owned.
        if (entry.privilege == LINECALLPRIVILEGE_OWNER && call.state != LINECALLSTATE_IDLE
            && CountOwners(call) == 1) {
            call.pendingDrop.reset();
            call.pendingAnswer.reset();
            SetState(call, LINECALLSTATE_IDLE, 0);
        }
        std::erase(call.handles, handle);
        m_callHandles.erase(handle);
        CollectCall(call.id);
    }
}

/* ---- generation ------------------------------------------------------------------------- */

void Exchange::StartGeneration(Call& call, HCALL handle, DWORD lengthMs, const std::string& logLine)
{
    call.generation = Generation{ handle, ++m_generationIds };
    if (LineAudio* audio = AudioOf(call.device))
        audio->AppendLog(logLine);
    const std::uint64_t id = call.generation->id;
    Schedule(
        call, lengthMs,
        [this, id](Call& c) {
            if (c.generation && c.generation->id == id)
                EndGeneration(c, LINEGENERATETERM_DONE);
        },
        false);
}

void Exchange::EndGeneration(Call& call, DWORD reason)
{
    const Generation generation = *call.generation;
    call.generation.reset();
    if (reason == LINEGENERATETERM_CANCEL)
        if (LineAudio* audio = AudioOf(call.device))
            audio->CancelGeneration();
    if (const CallHandle* entry = FindCallHandle(generation.handle))
        PostLine(entry->line, generation.handle, LINE_GENERATE, reason, static_cast<DWORD>(ClockMs()), 0);
    if (call.pendingDrop && reason == LINEGENERATETERM_DONE)
        FinishDrop(call);
}

LONG Exchange::GenerateDigits(HCALL handle, DWORD mode, const char* digits, DWORD duration)
{
    std::lock_guard lock(m_mutex);
    const OwnedCall owned = FindOwnedCall(handle);
    if (owned.error)
        return owned.error;
    if (mode != LINEDIGITMODE_DTMF && mode != LINEDIGITMODE_PULSE)
        return LINEERR_INVALDIGITMODE;
    Call& call = *owned.call;
    if (call.state != LINECALLSTATE_CONNECTED || call.pendingDrop)
        return LINEERR_INVALCALLSTATE;
    if (!digits) { // no digits: cancel what is being generated
        if (call.generation)
            EndGeneration(call, LINEGENERATETERM_CANCEL);
        return 0;
    }
    const std::string text(digits, strnlen(digits, kMaxDigits + 1));
    if (text.empty() || text.size() > kMaxDigits
        || !std::all_of(text.begin(), text.end(), [&](char c) { return IsValidDigit(c, mode); }))
        return LINEERR_INVALDIGITS;
    if (call.generation)
        EndGeneration(call, LINEGENERATETERM_CANCEL);
    const DWORD digitMs = std::clamp(duration ? duration : kDefaultDigitMs, kMinDigitMs, kMaxDigitMs);
    LineAudio* audio = AudioOf(call.device);
    DWORD lengthMs = 0;
    std::string log;
    if (mode == LINEDIGITMODE_PULSE) {
        lengthMs = PulseLengthMs(text);
        log = "pulse " + text;
    } else {
        lengthMs = audio->QueueDigits(text, digitMs);
        log = text == "!" ? "flash" : "digits " + text;
    }
    StartGeneration(call, handle, lengthMs, log);
    return 0;
}

LONG Exchange::GenerateTone(
    HCALL handle, DWORD mode, DWORD duration, const std::vector<LINEGENERATETONE>& tones)
{
    std::lock_guard lock(m_mutex);
    const OwnedCall owned = FindOwnedCall(handle);
    if (owned.error)
        return owned.error;
    Call& call = *owned.call;
    if (call.state != LINECALLSTATE_CONNECTED || call.pendingDrop)
        return LINEERR_INVALCALLSTATE;
    if (mode == 0) { // cancels the tone being generated
        if (call.generation)
            EndGeneration(call, LINEGENERATETERM_CANCEL);
        return 0;
    }
    if (mode != LINETONEMODE_BEEP && mode != LINETONEMODE_BILLING && mode != LINETONEMODE_BUSY
        && mode != LINETONEMODE_RINGBACK && mode != LINETONEMODE_CUSTOM)
        return LINEERR_INVALTONEMODE;
    if (mode == LINETONEMODE_CUSTOM) {
        if (tones.empty() || tones.size() > 3)
            return LINEERR_INVALTONELIST;
        for (const auto& tone : tones)
            if (tone.dwFrequency > 4000)
                return LINEERR_INVALTONE;
    }
    if (call.generation)
        EndGeneration(call, LINEGENERATETERM_CANCEL);
    const DWORD lengthMs = std::min(duration ? duration : DefaultToneMs(mode), kMaxToneMs);
    AudioOf(call.device)->QueueTone(ToneForMode(mode, tones), lengthMs);
    StartGeneration(
        call, handle, lengthMs, std::string("tone ") + ToneModeName(mode) + " " + std::to_string(lengthMs));
    return 0;
}

/* ---- call information ------------------------------------------------------------------- */

DWORD Exchange::CallFeatures(const Call& call, DWORD privilege)
{
    if (privilege != LINECALLPRIVILEGE_OWNER || call.state == LINECALLSTATE_IDLE)
        return 0;
    if (IsOffered(call))
        return (CanTakeLine(call) ? LINECALLFEATURE_ANSWER : 0) | LINECALLFEATURE_DROP;
    const DWORD several = HoldFeatures(call) | ConsultationFeatures(call) | ConferenceFeatures(call);
    if (call.state == LINECALLSTATE_CONNECTED)
        return LINECALLFEATURE_DROP | LINECALLFEATURE_GENERATEDIGITS | LINECALLFEATURE_GENERATETONE
            | LINECALLFEATURE_SETTERMINAL | several;
    return LINECALLFEATURE_DROP | several;
}

template <typename Structure>
LONG Exchange::QueryCall(
    HCALL handle, Structure& out, void (Exchange::*fill)(const Call&, const CallHandle&, Structure&))
{
    std::lock_guard lock(m_mutex);
    const CallHandle* entry = FindCallHandle(handle);
    if (!entry)
        return LINEERR_INVALCALLHANDLE;
    if (out.dwTotalSize < sizeof(Structure))
        return LINEERR_STRUCTURETOOSMALL;
    (this->*fill)(*FindCall(entry->callId), *entry, out);
    return 0;
}

LONG Exchange::GetCallStatus(HCALL handle, LINECALLSTATUS& status)
{
    return QueryCall(handle, status, &Exchange::FillCallStatus);
}

LONG Exchange::GetCallInfo(HCALL handle, LINECALLINFO& info)
{
    return QueryCall(handle, info, &Exchange::FillCallInfo);
}

void Exchange::FillCallStatus(const Call& call, const CallHandle& handle, LINECALLSTATUS& status)
{
    VarStruct var(&status, sizeof(LINECALLSTATUS));
    status.dwCallState = call.state;
    status.dwCallStateMode = call.stateMode;
    status.dwCallPrivilege = handle.privilege;
    status.dwCallFeatures = CallFeatures(call, handle.privilege);
    status.tStateEntryTime = WallTime(call.stateEntered);
}

void Exchange::FillTransferredBy(const Call& call, LINECALLINFO& info, VarStruct& var)
{
    // A simulated far end's transfer names the party that handed us on by its number.
    info.dwRedirectingIDFlags
        = call.redirectingNumber.empty() ? LINECALLPARTYID_UNKNOWN : LINECALLPARTYID_ADDRESS;
    var.AddText(call.redirectingNumber, info.dwRedirectingIDSize, info.dwRedirectingIDOffset);
    if (!call.referred)
        return;
    info.dwReason = LINECALLREASON_TRANSFER;
    const DWORD flags = (call.referredByNumber.empty() ? 0 : LINECALLPARTYID_ADDRESS)
        | (call.referredByName.empty() ? 0 : LINECALLPARTYID_NAME);
    if (!flags)
        return;
    info.dwRedirectingIDFlags = flags;
    var.AddText(call.referredByNumber, info.dwRedirectingIDSize, info.dwRedirectingIDOffset);
    var.AddText(call.referredByName, info.dwRedirectingIDNameSize, info.dwRedirectingIDNameOffset);
}

void Exchange::FillCallInfo(const Call& call, const CallHandle& handle, LINECALLINFO& info)
{
    VarStruct var(&info, sizeof(LINECALLINFO));
    info.hLine = handle.line;
    info.dwLineDeviceID = call.device;
    info.dwBearerMode = call.text.bearerMode;
    info.dwRate = m_lines[call.device].config.kind == LineKind::Analog ? 3100 : 64000;
    info.dwMediaMode = call.text.mediaMode;
    info.dwCallID = call.id;
    info.dwCallStates = 0xFFFF;
    info.dwOrigin = call.isConference ? LINECALLORIGIN_CONFERENCE
        : call.incoming               ? LINECALLORIGIN_EXTERNAL
                                      : LINECALLORIGIN_OUTBOUND;
    info.dwReason = call.pickedUp ? LINECALLREASON_PICKUP : LINECALLREASON_DIRECT;
    info.dwNumOwners = CountOwners(call);
    info.dwNumMonitors = static_cast<DWORD>(call.handles.size()) - info.dwNumOwners;
    if (call.incoming) {
        if (call.callerFlags & TAPISIM_CALLER_BLOCKED)
            info.dwCallerIDFlags = LINECALLPARTYID_BLOCKED;
        else if (call.callerFlags & TAPISIM_CALLER_OUTOFAREA)
            info.dwCallerIDFlags = LINECALLPARTYID_OUTOFAREA;
        else
            info.dwCallerIDFlags = (call.callerName.empty() ? 0 : LINECALLPARTYID_NAME)
                | (call.callerNumber.empty() ? 0 : LINECALLPARTYID_ADDRESS);
        if (!info.dwCallerIDFlags)
            info.dwCallerIDFlags = LINECALLPARTYID_UNKNOWN;
        if (info.dwCallerIDFlags & LINECALLPARTYID_ADDRESS)
            var.AddText(call.callerNumber, info.dwCallerIDSize, info.dwCallerIDOffset);
        if (info.dwCallerIDFlags & LINECALLPARTYID_NAME)
            var.AddText(call.callerName, info.dwCallerIDNameSize, info.dwCallerIDNameOffset);
        info.dwCalledIDFlags = LINECALLPARTYID_UNKNOWN;
        info.dwConnectedIDFlags = LINECALLPARTYID_UNKNOWN;
    } else {
        info.dwCallerIDFlags = LINECALLPARTYID_UNKNOWN;
        info.dwCalledIDFlags
            = LINECALLPARTYID_ADDRESS | (call.text.calledParty.empty() ? 0 : LINECALLPARTYID_NAME);
        var.AddText(call.dialled, info.dwCalledIDSize, info.dwCalledIDOffset);
        var.AddText(call.text.calledParty, info.dwCalledIDNameSize, info.dwCalledIDNameOffset);
        const bool connected = call.state == LINECALLSTATE_CONNECTED;
        info.dwConnectedIDFlags = connected ? LINECALLPARTYID_ADDRESS : LINECALLPARTYID_UNKNOWN;
        if (connected && call.connectedNumber.empty())
            var.AddText(call.dialled, info.dwConnectedIDSize, info.dwConnectedIDOffset);
    }
    // A far end that transferred the call is the redirecting party; the one it handed the call
    // to is connected.
    if (!call.connectedNumber.empty()) {
        info.dwConnectedIDFlags = LINECALLPARTYID_ADDRESS;
        var.AddText(call.connectedNumber, info.dwConnectedIDSize, info.dwConnectedIDOffset);
    }
    info.dwRedirectionIDFlags = LINECALLPARTYID_UNKNOWN;
    FillTransferredBy(call, info, var);
    var.AddText(call.appName, info.dwAppNameSize, info.dwAppNameOffset);
    var.AddText(call.text.displayable, info.dwDisplayableAddressSize, info.dwDisplayableAddressOffset);
    var.AddText(call.text.calledParty, info.dwCalledPartySize, info.dwCalledPartyOffset);
    var.AddText(call.text.comment, info.dwCommentSize, info.dwCommentOffset);
}

} // namespace tapi
