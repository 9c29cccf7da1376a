#pragma once

#include "audio/wave_recorder.h"
#include "telephony/action_target.h"
#include "telephony/call_description.h"
#include "telephony/call_record.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CallMenu;
class HandsetListener;
class LineManager;
class TapiBinding;

// One telephone line: slots 0 to 3 take analog (PSTN) line devices, slots 4 and 5 IP line devices.
// The slot holds the open line and its phone, the line's wave device ids, its table of calls and
// the requests and special calls that the telephony code tracks. It is the callback instance of
// its own line and phone.
class LineSlot {
public:
    static constexpr int kMaxCalls = 20;
    static constexpr int kFirstIpSlot = 4;
    // The line name of an open line holds at most 103 bytes.
    static constexpr std::size_t kMaxLineNameLength = 103;
    // How long the outcome of a failed outgoing call stays in the call tree after the call has
    // gone, and how many such rows a line keeps at most.
    static constexpr std::uint64_t kOutcomeShownMs = 5000;
    static constexpr std::size_t kMaxEndedCalls = 8;

    // An outgoing call that has gone, still shown with its outcome until `until` (manager clock).
    struct EndedCall {
        CallOutcome outcome;
        std::uint64_t until = 0;
    };

    LineSlot(LineManager& manager, int index);
    virtual ~LineSlot();
    LineSlot(const LineSlot&) = delete;
    LineSlot& operator=(const LineSlot&) = delete;

    int Index() const { return m_index; }
    bool IsIpSlot() const { return m_index >= kFirstIpSlot; }
    LineManager& Manager() const { return m_manager; }

    // Opening and closing.
    int OpenLine(
        DWORD apiVersion, HLINEAPP lineApp, HPHONEAPP phoneApp, DWORD deviceId, std::string_view lineName);
    void CloseLine(HLINEAPP lineApp, HPHONEAPP phoneApp);
    bool IsOpen() const { return m_line != 0; }
    bool IsBusy();

    DWORD GetDeviceId() const { return m_deviceId; }
    int GetPhoneDeviceId() const { return m_phoneDeviceId; }
    int GetWaveInDeviceId() const { return m_waveInDeviceId; }
    int GetWaveInAuxDeviceId() const { return m_waveInAuxDeviceId; }
    int GetWaveOutDeviceId() const { return m_waveOutDeviceId; }
    const std::string& GetLineName() const { return m_lineName; }
    HLINE GetLine() const { return m_line; }
    HPHONE GetPhone() const { return m_phone; }

    // The call table.
    void AddNewCall(HCALL call);
    void OnCallState(HCALL call, DWORD state, DWORD param2, DWORD param3);
    void DeallocateCall(HCALL call);
    // False for an IDLE or unowned call, or when TAPI cannot describe it; `out` then holds what
    // could be found ("No data", image 14 when nothing).
    bool DescribeCall(HCALL call, CallDescription& out);
    // The call tree's row of a record: the description, then the running time of a call that has
    // connected and the touch tones sent on it. False as DescribeCall.
    bool DescribeCallRow(int record, CallDescription& out);
    // The first call in state OFFERING, 0 when none.
    HCALL FindOfferingCall();
    const CallRecord& CallAt(int index) const { return m_calls[index]; }
    CallRecord& CallAt(int index) { return m_calls[index]; }
    // The record index of the call, -1 when absent or 0.
    int IndexOfCall(HCALL call) const;
    // Either path may be left unchanged (null).
    void SetCallPaths(HCALL call, const std::string* recordingPath, const std::string* notesPath);
    void UpdateCallMenu(CallMenu& menu, HCALL call);

    // Placing calls and working on them.
    int PlaceCall(std::string_view destination, std::string_view displayableAddress,
        std::string_view calledParty, bool autoDrop);
    // Sends touch tones on a call of the table. While earlier digits are still being generated the
    // new ones wait and follow when those end, so none are lost. 1 when the digits went out or
    // wait, 0 when the line is not open, the call unknown or the generation refused.
    int SendDigits(HCALL call, std::string_view digits);
    // Starts the digits that wait on any call of the line, where nothing else is generated.
    void SendQueuedDigits();
    LONG AnswerCall(HCALL call);
    // Directed pickup (line_slot_pickup.cpp): answers here the call ringing at a colleague's
    // `address` that the line watches; `party` names the colleague in a failure's message. 1 when
    // the request went out (its failure is shown when it comes), 0 when it was refused (shown).
    int PickUp(std::string_view address, std::string_view party);
    void ShowPickupFailure(LONG result, const std::string& party, bool later);
    void DropCall(HCALL call);
    int DropAllCalls();
    // Puts a held call back (lineUnhold), any other call on hold (lineHold); the request id, or a
    // LINEERR_ code (negative) when the call is unknown or the request refused. A failure that the
    // line reports later (the far end of a SIP call refused) is shown in a message box.
    LONG ToggleHold(HCALL call);
    // Starts or resumes the call's recording (the port's result). A recording of another call that
    // was running when it gives way goes on when that call is connected again.
    int RecordCall(HCALL call);
    // Hands the call to `destination` (dialable); as ToggleHold. A failure that the line reports
    // later is shown in a message box.
    LONG BlindTransfer(HCALL call, std::string_view destination);
    void ShowTransferFailure();
    void ShowHoldFailure(bool hold);
    // The call's LINECALLFEATURE_ flags now (0 when TAPI cannot say).
    DWORD CallFeatures(HCALL call);
    // The call's LINECALLSTATE_ now (0 when TAPI cannot say).
    DWORD CallState(HCALL call);

    // Consultation transfer and conference (line_slot_consult.cpp). A line has at most one
    // consultation under way: a call held pending transfer, or a conference being set up, each
    // with its consultation call. Each returns the request id, or a LINEERR_ code (negative).
    // Holds `call` pending transfer and dials `destination` (dialable) on a consultation call.
    LONG StartTransfer(HCALL call, std::string_view destination);
    // Conferences `call` and dials `destination` on a consultation call; with `heldParty` (a held
    // call of the line) instead, joins that call at once.
    LONG StartConference(HCALL call, std::string_view destination, HCALL heldParty);
    bool HasConsultation() const { return m_consultation.first != 0; }
    // True when the consultation is ready for the next step: a transfer whose consulted party
    // rings or answered, or a conference whose consulted party answered.
    bool CanCompleteConsultation();
    bool IsTransferPending() const { return HasConsultation() && !m_consultation.conference; }
    // Hands the held call to the consulted party, or (`asConference`) joins all three.
    LONG CompleteTransfer(bool asConference);
    // Joins the consulted party to the conference being set up.
    LONG JoinConference();
    LONG RemoveFromConference(HCALL call);
    // The first held call of the line other than `except`, 0 when none.
    HCALL FirstHeldCall(HCALL except);
    // The first call of the table that is a party of `conference`, 0 when none.
    HCALL FirstPartyOf(HCALL conference) const;
    // Appends the parties of `conference` in the table, joined by " + " (a conference may join
    // calls of several lines: LineManager::ConferencePartyText).
    void AppendConferenceParties(HCALL conference, std::string& text);
    void ShowConsultationFailure(bool conference);
    // The call that Transfer and Conference act on when the user picked `call`: for any call of
    // the consultation under way its held call (transfer) or its conference call; else `call`.
    HCALL ActingCall(HCALL call) const;
    void OnReply(LONG requestId, LONG result);
    // LINE_GENERATE: `termination` is LINEGENERATETERM_DONE or LINEGENERATETERM_CANCEL.
    void OnGenerateDone(HCALL call, DWORD termination);

    // Outgoing calls that have gone, shown with their outcome for a while (oldest first).
    const std::vector<EndedCall>& EndedCalls() const { return m_endedCalls; }
    // Forgets the ended calls shown long enough; true when one went.
    bool ExpireEndedCalls(std::uint64_t now);

    // Call actions: appends the slot's candidates for the action; returns how many.
    int CollectActionTargets(int action, std::vector<ActionTarget>& list);

    // What the incoming-call handling and voice-mail answering keep in the slot.
    HCALL GetSetupCall() const { return m_setupCall; }
    int GetVoiceMailFlag() const { return m_voiceMailFlag; }
    void SetSetupCall(HCALL call, int voiceMail);
    HCALL GetIgnoredCall() const { return m_ignoredCall; }
    void SetIgnoredCall(HCALL call) { m_ignoredCall = call; }
    void SetPendingBeepRejectRequest(LONG request) { m_pendingBeepReject = request; }
    // The call is answered only to beep and hang up (its answer has not completed yet).
    bool IsBeingRejected(HCALL call) const
    {
        return call != 0 && call == m_ignoredCall && m_pendingBeepReject != 0;
    }
    void SetPendingAnswerRequest(LONG request) { m_pendingAnswer = request; }
    LONG GetLastRequest() const { return m_lastRequest; }

    // The slot's own audio engine: call recording records this line with it.
    WaveRecorder& GetRecorder() { return m_recorder; }

    // The headset hookswitch of the paired phone: microphone and speaker on, or on hook.
    LONG SetHeadset(bool on);
    // The paired phone's controls (line_slot_phone.cpp); each answers 0 without an open line or a
    // phone. `device` is a PHONEHOOKSWITCHDEV_ value.
    int IsHeadsetOn();
    int GetPhoneVolume(DWORD device, DWORD& volume);
    int SetPhoneVolume(DWORD device, DWORD volume);
    // Lets a recording play into the phone's handset (on) or gives the phone back to the line
    // (off). While on, `window` hears when the handset is put down; it must call this with off
    // before it goes away.
    LONG PlayToPhone(bool on, HandsetListener* window);

    // The window told about handset hook changes while a recording plays to the phone.
    HandsetListener* GetNotifyWindow() const { return m_notifyWindow; }
    void SetNotifyWindow(HandsetListener* window) { m_notifyWindow = window; }

private:
    TapiBinding& Tapi() const;
    void ReadDeviceIds();
    void OpenPhone(DWORD apiVersion, HPHONEAPP phoneApp);
    void TakeExistingCalls();
    CallRecord* FindFreeRecord();
    // A free record for a call we place or pick up; null on a closed line, or when the line has
    // no room (the user is told).
    CallRecord* RecordForNewCall();
    void ShowNoRoom();
    void ReportMakeCallFailure(LONG result, const std::string& party);
    void FollowConnection(HCALL call, DWORD state);
    void NoteOutcome(HCALL call, DWORD state, DWORD stateMode);
    std::string PlacedParty(LONG requestId) const;
    void AddEndedCall(CallOutcome outcome);
    void FinishDigitBatch(CallRecord& record, DWORD termination);
    void SendQueuedDigits(CallRecord& record);
    bool IsWarningUnderWay(HCALL call) const;
    bool HandleAutoDrop(HCALL call, DWORD state);
    void FollowRecording(HCALL call, DWORD state, DWORD param2);
    void FollowSetAsideRecording(HCALL call, DWORD state, DWORD param2);
    bool AutoRecords(HCALL call) const;
    HCALL RecordedCallOf(HCALL call) const;
    void RecordAutomatically(HCALL call);
    bool IsConsultationCall(HCALL call) const;
    bool IsConsultationAnchor(HCALL call) const;
    bool CanJoinConsultation();
    void FollowConference(HCALL call, DWORD state, DWORD param2);
    void FollowConsultation(HCALL call, DWORD state);
    bool OnConsultationReply(LONG requestId, LONG result);
    void StopRecordingOf(HCALL call);
    void CloseNotesOf(HCALL call);
    void OnCallIdle(HCALL call);
    void ShowKeypadTab(bool show);
    void ReleaseReservation(LONG requestId);
    bool IsActionCandidate(int action, HCALL call, DWORD state);
    void DiscardPhoneMessage();

    LineManager& m_manager;
    const int m_index;

    HLINE m_line = 0;
    DWORD m_deviceId = 0;
    int m_phoneDeviceId = -1;
    int m_waveInAuxDeviceId = -1;
    int m_waveInDeviceId = -1;
    int m_waveOutDeviceId = -1;
    std::string m_lineName;
    HCALL m_setupCall = 0;
    int m_voiceMailFlag = 0;
    // A connected call to record automatically once the ended setup call has gone.
    HCALL m_autoRecordCall = 0;
    LONG m_lastRequest = 0;
    std::array<CallRecord, kMaxCalls> m_calls;
    LONG m_pendingAutoDrop = 0;
    HCALL* m_autoDropHandleSlot = nullptr;
    HCALL m_autoDropCall = 0;
    LONG m_pendingBeepReject = 0;
    LONG m_pendingAnswer = 0;
    LONG m_pendingMakeCall = 0;
    LONG m_pendingPickup = 0;
    LONG m_pendingTransfer = 0;
    LONG m_pendingHold = 0;
    bool m_pendingHoldPutsOnHold = false; // lineHold, not lineUnhold
    // The consultation under way; the service writes the new calls' handles into it when the
    // request completes.
    struct Consultation {
        bool conference = false;
        // A transfer being completed as a conference: only the conference call is new.
        bool joining = false;
        HCALL first = 0;
        HCALL consult = 0;
        HCALL conferenceCall = 0;
        HCALL heldParty = 0;
        std::string destination;
        LONG request = 0;
    };
    Consultation m_consultation;
    HCALL m_ignoredCall = 0;
    HPHONE m_phone = 0;
    HandsetListener* m_notifyWindow = nullptr;
    std::vector<EndedCall> m_endedCalls;
    WaveRecorder m_recorder;
};
