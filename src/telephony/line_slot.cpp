#include "telephony/line_slot.h"

#include "settings/prompter.h"
#include "settings/settings_store.h"
#include "store/text_limit.h"
#include "telephony/call_logger.h"
#include "telephony/call_menu.h"
#include "telephony/call_recording_port.h"
#include "telephony/call_snapshot.h"
#include "telephony/line_manager.h"
#include "telephony/main_window_link.h"
#include "telephony/tapi_binding.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

namespace {

constexpr const char* kTitle = "Kestrium";
constexpr const char* kNoRoom = QT_TRANSLATE_NOOP("LineSlot", "No room for another call...");

// Line states the slot asks for, the mask 0x000200FA: ringing, disconnected, message waiting on
// and off, in service, out of service and device-specific changes. Only ringing is acted upon.
constexpr DWORD kLineStates = LINEDEVSTATE_RINGING | LINEDEVSTATE_DISCONNECTED | LINEDEVSTATE_MSGWAITON
    | LINEDEVSTATE_MSGWAITOFF | LINEDEVSTATE_INSERVICE | LINEDEVSTATE_OUTOFSERVICE | LINEDEVSTATE_DEVSPECIFIC;
static_assert(kLineStates == 0x000200FA);
constexpr DWORD kPhoneStates = PHONESTATE_OTHER | PHONESTATE_HANDSETHOOKSWITCH | PHONESTATE_HEADSETHOOKSWITCH;
constexpr DWORD kPhoneButtonModes = PHONEBUTTONMODE_FEATURE | PHONEBUTTONMODE_KEYPAD;
constexpr DWORD kPhoneButtonStates = PHONEBUTTONSTATE_UP | PHONEBUTTONSTATE_DOWN;

constexpr std::size_t kWaveIdSize = 28;
constexpr std::size_t kPhoneIdSize = 284;
constexpr std::size_t kCallListSize = 1024;

constexpr DWORD kCallRate = 3100;
constexpr DWORD kNoAnswerTimeoutSeconds = 10;
constexpr DWORD kBeepRejectMs = 500;

static_assert(sizeof(LINECALLPARAMS) == 176, "the call parameters' fixed part is 176 bytes");

// The device id that lineGetIDA answers for a device class, or -1.
int QueryDeviceId(TapiBinding& tapi, HLINE line, const char* deviceClass, std::size_t size)
{
    TapiBlock<VARSTRING> id(size);
    DWORD value = 0;
    if (tapi.lineGetIDA(line, 0, 0, LINECALLSELECT_LINE, id.Get(), deviceClass) != 0
        || id->dwStringSize < sizeof(DWORD) || !id.ReadDword(id->dwStringOffset, value))
        return -1;
    return int(value);
}

// Appends a text with its terminator after the fixed part; an empty text is left out.
void AppendCallParamText(std::vector<std::byte>& block, std::string_view text, DWORD LINECALLPARAMS::*size,
    DWORD LINECALLPARAMS::*offset)
{
    if (text.empty())
        return;
    const std::size_t at = block.size();
    block.resize(at + text.size() + 1);
    std::memcpy(block.data() + at, text.data(), text.size());
    auto* params = reinterpret_cast<LINECALLPARAMS*>(block.data());
    params->*size = DWORD(text.size() + 1);
    params->*offset = DWORD(at);
}

// The parameters of every placed call: voice at 3,100 Hz, interactive voice, an idle line,
// address 0, the two texts, and a no-answer time-out of 10 seconds.
std::vector<std::byte> MakeCallParams(std::string_view displayableAddress, std::string_view calledParty)
{
    std::vector<std::byte> block(sizeof(LINECALLPARAMS));
    AppendCallParamText(block, displayableAddress, &LINECALLPARAMS::dwDisplayableAddressSize,
        &LINECALLPARAMS::dwDisplayableAddressOffset);
    AppendCallParamText(
        block, calledParty, &LINECALLPARAMS::dwCalledPartySize, &LINECALLPARAMS::dwCalledPartyOffset);
    auto* params = reinterpret_cast<LINECALLPARAMS*>(block.data());
    params->dwTotalSize = DWORD(block.size());
    params->dwBearerMode = LINEBEARERMODE_VOICE;
    params->dwMinRate = kCallRate;
    params->dwMaxRate = kCallRate;
    params->dwMediaMode = LINEMEDIAMODE_INTERACTIVEVOICE;
    params->dwCallParamFlags = LINECALLPARAMFLAGS_IDLE;
    params->dwAddressMode = LINEADDRESSMODE_ADDRESSID;
    params->dwNoAnswerTimeout = kNoAnswerTimeoutSeconds;
    return block;
}

// Why placing a call failed, null when TAPI gives no reason worth telling.
const char* MakeCallFailureReason(LONG result)
{
    switch (result) {
    case LINEERR_INUSE:
        return QT_TRANSLATE_NOOP("CallText", "another phone off-hook");
    case LINEERR_INVALLINESTATE:
        return QT_TRANSLATE_NOOP("CallText", "phone line not connected");
    default:
        return nullptr;
    }
}

// The touch tones a row shows: the latest ones when many were sent.
std::string ShownDigits(const std::string& digits)
{
    constexpr std::size_t kShown = 24;
    return digits.size() <= kShown ? digits : "..." + digits.substr(digits.size() - kShown);
}

// States in which an auto-drop call has done its work and is hung up.
bool EndsAutoDropCall(DWORD state)
{
    switch (state) {
    case LINECALLSTATE_RINGBACK:
    case LINECALLSTATE_BUSY:
    case LINECALLSTATE_SPECIALINFO:
    case LINECALLSTATE_CONNECTED:
    case LINECALLSTATE_PROCEEDING:
    case LINECALLSTATE_DISCONNECTED:
        return true;
    default:
        return false;
    }
}

void Take(CallRecord& record, HCALL call)
{
    record = CallRecord{};
    record.call = call;
}

} // namespace

LineSlot::LineSlot(LineManager& manager, int index)
    : m_manager(manager)
    , m_index(index)
{
}

LineSlot::~LineSlot()
{
    m_manager.Recording().StopCallRecording(m_index);
    m_manager.Recording().CloseNotes(m_index, 0);
}

TapiBinding& LineSlot::Tapi() const
{
    return m_manager.Tapi();
}

int LineSlot::OpenLine(
    DWORD apiVersion, HLINEAPP lineApp, HPHONEAPP phoneApp, DWORD deviceId, std::string_view lineName)
{
    m_lineName = CutToLimit(lineName, kMaxLineNameLength);
    m_deviceId = deviceId;
    HLINE line = 0;
    if (Tapi().lineOpenA(lineApp, deviceId, &line, apiVersion, 0, DWORD_PTR(this),
            LINECALLPRIVILEGE_MONITOR | LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_INTERACTIVEVOICE, nullptr)
        != 0)
        return 0;
    m_line = line;
    ReadDeviceIds();
    OpenPhone(apiVersion, phoneApp);
    TakeExistingCalls();
    return 1;
}

// Ids of an earlier line are forgotten, so a failed lookup never leaves a stale id behind.
void LineSlot::ReadDeviceIds()
{
    m_waveInAuxDeviceId = QueryDeviceId(Tapi(), m_line, "wave/in/aux", kWaveIdSize);
    m_waveInDeviceId = QueryDeviceId(Tapi(), m_line, "wave/in", kWaveIdSize);
    m_waveOutDeviceId = QueryDeviceId(Tapi(), m_line, "wave/out", kWaveIdSize);
    m_phoneDeviceId = QueryDeviceId(Tapi(), m_line, "tapi/phone", kPhoneIdSize);
    Tapi().lineSetStatusMessages(m_line, kLineStates, 0);
}

void LineSlot::OpenPhone(DWORD apiVersion, HPHONEAPP phoneApp)
{
    if (m_phoneDeviceId < 0 || phoneApp == 0)
        return;
    HPHONE phone = 0;
    if (Tapi().phoneOpen(
            phoneApp, DWORD(m_phoneDeviceId), &phone, apiVersion, 0, DWORD_PTR(this), PHONEPRIVILEGE_OWNER)
        != 0)
        return;
    m_phone = phone;
    Tapi().phoneSetStatusMessages(m_phone, kPhoneStates, kPhoneButtonModes, kPhoneButtonStates);
}

// Calls that already exist on the line when it opens become records 0 onward.
void LineSlot::TakeExistingCalls()
{
    TapiBlock<LINECALLLIST> list(kCallListSize);
    if (Tapi().lineGetNewCalls(m_line, 0, LINECALLSELECT_LINE, list.Get()) != 0)
        return;
    const DWORD fits = std::min(list->dwCallsNumEntries, list->dwCallsSize / DWORD(sizeof(HCALL)));
    const int count = std::min<int>(int(fits), kMaxCalls);
    for (int i = 0; i < count; ++i) {
        DWORD call = 0;
        if (list.ReadDword(list->dwCallsOffset + DWORD(i * sizeof(HCALL)), call))
            Take(m_calls[i], call);
    }
}

// The calls of a closed line no longer exist in TAPI; their records are freed. No event follows for
// them, so they end here as on IDLE: their recording stops, their notes close, they are logged, and
// the setup call is forgotten.
void LineSlot::CloseLine(HLINEAPP, HPHONEAPP phoneApp)
{
    if (!IsOpen())
        return;
    for (const CallRecord& record : m_calls) {
        if (record.call == 0)
            continue;
        StopRecordingOf(record.call);
        CloseNotesOf(record.call);
        m_manager.Logger().RecordCallState(*this, record.call, LINECALLSTATE_IDLE);
        Tapi().lineDrop(record.call, nullptr, 0);
    }
    if (m_phone != 0 && phoneApp != 0) {
        Tapi().phoneClose(m_phone);
        m_phone = 0;
        m_phoneDeviceId = -1;
    }
    if (Tapi().lineClose(m_line) != 0)
        return;
    m_line = 0;
    // The records go with their waiting digits: a closed line gets no LINE_GENERATE.
    m_calls.fill(CallRecord{});
    m_endedCalls.clear();
    m_pendingAutoDrop = m_pendingBeepReject = m_pendingAnswer = m_pendingMakeCall = m_pendingPickup = 0;
    m_autoDropHandleSlot = nullptr;
    m_autoDropCall = m_ignoredCall = m_setupCall = m_autoRecordCall = 0;
    m_manager.Incoming().OnLineClosed(*this);
}

LONG LineSlot::SetHeadset(bool on)
{
    if (!IsOpen())
        return 0;
    return Tapi().phoneSetHookSwitch(m_phone, PHONEHOOKSWITCHDEV_HEADSET,
        on ? PHONEHOOKSWITCHMODE_MICSPEAKER : PHONEHOOKSWITCHMODE_ONHOOK);
}

bool LineSlot::IsBusy()
{
    if (!IsOpen())
        return false;
    TapiBlock<LINEDEVSTATUS> status(sizeof(LINEDEVSTATUS));
    if (Tapi().lineGetLineDevStatus(m_line, status.Get()) != 0)
        return false;
    return status->dwNumActiveCalls > 0 || status->dwNumOnHoldCalls > 0 || status->dwNumOnHoldPendCalls > 0;
}

CallRecord* LineSlot::FindFreeRecord()
{
    auto free = std::find_if(m_calls.begin(), m_calls.end(), [](const CallRecord& r) { return r.IsFree(); });
    return free == m_calls.end() ? nullptr : &*free;
}

CallRecord* LineSlot::RecordForNewCall()
{
    if (!IsOpen())
        return nullptr;
    CallRecord* record = FindFreeRecord();
    if (!record)
        ShowNoRoom();
    return record;
}

void LineSlot::ShowNoRoom()
{
    m_manager.GetPrompter().ShowMessage(
        QCoreApplication::translate("LineSlot", kNoRoom).toStdString(), kTitle, Prompter::Icon::None);
}

// A call already in the table is not taken twice. A call refused for lack of room gives its handle
// back: at once when TAPI allows it, else (the call still rings here) when it goes idle.
void LineSlot::AddNewCall(HCALL call)
{
    if (call == 0 || IndexOfCall(call) >= 0)
        return;
    CallRecord* record = FindFreeRecord();
    if (!record) {
        Tapi().lineDeallocateCall(call);
        ShowNoRoom();
        return;
    }
    Take(*record, call);
}

int LineSlot::IndexOfCall(HCALL call) const
{
    if (call == 0)
        return -1;
    for (int i = 0; i < kMaxCalls; ++i)
        if (m_calls[i].call == call)
            return i;
    return -1;
}

void LineSlot::SetCallPaths(HCALL call, const std::string* recordingPath, const std::string* notesPath)
{
    const int index = IndexOfCall(call);
    if (index < 0)
        return;
    if (recordingPath)
        m_calls[index].recordingPath = CutToLimit(*recordingPath, CallRecord::kMaxPathLength);
    if (notesPath)
        m_calls[index].notesPath = CutToLimit(*notesPath, CallRecord::kMaxPathLength);
}

void LineSlot::SetSetupCall(HCALL call, int voiceMail)
{
    m_setupCall = call;
    m_voiceMailFlag = voiceMail;
}

void LineSlot::OnCallState(HCALL call, DWORD state, DWORD stateMode, DWORD)
{
    // A recording ends before the call is logged, so that its entry names a finished file.
    FollowRecording(call, state, stateMode);
    FollowConference(call, state, stateMode);
    m_manager.Logger().RecordCallState(*this, call, state);
    if (state != LINECALLSTATE_CONNECTED)
        CloseNotesOf(call);
    FollowConnection(call, state);
    FollowConsultation(call, state);
    if (HandleAutoDrop(call, state))
        return;
    switch (state) {
    case LINECALLSTATE_DISCONNECTED:
    case LINECALLSTATE_BUSY:
        NoteOutcome(call, state, stateMode);
        Tapi().lineDrop(call, nullptr, 0);
        break;
    case LINECALLSTATE_CONNECTED:
        RecordAutomatically(call);
        break;
    case LINECALLSTATE_IDLE:
        OnCallIdle(call);
        break;
    case LINECALLSTATE_DIALTONE:
    case LINECALLSTATE_DIALING:
        ShowKeypadTab(true);
        break;
    default:
        break;
    }
}

// Auto-record starts the recording of a call that has none: not the voice-mail call, not one
// whose recording the user paused, not the private consultation before a conference (once joined,
// the conference's recording carries that party).
bool LineSlot::AutoRecords(HCALL call) const
{
    const CallRecordingPort& recording = m_manager.Recording();
    const int index = IndexOfCall(call);
    return m_manager.Settings().Read(Settings::kAutoRecordCalls) != 0 && index >= 0
        && m_calls[index].recordingPath.empty() && call != recording.GetRecordingCall(m_index)
        && !recording.HasSetAsideRecording(m_index, call) && call != m_setupCall
        && !(m_consultation.conference && call == m_consultation.consult);
}

// The call's time runs from its first connection. Digits go only to a connected call: those still
// waiting when it leaves that state (hold, hang-up) are forgotten, as TAPI cancels the generation.
void LineSlot::FollowConnection(HCALL call, DWORD state)
{
    const int index = IndexOfCall(call);
    if (index < 0)
        return;
    CallRecord& record = m_calls[index];
    if (state != LINECALLSTATE_CONNECTED) {
        record.digitsInFlight.clear();
        record.digitsQueued.clear();
    } else if (!record.connectedAt) {
        record.connectedAt = m_manager.Now();
    }
}

// Only an outgoing call that never connected has an outcome worth showing after it has gone.
void LineSlot::NoteOutcome(HCALL call, DWORD state, DWORD stateMode)
{
    const int index = IndexOfCall(call);
    CallOutcome outcome;
    CallSnapshot snapshot;
    if (index < 0 || m_calls[index].connectedAt || !CallText::Outcome(state, stateMode, outcome)
        || !snapshot.Fetch(Tapi(), call) || CallText::IsIncomingOrigin(snapshot.Info().dwOrigin))
        return;
    outcome.party = CallText::PartyText(snapshot.Party());
    m_calls[index].outcome = std::move(outcome);
}

void LineSlot::AddEndedCall(CallOutcome outcome)
{
    m_endedCalls.push_back({ std::move(outcome), m_manager.Now() + kOutcomeShownMs });
    if (m_endedCalls.size() > kMaxEndedCalls)
        m_endedCalls.erase(m_endedCalls.begin());
}

bool LineSlot::ExpireEndedCalls(std::uint64_t now)
{
    return std::erase_if(m_endedCalls, [now](const EndedCall& ended) { return ended.until <= now; }) > 0;
}

// The recording of a call pauses while the call is held and goes on when it is taken back (one
// the user paused stays paused); any other state but CONNECTED ends it. A party in a conference
// records the conference's mixed audio while the conference call is connected, and pauses while
// it is held or still being set up; in a conference of another line, whose devices carry the
// conference, it pauses too.
void LineSlot::FollowRecording(HCALL call, DWORD state, DWORD param2)
{
    CallRecordingPort& recording = m_manager.Recording();
    if (call != 0 && recording.HasSetAsideRecording(m_index, call)) {
        FollowSetAsideRecording(call, state, param2);
        return;
    }
    const int index = IndexOfCall(recording.GetRecordingCall(m_index));
    if (index < 0 || call == 0)
        return;
    CallRecord& record = m_calls[index];
    if (call == record.call && state == LINECALLSTATE_CONFERENCED) {
        const HCALL conference = HCALL(param2);
        const bool heard = IndexOfCall(conference) >= 0 && CallState(conference) == LINECALLSTATE_CONNECTED;
        state = heard ? state : LINECALLSTATE_ONHOLD;
    } else if (call == record.conference && state != LINECALLSTATE_IDLE)
        state = state == LINECALLSTATE_CONNECTED ? LINECALLSTATE_CONFERENCED : LINECALLSTATE_ONHOLD;
    else if (call != record.call)
        return;
    if (CallText::IsHeldState(state) && recording.GetRecordingState(m_index) != CallRecordingPort::Starting) {
        if (recording.GetRecordingState(m_index) == CallRecordingPort::Recording)
            record.recordingHeld = recording.PauseCallRecording(m_index) == 1;
        return;
    }
    if (state == LINECALLSTATE_CONNECTED || state == LINECALLSTATE_CONFERENCED) {
        if (std::exchange(record.recordingHeld, false))
            RecordCall(record.call);
        return;
    }
    record.recordingHeld = false;
    StopRecordingOf(record.call);
}

// With "Record calls automatically", each connected call gets a recording of its own (another
// call's recording is set aside), except a voice message and the private consultation before a
// conference. A call that takes over from a recorded call that has just ended (the party a
// transfer handed us to) is recorded once that call has gone: the ended call keeps the setup until
// it is logged.
void LineSlot::RecordAutomatically(HCALL call)
{
    const HCALL recorded = RecordedCallOf(call);
    if (!AutoRecords(recorded))
        return;
    if (const DWORD state = m_setupCall ? CallState(m_setupCall) : DWORD(LINECALLSTATE_CONNECTED);
        state == 0 || state == LINECALLSTATE_DISCONNECTED || state == LINECALLSTATE_IDLE)
        m_autoRecordCall = call;
    else
        RecordCall(recorded);
}

// A recording set aside for another call's waits while its own call is held (or its conference is),
// goes on when the call is connected again unless the user had paused it, and ends with the call.
void LineSlot::FollowSetAsideRecording(HCALL call, DWORD state, DWORD param2)
{
    const int index = IndexOfCall(call);
    if (index < 0) {
        m_manager.Recording().StopSetAsideRecording(m_index, call);
        return;
    }
    CallRecord& record = m_calls[index];
    if (state == LINECALLSTATE_CONFERENCED)
        state = CallState(HCALL(param2)) == LINECALLSTATE_CONNECTED ? LINECALLSTATE_CONNECTED
                                                                    : LINECALLSTATE_ONHOLD;
    if (CallText::IsHeldState(state))
        return;
    if (state == LINECALLSTATE_CONNECTED) {
        if (record.recordingHeld && RecordCall(call) == 1)
            record.recordingHeld = false;
        return;
    }
    record.recordingHeld = false;
    m_manager.Recording().StopSetAsideRecording(m_index, call);
}

int LineSlot::RecordCall(HCALL call)
{
    CallRecordingPort& recording = m_manager.Recording();
    const int current = IndexOfCall(recording.GetRecordingCall(m_index));
    if (current >= 0 && m_calls[current].call != call
        && recording.GetRecordingState(m_index) == CallRecordingPort::Recording)
        m_calls[current].recordingHeld = true;
    return recording.StartCallRecording(m_index, call, 0);
}

// A conference call is recorded through its first party, whose log entry then names the file.
HCALL LineSlot::RecordedCallOf(HCALL call) const
{
    const HCALL party = FirstPartyOf(call);
    return party != 0 ? party : call;
}

void LineSlot::StopRecordingOf(HCALL call)
{
    CallRecordingPort& recording = m_manager.Recording();
    if (call == recording.GetRecordingCall(m_index))
        recording.StopCallRecording(m_index);
    else
        recording.StopSetAsideRecording(m_index, call);
}

void LineSlot::CloseNotesOf(HCALL call)
{
    CallRecordingPort& recording = m_manager.Recording();
    // Every call may have its notes window open, not only the one opened last.
    if (recording.HasNotesDialog(m_index, call))
        recording.CloseNotes(m_index, call);
}

// True when the call was an auto-drop call that has now been hung up.
bool LineSlot::HandleAutoDrop(HCALL call, DWORD state)
{
    if (call == 0 || call != m_autoDropCall)
        return false;
    if (state == LINECALLSTATE_IDLE) {
        m_autoDropCall = 0;
        return false;
    }
    if (!EndsAutoDropCall(state))
        return false;
    Tapi().lineDrop(call, nullptr, 0);
    m_autoDropCall = 0;
    return true;
}

// A call that leaves an outcome to show keeps the keypad tab up; the line manager goes back to the
// first tab once the outcome has been shown.
void LineSlot::OnCallIdle(HCALL call)
{
    const int index = IndexOfCall(call);
    std::optional<CallOutcome> outcome = index >= 0 ? m_calls[index].outcome : std::nullopt;
    DeallocateCall(call);
    if (call == m_ignoredCall)
        m_ignoredCall = 0;
    if (call == m_autoRecordCall)
        m_autoRecordCall = 0;
    if (call == m_setupCall) {
        m_setupCall = 0;
        if (const HCALL next = std::exchange(m_autoRecordCall, 0))
            RecordAutomatically(next);
    }
    if (outcome && IndexOfCall(call) < 0)
        AddEndedCall(std::move(*outcome));
    else
        ShowKeypadTab(false);
}

// Dialing brings the keypad tab forward; the last call going idle sends the window back to the
// first tab (the calls that remain keep the tab where they are worked on).
void LineSlot::ShowKeypadTab(bool show)
{
    MainWindowLink* window = m_manager.ReadyWindow();
    if (!window)
        return;
    const bool showing = window->CurrentPage() == WindowPage::Calls;
    if (show && !showing)
        window->ShowPage(WindowPage::Calls);
    else if (!show && showing && !m_manager.HasCallsToShow())
        window->ShowPage(WindowPage::Contacts);
}

// A call without a record (refused for lack of room) is freed all the same.
void LineSlot::DeallocateCall(HCALL call)
{
    if (call == 0)
        return;
    const int index = IndexOfCall(call);
    if (Tapi().lineDeallocateCall(call) == 0 && index >= 0)
        m_calls[index] = CallRecord{};
}

bool LineSlot::DescribeCall(HCALL call, CallDescription& out)
{
    out = CallDescription{};
    CallSnapshot snapshot;
    if (!snapshot.Fetch(Tapi(), call))
        return false;
    const LINECALLINFO& info = snapshot.Info();
    out.deviceId = info.dwLineDeviceID;
    // A conference call has no party of its own: it shows those it joins.
    std::string contactName;
    out.text = info.dwOrigin == LINECALLORIGIN_CONFERENCE
        ? m_manager.ConferencePartyText(call)
        : CallText::PartyText(m_manager.NamedParty(snapshot.Party(), contactName));
    if (info.dwNumOwners == 0) {
        out.text += QCoreApplication::translate("CallText", " (Idle)").toStdString();
        return false;
    }
    const CallRecordingPort& recording = m_manager.Recording();
    const bool paused = call == recording.GetRecordingCall(m_index)
        && recording.GetRecordingState(m_index) == CallRecordingPort::Paused;
    const CallRole role{ call != 0 && call == m_setupCall, m_voiceMailFlag != 0, paused };
    CallText::AppendState(snapshot.Status().dwCallState, snapshot.Status().dwCallStateMode, info.dwOrigin,
        info.dwMediaMode, role, out);
    return out.state != LINECALLSTATE_IDLE;
}

bool LineSlot::DescribeCallRow(int index, CallDescription& out)
{
    const CallRecord& record = m_calls[index];
    const bool described = DescribeCall(record.call, out);
    const std::uint64_t now = m_manager.Now();
    if (described && record.connectedAt && out.state != LINECALLSTATE_DISCONNECTED)
        out.text += " " + CallText::Duration(now - std::min(now, *record.connectedAt));
    const std::string digits = record.digitsSent + record.digitsInFlight;
    if (!digits.empty())
        out.text += QCoreApplication::translate("LineSlot", " Sent: %1")
                        .arg(QString::fromStdString(ShownDigits(digits)))
                        .toStdString();
    return described;
}

HCALL LineSlot::FindOfferingCall()
{
    if (!IsOpen() || !IsBusy())
        return 0;
    for (const CallRecord& record : m_calls) {
        if (record.call == 0)
            continue;
        TapiBlock<LINECALLSTATUS> status(CallSnapshot::kStatusSize);
        if (Tapi().lineGetCallStatus(record.call, status.Get()) == 0
            && status->dwCallState == LINECALLSTATE_OFFERING)
            return record.call;
    }
    return 0;
}

void LineSlot::UpdateCallMenu(CallMenu& menu, HCALL call)
{
    CallDescription description;
    if (!DescribeCall(call, description))
        return;
    menu.Enable(CallMenu::Item::Answer, description.state == LINECALLSTATE_OFFERING);
    menu.Enable(CallMenu::Item::DropCall, true);
}

// The record stays reserved until the request completes and TAPI has filled in the handle, so a
// second call placed meanwhile never shares it.
int LineSlot::PlaceCall(std::string_view destination, std::string_view displayableAddress,
    std::string_view calledParty, bool autoDrop)
{
    CallRecord* record = RecordForNewCall();
    if (!record)
        return 0;
    const std::vector<std::byte> params = MakeCallParams(displayableAddress, calledParty);
    const std::string address(destination);
    CallParty party;
    party.origin = LINECALLORIGIN_OUTBOUND;
    party.calledParty = calledParty;
    party.displayableAddress = displayableAddress;
    const LONG result = Tapi().lineMakeCallA(
        m_line, &record->call, address.c_str(), 0, reinterpret_cast<const LINECALLPARAMS*>(params.data()));
    m_lastRequest = result;
    if (result < 1) {
        ReportMakeCallFailure(result, CallText::PartyText(party));
        return 0;
    }
    Take(*record, record->call);
    record->pendingRequest = result;
    record->placedParty = CallText::PartyText(party);
    m_pendingMakeCall = result;
    if (autoDrop) {
        m_pendingAutoDrop = result;
        m_autoDropHandleSlot = &record->call;
    }
    return 1;
}

// The failed call shows in the call tree and the status bar behind the message.
void LineSlot::ReportMakeCallFailure(LONG result, const std::string& party)
{
    const char* reason = MakeCallFailureReason(result);
    const std::string outcome = reason ? QCoreApplication::translate("CallText", "Call failed: %1")
                                             .arg(QCoreApplication::translate("CallText", reason))
                                             .toStdString()
                                       : QCoreApplication::translate("LineSlot", "Call failed").toStdString();
    AddEndedCall({ party, outcome, CallImage::kNoAnswer });
    m_manager.RebuildCallDisplay();
    m_manager.GetPrompter().ShowMessage(outcome + ".", kTitle, Prompter::Icon::Exclamation);
}

int LineSlot::SendDigits(HCALL call, std::string_view digits)
{
    const int index = IndexOfCall(call);
    if (!IsOpen() || index < 0 || digits.empty())
        return 0;
    CallRecord& record = m_calls[index];
    record.digitsQueued.append(digits);
    SendQueuedDigits(record);
    return record.digitsInFlight.empty() && record.digitsQueued.empty() ? 0 : 1;
}

void LineSlot::SendQueuedDigits()
{
    for (CallRecord& record : m_calls)
        if (record.call != 0)
            SendQueuedDigits(record);
}

// One generation at a time per call: a new one would cancel the digits (or the warning tone)
// under way. Digits the call refuses (it is no longer connected) cannot go and are forgotten.
void LineSlot::SendQueuedDigits(CallRecord& record)
{
    if (record.digitsQueued.empty() || !record.digitsInFlight.empty() || IsWarningUnderWay(record.call))
        return;
    std::string batch = std::exchange(record.digitsQueued, std::string());
    if (Tapi().lineGenerateDigitsA(record.call, LINEDIGITMODE_DTMF, batch.c_str(), 0) >= 0)
        record.digitsInFlight = std::move(batch);
}

// The warning tone before a recording is generated on the call too.
bool LineSlot::IsWarningUnderWay(HCALL call) const
{
    const CallRecordingPort& recording = m_manager.Recording();
    return recording.GetRecordingState(m_index) == CallRecordingPort::Starting
        && recording.GetRecordingCall(m_index) == call;
}

LONG LineSlot::AnswerCall(HCALL call)
{
    if (IndexOfCall(call) < 0)
        return -1;
    return Tapi().lineAnswer(call, nullptr, 0);
}

void LineSlot::DropCall(HCALL call)
{
    if (IndexOfCall(call) >= 0)
        m_lastRequest = Tapi().lineDrop(call, nullptr, 0);
}

int LineSlot::DropAllCalls()
{
    if (!IsOpen())
        return 0;
    int accepted = 0;
    for (const CallRecord& record : m_calls) {
        if (record.call == 0)
            continue;
        m_lastRequest = Tapi().lineDrop(record.call, nullptr, 0);
        if (m_lastRequest > 0)
            accepted = 1;
    }
    return accepted;
}

LONG LineSlot::ToggleHold(HCALL call)
{
    if (IndexOfCall(call) < 0)
        return LINEERR_INVALCALLHANDLE;
    TapiBlock<LINECALLSTATUS> status(CallSnapshot::kStatusSize);
    const LONG result = Tapi().lineGetCallStatus(call, status.Get());
    if (result != 0)
        return result;
    const bool hold = !CallText::IsHeldState(status->dwCallState);
    const LONG request = hold ? Tapi().lineHold(call) : Tapi().lineUnhold(call);
    if (request > 0) {
        m_pendingHold = request;
        m_pendingHoldPutsOnHold = hold;
    }
    return request;
}

void LineSlot::ShowHoldFailure(bool hold)
{
    const char* text = hold ? QT_TRANSLATE_NOOP("LineSlot", "The call could not be put on hold.")
                            : QT_TRANSLATE_NOOP("LineSlot", "The call could not be taken off hold.");
    m_manager.GetPrompter().ShowMessage(
        QCoreApplication::translate("LineSlot", text).toStdString(), kTitle, Prompter::Icon::Exclamation);
}

LONG LineSlot::BlindTransfer(HCALL call, std::string_view destination)
{
    if (IndexOfCall(call) < 0)
        return LINEERR_INVALCALLHANDLE;
    const std::string address(destination);
    const LONG result = Tapi().lineBlindTransferA(call, address.c_str(), 0);
    if (result > 0)
        m_pendingTransfer = result;
    return result;
}

DWORD LineSlot::CallFeatures(HCALL call)
{
    TapiBlock<LINECALLSTATUS> status(CallSnapshot::kStatusSize);
    return call != 0 && Tapi().lineGetCallStatus(call, status.Get()) == 0 ? status->dwCallFeatures : 0;
}

void LineSlot::OnReply(LONG requestId, LONG result)
{
    if (requestId <= 0 || OnConsultationReply(requestId, result))
        return;
    if (requestId == m_pendingAutoDrop) {
        m_pendingAutoDrop = 0;
        m_autoDropCall = m_autoDropHandleSlot ? *m_autoDropHandleSlot : 0;
        m_autoDropHandleSlot = nullptr;
    }
    if (requestId == m_pendingBeepReject) {
        m_pendingBeepReject = 0;
        Tapi().lineGenerateTone(m_ignoredCall, LINETONEMODE_BEEP, kBeepRejectMs, 0, nullptr);
        const int index = IndexOfCall(m_ignoredCall);
        if (index >= 0)
            m_calls[index].lastState = LINECALLSTATE_OFFERING;
        Tapi().lineDrop(m_ignoredCall, nullptr, 0);
    }
    // A failed answer (the caller hung up first) leaves no call to greet and record.
    if (requestId == m_pendingAnswer) {
        m_pendingAnswer = 0;
        if (result == 0)
            m_manager.Recording().AnswerForVoiceMail(m_index, m_setupCall);
    }
    if (requestId == m_pendingHold) {
        m_pendingHold = 0;
        if (result < 0)
            ShowHoldFailure(m_pendingHoldPutsOnHold);
    }
    if (requestId == m_pendingTransfer) {
        m_pendingTransfer = 0;
        if (result < 0)
            ShowConsultationFailure(false);
    }
    if (requestId == m_pendingMakeCall) {
        m_pendingMakeCall = 0;
        if (result < 0)
            ReportMakeCallFailure(result, PlacedParty(requestId));
    }
    if (requestId == m_pendingPickup) {
        m_pendingPickup = 0;
        if (result < 0)
            ShowPickupFailure(result, PlacedParty(requestId), true);
    }
    ReleaseReservation(requestId);
}

void LineSlot::ReleaseReservation(LONG requestId)
{
    for (CallRecord& record : m_calls)
        if (record.pendingRequest == requestId)
            record.pendingRequest = 0;
}

std::string LineSlot::PlacedParty(LONG requestId) const
{
    for (const CallRecord& record : m_calls)
        if (record.pendingRequest == requestId)
            return record.placedParty;
    return {};
}

// The end of a batch of digits starts the digits typed meanwhile; so does the end of the warning
// tone, which they waited for.
void LineSlot::OnGenerateDone(HCALL call, DWORD termination)
{
    const int index = IndexOfCall(call);
    if (index >= 0 && !m_calls[index].digitsInFlight.empty())
        FinishDigitBatch(m_calls[index], termination);
    else
        m_manager.Recording().OnToneDone(call);
    if (index >= 0)
        SendQueuedDigits(m_calls[index]);
}

// Digits cancelled on a call that is still connected (another generation took over) go again.
void LineSlot::FinishDigitBatch(CallRecord& record, DWORD termination)
{
    std::string batch = std::exchange(record.digitsInFlight, std::string());
    if (termination == LINEGENERATETERM_DONE)
        record.digitsSent += batch;
    else
        record.digitsQueued.insert(0, batch);
}

int LineSlot::CollectActionTargets(int action, std::vector<ActionTarget>& list)
{
    if (!IsOpen() || !IsBusy())
        return 0;
    int count = 0;
    for (const CallRecord& record : m_calls) {
        CallDescription description;
        if (record.call == 0 || !DescribeCall(record.call, description))
            continue;
        if (IsActionCandidate(action, record.call, description.state)) {
            list.push_back({ record.call, m_index });
            ++count;
        }
    }
    return count;
}

// An unknown action takes every call, so that the programming error shows when it is performed.
bool LineSlot::IsActionCandidate(int action, HCALL call, DWORD state)
{
    const CallRecordingPort& recording = m_manager.Recording();
    const bool connected = state == LINECALLSTATE_CONNECTED;
    const int recordingState = recording.GetRecordingState(m_index);
    switch (action) {
    case kActionDrop:
        return true;
    case kActionAnswer:
        return state == LINECALLSTATE_OFFERING;
    case kActionRecord:
        return connected && recordingState != CallRecordingPort::Recording;
    case kActionPauseRecording:
        return connected
            && (recordingState == CallRecordingPort::Recording
                || recordingState == CallRecordingPort::Starting);
    case kActionAddNote:
        return connected && !recording.HasNotesDialog(m_index, call);
    case kActionHold:
        return (CallFeatures(call) & (LINECALLFEATURE_HOLD | LINECALLFEATURE_UNHOLD)) != 0;
    case kActionTransfer:
        if (HasConsultation())
            return IsConsultationAnchor(call) && IsTransferPending() && CanCompleteConsultation();
        return (CallFeatures(call) & LINECALLFEATURE_BLINDTRANSFER) != 0;
    case kActionConsultTransfer:
        return !HasConsultation() && (CallFeatures(call) & LINECALLFEATURE_SETUPTRANSFER) != 0;
    case kActionConference:
        if (HasConsultation())
            return IsConsultationAnchor(call) && CanJoinConsultation();
        return (CallFeatures(call) & (LINECALLFEATURE_SETUPCONF | LINECALLFEATURE_REMOVEFROMCONF)) != 0;
    default:
        return true;
    }
}
