#include "exchange.h"

#include "sip_parse.h"

#include <cstdlib>

// The exchange's side of the SIP lines: calls placed, answered and ended through the SIP service,
// and what the service reports (registration, progress, answers, far-end hang-ups), all turned
// into the same call states and messages as on a simulated line.

namespace tapi {

namespace {

std::string DefaultPasswordFile(const std::string& lineName)
{
    std::string folder;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        folder = config;
    else if (const char* home = std::getenv("HOME"); home && *home)
        folder = std::string(home) + "/.config";
    return folder + "/kestrium/" + lineName + ".password";
}

struct FailureState {
    DWORD state;
    DWORD mode;
};

// A final answer to our INVITE as the call state the program knows.
FailureState StateForFailure(int code)
{
    switch (code) {
    case 486:
    case 600:
        return { LINECALLSTATE_BUSY, LINEBUSYMODE_STATION };
    case 404:
    case 484:
    case 604:
        return { LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_BADADDRESS };
    case 408:
    case 480:
        return { LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NOANSWER };
    case 403:
    case 603:
        return { LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_REJECT };
    case 410:
        return { LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NUMBERCHANGED };
    case 488:
    case 606:
        return { LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_INCOMPATIBLE };
    case 502:
    case 503:
        return { LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_CONGESTION };
    case 0: // no answer at all: the far end or the network cannot be reached
        return { LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNREACHABLE };
    default:
        return { LINECALLSTATE_DISCONNECTED,
            code >= 500 ? DWORD(LINEDISCONNECTMODE_TEMPFAILURE) : DWORD(LINEDISCONNECTMODE_UNAVAIL) };
    }
}

// Why an incoming call was turned away, as the disconnect mode of its call.
DWORD DisconnectModeForRefusal(int code)
{
    switch (code) {
    case 486:
        return LINEDISCONNECTMODE_BUSY;
    case 488:
        return LINEDISCONNECTMODE_INCOMPATIBLE;
    default:
        return LINEDISCONNECTMODE_UNAVAIL;
    }
}

// The caller of a SIP event; its texts live as long as the event.
TAPISIM_CALLER CallerOf(const SipEvent& event)
{
    TAPISIM_CALLER caller{};
    caller.number = event.number.c_str();
    caller.name = event.name.c_str();
    caller.flags = event.blocked ? TAPISIM_CALLER_BLOCKED : 0;
    return caller;
}

} // namespace

bool Exchange::IsSipLine(DWORD line) const
{
    return line < m_lines.size() && m_lines[line].config.kind == LineKind::Sip;
}

void Exchange::StartSipLines()
{
    std::vector<SipService::LineSetup> setups;
    for (DWORD i = 0; i < m_lines.size(); ++i) {
        Line& line = m_lines[i];
        if (line.config.kind != LineKind::Sip)
            continue;
        SipAccount account = line.config.sip;
        if (account.passwordFile.empty())
            account.passwordFile = DefaultPasswordFile(line.config.name);
        line.inService = !account.registers;
        line.serviceText = account.registers ? "registering" : "registration off";
        setups.push_back({ i, line.config.name, std::move(account), line.audio });
    }
    if (!setups.empty())
        m_sip = std::make_unique<SipService>(std::move(setups), [this] { m_clockWake.Raise(); });
    UpdateSipOwners();
    SendWatchLists();
}

void Exchange::TakeSipEvents()
{
    if (!m_sip)
        return;
    for (const SipEvent& event : m_sip->TakeEvents())
        OnSipEvent(event);
}

Exchange::Call* Exchange::FindSipCall(std::uint64_t sipCall)
{
    for (auto& [id, call] : m_calls)
        if (call.sipCall == sipCall && call.state != LINECALLSTATE_IDLE)
            return &call;
    return nullptr;
}

void Exchange::SetInService(DWORD line, bool inService, const std::string& text)
{
    Line& entry = m_lines[line];
    const bool textChanged = entry.serviceText != text;
    entry.serviceText = text;
    if (entry.inService != inService) {
        entry.inService = inService;
        PostLineDevState(line, inService ? LINEDEVSTATE_INSERVICE : LINEDEVSTATE_OUTOFSERVICE, 0, 0);
    } else if (textChanged) {
        // Still out of service, for another reason (or registered again): the state's words changed.
        PostLineDevState(line, LINEDEVSTATE_DEVSPECIFIC, 0, 0);
    }
}

void Exchange::PlaceSipCall(Call& call, const std::string& target)
{
    call.sipCall = m_nextSipCall++;
    SetState(call, LINECALLSTATE_DIALING, 0);
    m_sip->Dial(call.device, call.sipCall, target);
    // The exchange gives up ringing after the no-answer time, whatever state the far end reported.
    Schedule(
        call, NoAnswerMs(call),
        [this](Call& c) {
            if (c.state == LINECALLSTATE_DIALING || c.state == LINECALLSTATE_PROCEEDING
                || c.state == LINECALLSTATE_RINGBACK)
                DisconnectCall(c, LINEDISCONNECTMODE_NOANSWER);
        },
        false);
}

void Exchange::UpdateSipOwners()
{
    DropUnwatchedLists();
    if (!m_sip)
        return;
    for (DWORD line = 0; line < m_lines.size(); ++line)
        if (IsSipLine(line))
            m_sip->SetOwned(line, HasOwner(line));
}

void Exchange::OnSipIncoming(const SipEvent& event)
{
    if (event.replaces && IsSipLine(event.line)) {
        ConnectReplacement(event);
        return;
    }
    if (!IsSipLine(event.line) || LineBusyForCaller(event.line)) {
        m_sip->Hangup(event.call); // 486 Busy Here
        SipEvent refused = event;
        refused.code = 486;
        OnSipRefused(refused);
        return;
    }
    TAPISIM_CALLER caller = CallerOf(event);
    Call& call = OfferCall(event.line, caller);
    call.sipCall = event.call;
}

// A caller the SIP line turned away reaches the owner of the line as a call offered and at once
// disconnected, without a ring: the program logs it as missed and nothing rings or pops up.
void Exchange::OnSipRefused(const SipEvent& event)
{
    if (!IsSipLine(event.line) || !HasOwner(event.line))
        return;
    TAPISIM_CALLER caller = CallerOf(event);
    caller.flags |= TAPISIM_CALLER_DISCONNECTS; // stays DISCONNECTED until the program drops it
    Call& call = NewIncomingCall(event.line, caller);
    SetState(call, LINECALLSTATE_OFFERING, 0);
    DisconnectCall(call, DisconnectModeForRefusal(event.code));
}

// The far end handed its side of our call to someone else, who now talks to us on a new dialog:
// the old call ended (the SIP line reported it first), the new one is connected without ringing.
void Exchange::ConnectReplacement(const SipEvent& event)
{
    TAPISIM_CALLER caller = CallerOf(event);
    Call& call = NewIncomingCall(event.line, caller);
    call.sipCall = event.call;
    m_lines[event.line].activeCall = call.id;
    ConnectCall(call);
}

// The new call reaches the program as a call made at the line (LINE_APPNEWCALL to its owner),
// dialling; the SIP line reports its progress as for any call we place.
void Exchange::PlaceReferredCall(const SipEvent& event)
{
    Call* original = FindSipCall(event.replaces);
    if (!original || !IsSipLine(event.line)) {
        m_sip->Hangup(event.call);
        return;
    }
    const std::string appName = original->appName;
    Call& call = NewIncomingCall(event.line, TAPISIM_CALLER{});
    call.incoming = false;
    call.dialled = event.number;
    call.text.displayable = event.number;
    call.text.calledParty = event.name;
    call.appName = appName;
    call.referred = true;
    call.referredByNumber = event.referredByNumber;
    call.referredByName = event.referredByName;
    call.sipCall = event.call;
    if (LineAudio* audio = AudioOf(call.device))
        audio->AppendLog("far end transferred us to " + event.number);
    SetState(call, LINECALLSTATE_DIALING, 0);
}

void Exchange::OnSipFailure(Call& call, const SipEvent& event)
{
    if (call.state == LINECALLSTATE_IDLE || call.state == LINECALLSTATE_DISCONNECTED)
        return;
    if (!event.text.empty())
        if (LineAudio* audio = AudioOf(call.device))
            audio->AppendLog("call failed: " + event.text);
    const FailureState failure = StateForFailure(event.code);
    if (failure.state == LINECALLSTATE_BUSY)
        EnterBusy(call);
    else
        DisconnectCall(call, failure.mode);
}

void Exchange::OnSipEvent(const SipEvent& event)
{
    if (event.kind == SipEvent::Kind::Registration) {
        if (IsSipLine(event.line))
            SetInService(event.line, event.registered, event.text);
        return;
    }
    if (event.kind == SipEvent::Kind::Incoming) {
        OnSipIncoming(event);
        return;
    }
    if (event.kind == SipEvent::Kind::Refused) {
        OnSipRefused(event);
        return;
    }
    if (event.kind == SipEvent::Kind::Referred) {
        PlaceReferredCall(event);
        return;
    }
    if (event.kind == SipEvent::Kind::Watched) {
        OnSipWatched(event);
        return;
    }
    if (OnSipPickupEvent(event))
        return;
    Call* call = FindSipCall(event.call);
    if (!call)
        return;
    const DWORD id = call->id;
    switch (event.kind) {
    case SipEvent::Kind::Progress:
        if (call->incoming)
            break;
        if (event.ringing && call->state != LINECALLSTATE_RINGBACK)
            SetState(*call, LINECALLSTATE_RINGBACK, 0);
        else if (!event.ringing && call->state == LINECALLSTATE_DIALING)
            SetState(*call, LINECALLSTATE_PROCEEDING, 0);
        break;
    case SipEvent::Kind::Answered:
        // Our call was picked up at the far end: another party answered it.
        if (!event.number.empty())
            call->connectedNumber = event.number;
        TakeSipMedia(*call, event);
        // The party the far end handed us to takes the line over from the call that was handed
        // on (already ended, or ending now): its audio is the line's.
        if (call->referred)
            m_lines[call->device].activeCall = call->id;
        if (call->pendingAnswer)
            CompleteAnswer(*call);
        else if (call->state != LINECALLSTATE_CONNECTED)
            ConnectCall(*call);
        break;
    case SipEvent::Kind::Failed:
        OnSipFailure(*call, event);
        break;
    case SipEvent::Kind::Transferred:
        OnSipTransferred(*call, event);
        break;
    case SipEvent::Kind::HoldAnswered:
        OnSipHoldAnswered(*call, event);
        break;
    case SipEvent::Kind::Ended:
        if (LineAudio* audio = AudioOf(call->device); audio && call->state == LINECALLSTATE_CONNECTED)
            audio->AppendLog(event.replaced ? "far end handed the call over"
                    : event.timedOut        ? "far end went silent"
                                            : "far end hung up");
        DisconnectCall(*call, event.timedOut ? LINEDISCONNECTMODE_UNREACHABLE : LINEDISCONNECTMODE_NORMAL);
        break;
    default:
        break;
    }
    CollectCall(id);
}

} // namespace tapi
