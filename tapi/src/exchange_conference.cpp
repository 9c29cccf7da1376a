#include "exchange.h"

#include <algorithm>

// Three-way conferences on the simulated voice lines and SIP lines. A conference call (its own handle) joins
// up to two far ends and us; the exchange mixes the audio so that each party hears the other two
// (LineAudio). lineSetupConferenceA conferences a connected call at once and opens a
// consultation call (a SIP call on a SIP line, each party's audio its own); lineAddToConference (or
// lineCompleteTransfer in conference mode) brings the consulted party in. A removed party is held; the
// conference ends with its last party.

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
    if (m_lines[party.device].activeCall == party.id)
        m_lines[party.device].activeCall = 0;
    SetState(party, LINECALLSTATE_CONFERENCED, 0);
}

DWORD_PTR Exchange::CallStateParam(const Call& call, const CallHandle& handle)
{
    if (call.state != LINECALLSTATE_CONFERENCED)
        return call.stateMode;
    // The application learns which conference the call joined through its own handle of it.
    if (const Call* conference = FindCall(call.conference))
        for (HCALL confHandle : conference->handles)
            if (const CallHandle* entry = FindCallHandle(confHandle); entry && entry->line == handle.line)
                return confHandle;
    return 0;
}

DWORD Exchange::ConferenceFeatures(const Call& call)
{
    if (call.state == LINECALLSTATE_CONFERENCED)
        return LINECALLFEATURE_REMOVEFROMCONF;
    if (!call.isConference || call.state != LINECALLSTATE_ONHOLDPENDCONF)
        return 0;
    const Call* consult = ConsultationOf(call);
    if (consult && consult->state == LINECALLSTATE_CONNECTED)
        return LINECALLFEATURE_ADDTOCONF;
    const std::vector<Call*> calls = CallsOnLine(call.device);
    return std::any_of(calls.begin(), calls.end(), [](const Call* other) { return JoinsHeld(*other); })
        ? LINECALLFEATURE_ADDTOCONF
        : 0;
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
    if (party.device != conference.device || party.isConference || party.conference)
        return LINEERR_INVALCONSULTCALLHANDLE;
    if (conference.parties.size() + 1 >= kConferenceParties)
        return LINEERR_CONFERENCEFULL;
    if (conference.state != LINECALLSTATE_ONHOLDPENDCONF
        || (party.state != LINECALLSTATE_CONNECTED && !JoinsHeld(party)))
        return LINEERR_INVALCALLSTATE;
    const DWORD request = NewRequest();
    PostReply(PendingRequest{ request, owned.entry->line }, 0);
    JoinConference(conference, party);
    m_lines[conference.device].activeCall = conference.id;
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
        if (conference->parties.empty() && conference->state != LINECALLSTATE_IDLE)
            SetState(*conference, LINECALLSTATE_IDLE, 0);
        else
            RefreshLineAudio(call.device);
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
