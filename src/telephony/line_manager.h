#pragma once

#include "telephony/call_logger.h"
#include "telephony/call_recording_port.h"
#include "telephony/call_tree_view.h"
#include "telephony/colleague_lines.h"
#include "telephony/device_map.h"
#include "telephony/incoming_call_port.h"
#include "telephony/line_slot.h"
#include "telephony/select_call_dialog.h"

#include <QTimer>

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

class ContactStore;
class DeviceChoiceList;
class MainWindowLink;
class RedialStore;
class Prompter;
class SettingsStore;
class TapiBinding;

// The single owner of the program's TAPI line and phone applications and of the six line slots,
// with each slot's configured device name and label and the default line. Its two callbacks
// receive every line and phone event and route each to the code that handles it, then refresh the
// main window.
class LineManager {
public:
    static constexpr int kSlotCount = DeviceMap::kSlotCount;
    static constexpr const char* kApplicationName = "Kestrium";

    using SelectCallDialogFactory = std::function<std::unique_ptr<SelectCallDialog>()>;
    // Milliseconds on a steady clock: call durations and how long outcomes stay shown.
    using Clock = std::function<std::uint64_t()>;
    static constexpr int kDisplayTickMs = 1000;

    LineManager(TapiBinding& tapi, SettingsStore& settings, Prompter& prompter, CallLogger& logger,
        std::filesystem::path dataFolder);
    ~LineManager();
    LineManager(const LineManager&) = delete;
    LineManager& operator=(const LineManager&) = delete;

    // The parts of the program that the line events reach; each may be left unset. A port must
    // outlive the manager, or be unset before it goes; so must the window, which closing the lines
    // also reaches (the call lists are refilled when their calls are logged).
    void SetMainWindow(MainWindowLink* window) { m_window = window; }
    void SetRecordingPort(CallRecordingPort* recording);
    void SetIncomingPort(IncomingCallPort* incoming);
    void SetSelectCallDialogFactory(SelectCallDialogFactory factory)
    {
        m_selectCallFactory = std::move(factory);
    }

    // The contacts that name a caller whose caller id gives a number without a name; unset: none.
    // The store must outlive the manager, or be unset before it goes.
    void SetContacts(const ContactStore* contacts) { m_contacts = contacts; }
    // The caller-id facts of an incoming call with the name of the contact that holds its number
    // when the caller id gives none; `name` holds that name for as long as the party is used.
    CallParty NamedParty(CallParty party, std::string& name) const;

    // Replaces the steady clock (tests run on the exchange's clock).
    void SetClock(Clock clock) { m_clock = std::move(clock); }
    std::uint64_t Now() const { return m_clock(); }

    // Start-up and shutdown.
    int Initialize();
    void Shutdown();
    void OpenAllLines();
    void CloseAllLines();

    // The system dialer (line_manager_dialer.cpp): the system's hand-off values name the program
    // and it serves other applications' dialing requests. Start-up and the setup dialog switch it.
    bool IsSystemDialer() const;
    void BecomeSystemDialer();
    void StopBeingSystemDialer();

    LineSlot& GetLineSlot(int index) { return *m_slots[index]; }
    // Colleagues' lines watched through the program's SIP line (the default line when it is one).
    ColleagueLines& Colleagues() { return m_colleagues; }
    // Answers here the call ringing at a colleague's `number` (directed pickup) on the line that
    // watches it; `name` names the colleague in a failure's message. A failure is shown.
    void PickUpColleague(std::string_view number, std::string_view name);
    // Plays every recording and records greetings and beeps in setup.
    WaveRecorder& GetSharedAudioEngine() { return m_sharedAudioEngine; }
    int GetDefaultLine() const { return m_defaultLine; }
    void SetDefaultLine(int index);
    HLINEAPP GetLineApp() const { return m_lineApp; }
    HPHONEAPP GetPhoneApp() const { return m_phoneApp; }
    DWORD GetApiVersion() const { return m_apiVersion; }
    DWORD GetLineDeviceCount() const { return m_lineDeviceCount; }

    // Configured devices and labels.
    const std::string& GetDeviceName(int slot) const { return m_deviceMap.GetDeviceName(slot); }
    void SetDeviceName(int slot, std::string_view name) { m_deviceMap.SetDeviceName(slot, name); }
    const std::string& GetLineLabel(int slot) const { return m_deviceMap.GetLineLabel(slot); }
    void SetLineLabel(int slot, std::string_view label) { m_deviceMap.SetLineLabel(slot, label); }
    std::string GetDisplayName(int slot) const { return m_deviceMap.GetDisplayName(slot); }
    void LoadDeviceMap(const std::filesystem::path& path) { m_deviceMap.Load(path); }
    bool SaveDeviceMap(const std::filesystem::path& path) const { return m_deviceMap.Save(path); }
    std::filesystem::path DeviceMapPath() const { return m_dataFolder / DeviceMap::kFileName; }
    const std::filesystem::path& DataFolder() const { return m_dataFolder; }

    // The first slot whose device id is `deviceId`, or null; `index` is 0 when none matches.
    LineSlot* FindSlotByDevice(DWORD deviceId, int* index = nullptr);
    // The default line if it is open and idle, else the first open idle slot, else -1.
    int FindFreeLine();
    // Fills the setup page's six device lists, all but `exceptSlot` (-1: all).
    void FillDeviceChoices(const std::array<DeviceChoiceList*, kSlotCount>& lists, int exceptSlot);
    void ShowLineConfig(DWORD deviceId, HWND owner);
    // The registration of a SIP line as the service reports it: in service or not, and the state
    // in words ("registered", "the registrar refused: 403 Forbidden"). False for a slot without
    // an open line or whose line is no SIP line.
    struct ServiceState {
        bool inService = false;
        std::string text;
    };
    bool GetServiceState(int slot, ServiceState& state);
    // Asks the service to apply the exchange configuration file's SIP accounts now; false with
    // the service's reason in `error`.
    bool ReloadExchangeConfig(std::string& error);

    // The keypad tab's tree of lines and calls.
    void RebuildCallTree(CallTreeView& tree);
    bool UpdateCallNode(CallTreeView& tree, int slot, HCALL call);
    int GetLineImage(int slot);
    // Brings the call rows (running times, digits, outcomes) and the status bar up to date,
    // forgets outcomes shown long enough, and runs the once-a-second timer only while a call is
    // connected or an outcome is shown.
    void RefreshCallDisplay();
    // The same after the calls changed in a way no call event reports (a call failed to start).
    void RebuildCallDisplay();
    // What the timer runs: digits that waited for a warning tone go out, then the refresh.
    void Tick();
    bool IsDisplayTimerRunning() const { return m_displayTimer.isActive(); }

    // Cleans and translates a typed number into a dialable string for the line device. The number
    // is edited in place; both outputs may be null.
    bool TranslateNumber(
        std::string& number, DWORD deviceId, std::string* displayable, std::string* dialable);
    // Places a call to a typed number on a free line; false when no line is free, the number cannot
    // be made dialable or the call is refused.
    bool DialNumber(const std::string& name, const std::string& number);
    // Dials what the user chose in the search/dial box or the contacts: the pair goes on top of the
    // redial list and the redial file in the data folder is saved first, even when no line is free.
    bool DialAndRemember(RedialStore& redial, const std::string& name, const std::string& number);
    // A dialing request (another application's, or a clicked link's): the number goes to the
    // default line as it stands, unchanged. 0 when the call was placed, else a LINEERR_ code
    // (LINEERR_NODEVICE when the default line is not open, LINEERR_INVALADDRESS without a message
    // when the number holds no digit).
    LONG PlaceRequestedCall(std::string_view number, std::string_view calledParty);

    // Why no telephone line can be used, in plain words: a message for a box (with the reason and
    // the file looked for when the telephony service could not be loaded) and a short text for the
    // status bar. Both empty while at least one line is open.
    struct LinesProblem {
        std::string message;
        std::string brief;
    };
    LinesProblem DescribeLinesProblem() const;

    // What ending the program now would cut off: the calls on every line, and whether any line is
    // recording (a call or a voice message).
    struct CallsInProgress {
        int calls = 0;
        bool recording = false;
    };
    CallsInProgress CountCallsInProgress();
    // A line carries a call, or shows the outcome of one that ended.
    bool HasCallsToShow();

    // Call actions of the tool bar and menus.
    int GetTargetCallForAction(bool queryOnly, int action);
    void CancelCallSelection();
    // Hold and Transfer work on `selected` (the call selected in the call tree, call 0 for none)
    // when it can take the action, else on the only call that can, else on the call the user
    // picks in a "Select call" dialog. The target without asking: call 0 when none or several.
    ActionTarget TargetOf(int action, const ActionTarget& selected);
    int RunAction(int action, const ActionTarget& selected);
    // Whether the command can act on `selected` (without a selection: on any call); the call
    // tree's selection enables Transfer and Conference by it.
    bool Offers(int action, const ActionTarget& selected);
    // True when the call is on hold.
    bool IsOnHold(const ActionTarget& target);
    // Transfers a call to a typed number. A message box says why nothing was done: no number, no
    // call that can be transferred, or the line refused. True when the transfer was requested.
    // While a consultation transfer waits, completes it instead (the number is not needed then).
    bool TransferCall(const ActionTarget& selected, const std::string& number);
    // Holds a call pending transfer and calls the typed number on a consultation call; Transfer
    // then completes the transfer, dropping the consultation call takes the first call back.
    bool ConsultTransferCall(const ActionTarget& selected, const std::string& number);
    // Conference: joins the party consulted (a conference being set up, or a consultation
    // transfer), takes a party out of its conference, or starts a conference of a connected call
    // and the typed number (none typed: a held call, of its line first, else of another line). As
    // TransferCall.
    bool ConferenceCall(const ActionTarget& selected, const std::string& number);
    // "5551234 + 5550199": the parties of a conference call, which may be calls of several lines.
    std::string ConferencePartyText(HCALL conference);

    // The TAPI callbacks. The callback instance is the LineSlot of the line or phone.
    static void LineCallback(DWORD device, DWORD message, DWORD_PTR instance, DWORD_PTR param1,
        DWORD_PTR param2, DWORD_PTR param3);
    static void PhoneCallback(DWORD device, DWORD message, DWORD_PTR instance, DWORD_PTR param1,
        DWORD_PTR param2, DWORD_PTR param3);

    // For the slots.
    TapiBinding& Tapi() const { return m_tapi; }
    SettingsStore& Settings() const { return m_settings; }
    Prompter& GetPrompter() const { return m_prompter; }
    CallLogger& Logger() const { return m_logger; }
    CallRecordingPort& Recording() const { return *m_recording; }
    IncomingCallPort& Incoming() const { return *m_incoming; }
    // The main window once it is ready, else null.
    MainWindowLink* ReadyWindow() const;

private:
    void OnLineMessage(
        LineSlot& slot, DWORD device, DWORD message, DWORD_PTR param1, DWORD_PTR param2, DWORD_PTR param3);
    void OnPhoneMessage(LineSlot& slot, DWORD message, DWORD_PTR param1, DWORD_PTR param2);
    void OnRequest(DWORD requestMode);
    // The open lines, the default line first: those that may watch colleagues' lines.
    std::vector<HLINE> OpenLines() const;
    void RegisterAsRequestRecipient(bool enable);
    void RefreshAfterCallEvent(LineSlot& slot, HCALL call);
    void RefreshAfterNewCall();
    void AddCallNodes(CallTreeView& tree, CallTreeView::Node lineNode, LineSlot& slot);
    void AddEndedCallNodes(CallTreeView& tree, CallTreeView::Node lineNode, const LineSlot& slot);
    int RefreshCallNodes(CallTreeView& tree, HCALL onlyCall);
    std::string StatusText();
    bool NeedsDisplayTimer() const;

    // Device pairing.
    struct DeviceCaps;
    bool ReadDeviceCaps(DWORD deviceId, DeviceCaps& caps);
    bool OpenSlotOn(int slot, DWORD deviceId, const std::string& name);
    bool OpenConfiguredLine(int slot);
    void ApplyHeadsetSetting(int slot);
    int PairSlots(int firstSlot, int endSlot, bool byMarker);
    bool IsTakenByLowerSlot(int slot, const std::string& name) const;
    void FillDeviceChoice(DeviceChoiceList& list, int slot, int exceptSlot,
        const std::array<DeviceChoiceList*, kSlotCount>& lists);
    bool IsNameTakenElsewhere(const std::string& name, int slot, int exceptSlot,
        const std::array<DeviceChoiceList*, kSlotCount>& lists) const;

    int PerformAction(int action, const ActionTarget& target);
    int TransferTo(const ActionTarget& target);
    int ConsultTransferTo(const ActionTarget& target);
    HCALL ActingCall(int action, const ActionTarget& selected) const;
    int ConferenceWith(const ActionTarget& target);
    // The held call that joins a conference of `target` without a typed number: one of its line,
    // else one of another open line; 0 when none.
    HCALL HeldCallToJoin(const ActionTarget& target);
    // The typed number made dialable for the slot's line; false (and a message) when it cannot be.
    bool DialableNumber(const LineSlot& slot, const char* missingText, std::string& dialable);
    // Runs `action` with the number TransferCall and its kin were given.
    bool RunWithNumber(int action, const ActionTarget& selected, const std::string& number);
    bool IsTransferWaiting();
    void ShowMessage(const char* text);
    int RunSelectCallDialog(int action, const std::vector<ActionTarget>& targets);

    TapiBinding& m_tapi;
    SettingsStore& m_settings;
    Prompter& m_prompter;
    CallLogger& m_logger;
    std::filesystem::path m_dataFolder;

    DeviceMap m_deviceMap;
    DWORD m_apiVersion = TAPI_VERSION2_0;
    HLINEAPP m_lineApp = 0;
    DWORD m_lineDeviceCount = 0;
    HPHONEAPP m_phoneApp = 0;
    DWORD m_phoneDeviceCount = 0;
    int m_defaultLine = 0;
    Clock m_clock;
    QTimer m_displayTimer;

    WaveRecorder m_sharedAudioEngine;
    // Declared before the slots: the slots use them while they are destroyed.
    NoCallRecording m_noRecording;
    NoIncomingCalls m_noIncoming;
    CallRecordingPort* m_recording = &m_noRecording;
    IncomingCallPort* m_incoming = &m_noIncoming;
    std::array<std::unique_ptr<LineSlot>, kSlotCount> m_slots;
    ColleagueLines m_colleagues{ m_tapi };

    MainWindowLink* m_window = nullptr;
    const ContactStore* m_contacts = nullptr;
    SelectCallDialogFactory m_selectCallFactory;
    SelectCallDialog* m_openSelectCall = nullptr;
    // The number TransferCall hands its call to, while it runs.
    std::string m_transferNumber;
};
