#include "telephony/call_logger.h"

#include "store/call_log_store.h"
#include "store/recording_path.h"
#include "store/unlogged_recording.h"
#include "telephony/call_snapshot.h"
#include "telephony/line_manager.h"
#include "telephony/line_slot.h"
#include "telephony/main_window_link.h"

struct CallLogger::Party {
    std::string name;
    std::string number = "No data";
    DWORD origin = LINECALLORIGIN_UNKNOWN;
};

namespace {

void ReadIncomingParty(const CallParty& caller, std::string& name, std::string& number)
{
    if (caller.callerIdFlags & LINECALLPARTYID_BLOCKED)
        number = "[Blocked]";
    if (caller.callerIdFlags & LINECALLPARTYID_OUTOFAREA)
        number = "[Out Of Area]";
    if ((caller.callerIdFlags & LINECALLPARTYID_NAME) && !caller.callerName.empty())
        name = caller.callerName;
    if (caller.callerIdFlags & LINECALLPARTYID_ADDRESS) {
        const std::string_view digits = CallText::SkipBlanks(caller.callerNumber);
        if (!digits.empty())
            number = digits;
    }
}

// The party the far end handed the call on to, as the caller of an incoming call or the called
// party of a placed one: the user talked with that party last. The call log has no field for the
// party who handed the call on.
CallParty ConnectedParty(CallParty party)
{
    party.callerIdFlags = LINECALLPARTYID_ADDRESS;
    party.callerName = {};
    party.callerNumber = party.transferredTo;
    party.calledParty = {};
    party.displayableAddress = party.transferredTo;
    return party;
}

// The recording path as the call log stores it, marked unheard: a file URI whose first letter is
// raised. A local path from the recorder becomes such a URI.
std::string UnheardRecordingField(const std::string& path)
{
    if (path.empty())
        return path;
    if (path.front() == '/')
        return RecordingPath::FromLocalFile(path, true);
    std::string field = path;
    if (field.front() >= 'a' && field.front() <= 'z')
        field.front() = char(field.front() - 'a' + 'A');
    return field;
}

bool HasDate(const CallTime& time)
{
    return time.year != 0 && time.month != 0 && time.day != 0;
}

// Offered, or answered but never connected.
bool IsUnanswered(DWORD state)
{
    return state == LINECALLSTATE_OFFERING || state == LINECALLSTATE_ACCEPTED;
}

// Held or in a conference: the conversation goes on when the call is connected again.
bool IsSetAside(DWORD state)
{
    return state == LINECALLSTATE_CONFERENCED || CallText::IsHeldState(state);
}

// Once answered: connected, set aside, or ended by the far end after that.
bool WasTalking(DWORD state)
{
    return state == LINECALLSTATE_CONNECTED || state == LINECALLSTATE_DISCONNECTED || IsSetAside(state);
}

// A caller who hangs up before the call was answered may reach it as DISCONNECTED before IDLE:
// the unanswered state is kept, so that IDLE logs the call as missed.

DWORD NextLastState(DWORD last, DWORD state)
{
    return state == LINECALLSTATE_DISCONNECTED && IsUnanswered(last) ? last : state;
}

} // namespace

CallLogger::CallLogger(CallLogStore& store, std::filesystem::path logFile)
    : m_store(store)
    , m_logFile(std::move(logFile))
    , m_clock(&CallTime::Now)
    , m_journal(m_logFile.parent_path() / CallJournal::kFileName)
{
}

bool CallLogger::ReadParty(LineSlot& slot, HCALL call, Party& party) const
{
    CallSnapshot snapshot;
    if (!snapshot.Fetch(slot.Manager().Tapi(), call))
        return true;
    std::string contactName;
    const CallParty reported = snapshot.Party();
    const CallParty caller = slot.Manager().NamedParty(
        reported.transferredTo.empty() ? reported : ConnectedParty(reported), contactName);
    party.origin = caller.origin;
    if (CallText::IsIncomingOrigin(caller.origin)) {
        ReadIncomingParty(caller, party.name, party.number);
    } else {
        if (!caller.calledParty.empty())
            party.name = caller.calledParty;
        if (!caller.displayableAddress.empty())
            party.number = caller.displayableAddress;
    }
    if (snapshot.Info().dwNumOwners == 0)
        return false;
    if (party.number.empty())
        party.number = "[No data]";
    return true;
}

void CallLogger::RecordCallState(LineSlot& slot, HCALL call, DWORD state)
{
    const int index = slot.IndexOfCall(call);
    if (index < 0)
        return;
    CallRecord& record = slot.CallAt(index);
    Party party;
    if (!ReadParty(slot, call, party))
        return;
    switch (state) {
    case LINECALLSTATE_IDLE: {
        // A call whose entry could not be saved stays in the journal: the next start logs it.
        const int type = EndedCallType(slot, call, record, party.origin);
        if (type < 0 || !HasDate(record.startTime) || Log(slot, record, party, type))
            m_journal.Drop(call);
        break;
    }
    case LINECALLSTATE_OFFERING:
        if (record.lastState != LINECALLSTATE_OFFERING)
            record.startTime = m_clock();
        break;
    case LINECALLSTATE_CONNECTED:
        // A call answered only to be rejected with a beep is logged as missed from its offering;
        // a call taken back from hold or out of a conference keeps the start of its conversation.
        if (!slot.IsBeingRejected(call) && !IsSetAside(record.lastState))
            record.startTime = m_clock();
        break;
    default:
        break;
    }
    record.lastState = NextLastState(record.lastState, state);
    if (state != LINECALLSTATE_IDLE)
        Journal(slot, call, record, party);
}

void CallLogger::RecordPartyChange(LineSlot& slot, HCALL call)
{
    const int index = slot.IndexOfCall(call);
    Party party;
    if (index >= 0 && ReadParty(slot, call, party))
        Journal(slot, call, slot.CallAt(index), party);
}

void CallLogger::Journal(LineSlot& slot, HCALL call, const CallRecord& record, const Party& party)
{
    const int type = EndedCallType(slot, call, record, party.origin);
    if (type >= 0 && HasDate(record.startTime))
        m_journal.Keep(call, MakeEntry(record, party, type));
    else
        m_journal.Drop(call);
}

int CallLogger::EndedCallType(const LineSlot& slot, HCALL call, const CallRecord& record, DWORD origin) const
{
    // A caller who gives up while the answer is still pending was never answered either.
    if (IsUnanswered(record.lastState))
        return kCallTypeMissed;
    // A conference call has no party of its own: each party is logged as a conference call.
    if (!WasTalking(record.lastState) || origin == LINECALLORIGIN_CONFERENCE)
        return -1;
    if (call == slot.GetSetupCall() && slot.GetVoiceMailFlag() != 0)
        return kCallTypeVoicemail;
    if (record.conferenced)
        return kCallTypeConference;
    return origin == LINECALLORIGIN_OUTBOUND ? kCallTypeOutgoing : kCallTypeIncoming;
}

CallLogEntry CallLogger::MakeEntry(const CallRecord& record, const Party& party, int type) const
{
    CallLogEntry entry;
    entry.startTime = record.startTime;
    entry.endTime = type == kCallTypeMissed ? record.startTime : m_clock();
    entry.callerName = party.name;
    entry.number = party.number;
    entry.note = record.notesPath;
    entry.recordingPath = UnheardRecordingField(record.recordingPath);
    entry.type = type;
    return entry;
}

// The journal names the recording too, so that the next start logs the call once: through the
// recording's recovery.
bool CallLogger::MarkRecording(LineSlot& slot, HCALL call, const std::string& path)
{
    const int index = slot.IndexOfCall(call);
    Party party;
    if (index < 0 || !ReadParty(slot, call, party))
        return false;
    CallRecord record = slot.CallAt(index);
    record.recordingPath = path;
    if (!HasDate(record.startTime))
        record.startTime = m_clock();
    const int type = EndedCallType(slot, call, record, party.origin);
    const CallLogEntry entry = MakeEntry(record, party, type >= 0 ? type : kCallTypeIncoming);
    m_journal.Keep(call, entry);
    return UnloggedRecording::Mark(path, entry);
}

// Append, save, load again, then refresh the views: the list positions the views keep then match
// the file. The window hears of the new entry by its position. True when the entry is on disk.
bool CallLogger::Log(LineSlot& slot, CallRecord& record, const Party& party, int type)
{
    const CallLogEntry entry = MakeEntry(record, party, type);
    record.recordingPath = entry.recordingPath;
    const bool appended = m_store.Append(entry);
    // A file that could not be written is not read back: the entry stays in memory and goes out
    // with the next save. The recording's marker goes only once the entry is on disk.
    const bool saved = m_store.Save(m_logFile);
    if (saved) {
        m_store.Load(m_logFile);
        if (!entry.recordingPath.empty())
            UnloggedRecording::Unmark(RecordingPath::ToLocalFile(entry.recordingPath));
    }
    if (MainWindowLink* window = slot.Manager().ReadyWindow()) {
        window->RefillCallLists();
        if (appended && m_store.Count() > 0)
            window->CallLogged(m_store.Count() - 1);
    }
    return saved;
}
