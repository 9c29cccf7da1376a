// Line slot: consultation transfer and three-way conference. The user consults a new party on a
// consultation call while the first call waits; completing hands the first call over (transfer)
// or joins the three (conference), dropping the consultation call gives the first call back.
#include "telephony/line_slot.h"

#include "settings/prompter.h"
#include "telephony/call_snapshot.h"
#include "telephony/line_manager.h"
#include "telephony/tapi_binding.h"
#include "telephony/tapi_block.h"

#include <QCoreApplication>

namespace {

constexpr DWORD kConferenceParties = 3;
constexpr const char* kMessageTitle = "Kestrium";

} // namespace

DWORD LineSlot::CallState(HCALL call)
{
    TapiBlock<LINECALLSTATUS> status(CallSnapshot::kStatusSize);
    return call != 0 && Tapi().lineGetCallStatus(call, status.Get()) == 0 ? status->dwCallState : 0;
}

LONG LineSlot::StartTransfer(HCALL call, std::string_view destination)
{
    if (IndexOfCall(call) < 0)
        return LINEERR_INVALCALLHANDLE;
    if (HasConsultation())
        return LINEERR_INVALCALLSTATE;
    m_consultation = Consultation{ false, false, call, 0, 0, 0, std::string(destination), 0 };
    const LONG result = Tapi().lineSetupTransferA(call, &m_consultation.consult, nullptr);
    if (result > 0)
        m_consultation.request = result;
    else
        m_consultation = {};
    return result;
}

LONG LineSlot::StartConference(HCALL call, std::string_view destination, HCALL heldParty)
{
    if (IndexOfCall(call) < 0)
        return LINEERR_INVALCALLHANDLE;
    if (HasConsultation())
        return LINEERR_INVALCALLSTATE;
    m_consultation = Consultation{ true, false, call, 0, 0, heldParty, std::string(destination), 0 };
    const LONG result = Tapi().lineSetupConferenceA(
        call, m_line, &m_consultation.conferenceCall, &m_consultation.consult, kConferenceParties, nullptr);
    if (result > 0)
        m_consultation.request = result;
    else
        m_consultation = {};
    return result;
}

// The new calls are known once the setup completes: the consultation call then dials, or the
// held party joins the conference in its place and the consultation call is not needed.
bool LineSlot::OnConsultationReply(LONG requestId, LONG result)
{
    Consultation& consultation = m_consultation;
    if (requestId <= 0 || requestId != consultation.request)
        return false;
    consultation.request = 0;
    const bool conference = consultation.conference;
    if (result < 0) {
        consultation = {};
        ShowConsultationFailure(conference);
        return true;
    }
    AddNewCall(consultation.conferenceCall);
    if (consultation.joining)
        return true;
    AddNewCall(consultation.consult);
    const HCALL consult = consultation.consult;
    const LONG next = consultation.heldParty != 0
        ? Tapi().lineAddToConference(consultation.conferenceCall, consultation.heldParty)
        : Tapi().lineDialA(consult, consultation.destination.c_str(), 0);
    // Dropping the consultation call cancels a setup that failed, and is all that is left to do
    // once the held party has joined.
    if (next < 0 || consultation.heldParty != 0)
        Tapi().lineDrop(consult, nullptr, 0);
    if (next < 0)
        ShowConsultationFailure(conference);
    return true;
}

// The consultation ends with its consultation call or its first call. A transfer not completed,
// or a conference not joined, gives the user the first call back.
void LineSlot::FollowConsultation(HCALL call, DWORD state)
{
    Consultation& consultation = m_consultation;
    if (!HasConsultation() || consultation.request != 0)
        return;
    // A conference that connected, or a first call taken back (Hold) while the consultation call
    // goes on as an ordinary call, ends the consultation.
    const bool joined = call == consultation.conferenceCall && state == LINECALLSTATE_CONNECTED;
    if (joined || (call == consultation.first && state == LINECALLSTATE_CONNECTED)) {
        consultation = {};
        return;
    }
    if (state != LINECALLSTATE_IDLE || (call != consultation.consult && call != consultation.first))
        return;
    const HCALL first = consultation.first;
    consultation = {};
    if (call != first && CallText::IsHeldState(CallState(first)))
        Tapi().lineUnhold(first);
}

bool LineSlot::IsConsultationCall(HCALL call) const
{
    const Consultation& consultation = m_consultation;
    return call != 0
        && (call == consultation.first || call == consultation.consult
            || call == consultation.conferenceCall);
}

HCALL LineSlot::ActingCall(HCALL call) const
{
    if (!IsConsultationCall(call))
        return call;
    return m_consultation.conference ? m_consultation.conferenceCall : m_consultation.first;
}

bool LineSlot::IsConsultationAnchor(HCALL call) const
{
    return IsConsultationCall(call) && ActingCall(call) == call;
}

// A transfer joins as a conference once the consulted party answered.
bool LineSlot::CanJoinConsultation()
{
    if (!CanCompleteConsultation())
        return false;
    return m_consultation.conference || CallState(m_consultation.consult) == LINECALLSTATE_CONNECTED;
}

bool LineSlot::CanCompleteConsultation()
{
    if (!HasConsultation() || m_consultation.request != 0)
        return false;
    if (m_consultation.conference)
        return (CallFeatures(m_consultation.conferenceCall) & LINECALLFEATURE_ADDTOCONF) != 0;
    return (CallFeatures(m_consultation.first) & LINECALLFEATURE_COMPLETETRANSF) != 0;
}

LONG LineSlot::CompleteTransfer(bool asConference)
{
    if (!IsTransferPending())
        return LINEERR_INVALCALLSTATE;
    HCALL* conferenceOut = asConference ? &m_consultation.conferenceCall : nullptr;
    const DWORD mode = asConference ? LINETRANSFERMODE_CONFERENCE : LINETRANSFERMODE_TRANSFER;
    const LONG result
        = Tapi().lineCompleteTransfer(m_consultation.first, m_consultation.consult, conferenceOut, mode);
    if (result > 0 && asConference) {
        // The conference call's handle arrives with the reply.
        m_consultation.conference = true;
        m_consultation.joining = true;
        m_consultation.request = result;
    }
    return result;
}

LONG LineSlot::JoinConference()
{
    if (!HasConsultation() || !m_consultation.conference)
        return LINEERR_INVALCALLSTATE;
    return Tapi().lineAddToConference(m_consultation.conferenceCall, m_consultation.consult);
}

LONG LineSlot::RemoveFromConference(HCALL call)
{
    if (IndexOfCall(call) < 0)
        return LINEERR_INVALCALLHANDLE;
    return Tapi().lineRemoveFromConference(call);
}

HCALL LineSlot::FirstHeldCall(HCALL except)
{
    for (const CallRecord& record : m_calls)
        if (record.call != 0 && record.call != except && CallState(record.call) == LINECALLSTATE_ONHOLD)
            return record.call;
    return 0;
}

HCALL LineSlot::FirstPartyOf(HCALL conference) const
{
    for (const CallRecord& record : m_calls)
        if (conference != 0 && record.call != 0 && record.conference == conference)
            return record.call;
    return 0;
}

// A party remembers its conference (parameter 2 of CONFERENCED) while it is in it, and, for the
// call log, that it talked in one: its conference call connected while it was a party. A party
// of another line's conference learns it here, as it joins a conference that is connected.
void LineSlot::FollowConference(HCALL call, DWORD state, DWORD param2)
{
    const int index = IndexOfCall(call);
    if (index < 0)
        return;
    const bool joined = state == LINECALLSTATE_CONFERENCED;
    m_calls[index].conference = joined ? HCALL(param2) : 0;
    if (joined && CallState(HCALL(param2)) == LINECALLSTATE_CONNECTED)
        m_calls[index].conferenced = true;
    if (state != LINECALLSTATE_CONNECTED)
        return;
    for (CallRecord& record : m_calls)
        if (record.call != 0 && record.conference == call)
            record.conferenced = true;
}

// "5551234 + 5550199": the parties of a conference call of this line's table, in table order,
// appended to `text`.
void LineSlot::AppendConferenceParties(HCALL conference, std::string& text)
{
    for (const CallRecord& record : m_calls) {
        CallSnapshot snapshot;
        if (record.call == 0 || record.conference != conference || !snapshot.Fetch(Tapi(), record.call))
            continue;
        const std::string party = CallText::PartyText(snapshot.Party());
        if (!party.empty())
            text += (text.empty() ? "" : " + ") + party;
    }
}

void LineSlot::ShowConsultationFailure(bool conference)
{
    const char* text = conference ? QT_TRANSLATE_NOOP("LineSlot", "The conference could not be set up.")
                                  : QT_TRANSLATE_NOOP("LineSlot", "The call could not be transferred.");
    m_manager.GetPrompter().ShowMessage(QCoreApplication::translate("LineSlot", text).toStdString(),
        kMessageTitle, Prompter::Icon::Exclamation);
}
