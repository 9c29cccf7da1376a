#include "exchange.h"

#include <utility>
#include <vector>

// Three-way conferences on the simulated voice lines and SIP lines. A conference call (its own handle) joins
// up to two far ends and us; the exchange mixes the audio so that each party hears the other two
// (LineAudio). lineSetupConferenceA conferences a connected call at once and opens a
// consultation call (a SIP call on a SIP line, each party's audio its own); lineAddToConference (or
// lineCompleteTransfer in conference mode) brings the consulted party in. A removed party is held; the
// conference ends with its last party.
//
// A party may be a call of another voice line that the same application owns (a SIP call joining a
// conference on an analog line, or the other way round): it stays a call of its own line, and its
// far end is mixed on the conference's line, whose devices carry our side of the conference.

namespace tapi {

Exchange::Call& Exchange::NewConferenceCall(const Call& from, HLINE line)
{
    Call& conference = m_calls[m_nextCallId];
    conference.id = m_nextCallId++;
    conference.device = from.device;
    conference.isConference = true;
    conference.appName = from.appName;
    AddCallHandle(conference, line, LINECALLPRIVILEGE_OWNER);
    return conference;
}

void Exchange::JoinConference(Call& conference, Call& party)
{
    conference.parties.push_back(party.id);
    party.conference = conference.id;
    party.consultFor = 0;
    const bool otherLine = party.device != conference.device;
    if (m_lines[party.device].activeCall == party.id) {
        if (otherLine)
            ReleaseLine(party.device); // a caller waiting there may have that line now
        else
            m_lines[party.device].activeCall = 0;
    }
    if (otherLine)
        if (LineAudio* audio = AudioOf(conference.device))
            audio->SetCallLink(party.id, PartyLink(party));
    SendSipHold(party, false); // a party we held talks again
    SetState(party, LINECALLSTATE_CONFERENCED, 0);
}

std::shared_ptr<AudioLink> Exchange::PartyLink(const Call& party)
{
    if (party.sipCall)
        return party.sipMedia;
    return LineAudio::FarEndLink(m_lines[party.device].audio, party.id);
}

void Exchange::UnlinkParty(const Call& conference, const Call& party)
{
    if (party.device == conference.device)
        return;
    if (LineAudio* audio = AudioOf(conference.device))
        audio->SetCallLink(party.id, nullptr);
}

HLINEAPP Exchange::AppOfLine(HLINE line)
{
    const OpenLine* open = FindLine(line);
    return open ? open->app : 0;
}

HLINEAPP Exchange::OwnerApp(const Call& call)
{
    for (HCALL handle : call.handles)
        if (const CallHandle* entry = FindCallHandle(handle);
            entry && entry->privilege == LINECALLPRIVILEGE_OWNER)
            return AppOfLine(entry->line);
    return 0;
}

DWORD_PTR Exchange::CallStateParam(const Call& call, const CallHandle& handle)
{
    if (call.state != LINECALLSTATE_CONFERENCED)
        return call.stateMode;
    // The application learns which conference the call joined through its own handle of it, which
    // is a handle of another line when the conference is on another line.
    const HLINEAPP app = AppOfLine(handle.line);
    if (const Call* conference = FindCall(call.conference))
        for (HCALL confHandle : conference->handles)
            if (const CallHandle* entry = FindCallHandle(confHandle); entry && AppOfLine(entry->line) == app)
                return confHandle;
    return 0;
}

DWORD Exchange::ConferenceFeatures(const Call& call)
{
    if (call.state == LINECALLSTATE_CONFERENCED)
        return LINECALLFEATURE_REMOVEFROMCONF;
    if (!call.isConference || call.state != LINECALLSTATE_ONHOLDPENDCONF)
        return 0;
    // The consulted party once connected, or a call the conference's owner holds (on any voice
    // line) or talks on (on another line).
    const HLINEAPP app = OwnerApp(call);
    for (const auto& [id, other] : m_calls)
        if (JoinsConference(other) && OwnerApp(other) == app)
            return LINECALLFEATURE_ADDTOCONF;
    return 0;
}

bool Exchange::JoinsConference(const Call& party) const
{
    if (party.isConference || party.conference || !CarriesSeveralCalls(party.device) || party.sipHold
        || party.pendingTransfer)
        return false;
    // On the conference's own line the only connected call is the consultation call.
    return party.state == LINECALLSTATE_CONNECTED || JoinsHeld(party);
}

// A call we hold may join a conference being set up in place of the consulted party, as TAPI
// allows for lineAddToConference.
bool Exchange::JoinsHeld(const Call& call)
{
    return call.state == LINECALLSTATE_ONHOLD && !call.conference && !call.isConference;
}

LONG Exchange::SetupConference(HCALL handle, HLINE line, HCALL* confOut, HCALL* consultOut, DWORD numParties)
{
    std::lock_guard lock(m_mutex);
    if (!handle) // a conference starts from a connected call here
        return FindLine(line) ? LINEERR_OPERATIONUNAVAIL : LINEERR_INVALLINEHANDLE;
    const OwnedCall owned = FindOwnedCall(handle);
    if (owned.error)
        return owned.error;
    Call& call = *owned.call;
    if (!CarriesSeveralCalls(call.device))
        return LINEERR_OPERATIONUNAVAIL;
    if (numParties > kConferenceParties)
        return LINEERR_CONFERENCEFULL;
    if (!Holdable(call) || call.conference || call.isConference)
        return LINEERR_INVALCALLSTATE;
    // The conference call and the consultation call both take a place on the line.
    if (CallsOnLine(call.device).size() + 2 > kMaxCallsPerLine)
        return LINEERR_CALLUNAVAIL;
    const DWORD request = NewRequest();
    Call& conference = NewConferenceCall(call, owned.entry->line);
    Call& consult = NewConsultationCall(conference, owned.entry->line);
    PostReplyWithCalls(owned.entry->line, request, { confOut, conference.handles.front() },
        { consultOut, consult.handles.front() });
    JoinConference(conference, call);
    SetState(conference, LINECALLSTATE_ONHOLDPENDCONF, 0);
    m_lines[call.device].activeCall = consult.id;
    SetState(consult, LINECALLSTATE_DIALTONE, LINEDIALTONEMODE_NORMAL);
    return static_cast<LONG>(request);
}

LONG Exchange::AddToConference(HCALL confHandle, HCALL consultHandle)
{
    std::lock_guard lock(m_mutex);
    const OwnedCall owned = FindOwnedCall(confHandle);
    if (owned.error || !owned.call->isConference)
        return owned.error && owned.error != LINEERR_INVALCALLHANDLE ? owned.error
                                                                     : LINEERR_INVALCONFCALLHANDLE;
    const OwnedCall consult = FindOwnedCall(consultHandle);
    if (consult.error)
        return consult.error == LINEERR_INVALCALLHANDLE ? LINEERR_INVALCONSULTCALLHANDLE : consult.error;
    Call& conference = *owned.call;
    Call& party = *consult.call;
    // A call of another line joins when the same application owns it (see docs/telephony.md).
    if (party.isConference || party.conference || !CarriesSeveralCalls(party.device)
        || AppOfLine(consult.entry->line) != AppOfLine(owned.entry->line))
        return LINEERR_INVALCONSULTCALLHANDLE;
    if (conference.parties.size() + 1 >= kConferenceParties)
        return LINEERR_CONFERENCEFULL;
    if (conference.state != LINECALLSTATE_ONHOLDPENDCONF || !JoinsConference(party))
        return LINEERR_INVALCALLSTATE;
    const DWORD request = NewRequest();
    PostReply(PendingRequest{ request, owned.entry->line }, 0);
    JoinConference(conference, party);
    m_lines[conference.device].activeCall = conference.id;
    SetState(conference, LINECALLSTATE_CONNECTED, 0);
    return static_cast<LONG>(request);
}

// The conference takes the line of the connected call, whose devices we talk on; the held call of
// the other line joins it from there.
LONG Exchange::ConferenceAcrossLines(const OwnedCall& held, const OwnedCall& connected, HCALL* confOut)
{
    Call& first = *held.call;
    Call& talking = *connected.call;
    if (!CarriesSeveralCalls(first.device) || !CarriesSeveralCalls(talking.device)
        || AppOfLine(held.entry->line) != AppOfLine(connected.entry->line))
        return LINEERR_INVALCONSULTCALLHANDLE;
    const bool firstHeld
        = first.state == LINECALLSTATE_ONHOLD || first.state == LINECALLSTATE_ONHOLDPENDTRANSFER;
    if (!firstHeld || first.conference || first.sipHold || first.pendingTransfer
        || talking.state != LINECALLSTATE_CONNECTED || !JoinsConference(talking)
        || m_lines[talking.device].activeCall != talking.id)
        return LINEERR_INVALCALLSTATE;
    const DWORD request = NewRequest();
    Call& conference = NewConferenceCall(talking, connected.entry->line);
    PostReplyWithCalls(held.entry->line, request, { confOut, conference.handles.front() });
    JoinConference(conference, first);
    JoinConference(conference, talking);
    m_lines[talking.device].activeCall = conference.id;
    SetState(conference, LINECALLSTATE_CONNECTED, 0);
    return static_cast<LONG>(request);
}

LONG Exchange::RemoveFromConference(HCALL handle)
{
    std::lock_guard lock(m_mutex);
    const OwnedCall owned = FindOwnedCall(handle);
    if (owned.error)
        return owned.error;
    Call& party = *owned.call;
    if (party.state != LINECALLSTATE_CONFERENCED)
        return LINEERR_INVALCALLSTATE;
    const DWORD request = NewRequest();
    PostReply(PendingRequest{ request, owned.entry->line }, 0);
    LeaveConference(party);
    PutOnHold(party);
    return static_cast<LONG>(request);
}

void Exchange::LeaveConference(Call& call)
{
    if (call.isConference) {
        // The conference call ended (dropped): its parties end with it.
        if (call.state != LINECALLSTATE_IDLE)
            return;
        const std::vector<DWORD> parties = std::exchange(call.parties, {});
        for (DWORD id : parties)
            if (Call* party = FindCall(id); party && party->conference == call.id) {
                party->conference = 0;
                UnlinkParty(call, *party);
                if (party->state == LINECALLSTATE_CONFERENCED)
                    SetState(*party, LINECALLSTATE_IDLE, 0);
            }
        if (Call* consult = ConsultationOf(call))
            consult->consultFor = 0;
        return;
    }
    if (call.conference) {
        Call* conference = FindCall(call.conference);
        call.conference = 0;
        if (!conference)
            return;
        std::erase(conference->parties, call.id);
        UnlinkParty(*conference, call);
        if (conference->parties.empty() && conference->state != LINECALLSTATE_IDLE)
            SetState(*conference, LINECALLSTATE_IDLE, 0);
        else
            RefreshLineAudio(conference->device);
        return;
    }
    Call* from = call.consultFor ? FindCall(call.consultFor) : nullptr;
    call.consultFor = 0;
    if (!from || !from->isConference || from->state != LINECALLSTATE_ONHOLDPENDCONF)
        return;
    // The consultation call of a conference being set up ended: the setup is cancelled, the
    // first party waits on hold to be taken back.
    const std::vector<DWORD> parties = std::exchange(from->parties, {});
    for (DWORD id : parties)
        if (Call* party = FindCall(id); party && party->state == LINECALLSTATE_CONFERENCED) {
            party->conference = 0;
            UnlinkParty(*from, *party);
            PutOnHold(*party);
        }
    SetState(*from, LINECALLSTATE_IDLE, 0);
}

std::vector<DWORD> Exchange::FarEndsHeard(DWORD device)
{
    const Call* active = ActiveCall(device);
    if (!active || active->state != LINECALLSTATE_CONNECTED)
        return {};
    if (!active->isConference)
        return { active->id };
    std::vector<DWORD> parties;
    for (DWORD id : active->parties)
        if (const Call* party = FindCall(id); party && party->state == LINECALLSTATE_CONFERENCED)
            parties.push_back(id);
    return parties;
}

} // namespace tapi
