#include "telephony/line_manager.h"

#include "settings/prompter.h"
#include "settings/settings_store.h"
#include "store/contact_store.h"
#include "store/vcard_contact.h"
#include "telephony/handset_listener.h"
#include "telephony/main_window_link.h"
#include "telephony/number_rules.h"
#include "telephony/tapi_binding.h"

#include <QCoreApplication>

#include <chrono>
#include <utility>

namespace {

// Assisted-telephony requests arrive with the registration instance (0) instead of a slot; they
// go to the one line manager that registered as request recipient.
LineManager* g_requestRecipient = nullptr;

constexpr DWORD kRequestModes = LINEREQUESTMODE_MAKECALL | LINEREQUESTMODE_MEDIACALL;

// A text marked in the LineManager context, in the user's language.
std::string Tr(const char* text)
{
    return QCoreApplication::translate("LineManager", text).toStdString();
}

std::string ActionButtonText(int action)
{
    switch (action) {
    case kActionDrop:
        return Tr(QT_TRANSLATE_NOOP("LineManager", "Drop call"));
    case kActionAnswer:
        return Tr(QT_TRANSLATE_NOOP("LineManager", "Answer"));
    case kActionRecord:
        return Tr(QT_TRANSLATE_NOOP("LineManager", "Record call"));
    case kActionPauseRecording:
        return Tr(QT_TRANSLATE_NOOP("LineManager", "Pause recording"));
    case kActionAddNote:
        return Tr(QT_TRANSLATE_NOOP("LineManager", "Add note to call"));
    case kActionHold:
        return Tr(QT_TRANSLATE_NOOP("LineManager", "Hold / take back"));
    case kActionTransfer:
        return Tr(QT_TRANSLATE_NOOP("LineManager", "Transfer"));
    case kActionConference:
        return Tr(QT_TRANSLATE_NOOP("LineManager", "Conference"));
    case kActionConsultTransfer:
        return Tr(QT_TRANSLATE_NOOP("LineManager", "Transfer after consulting"));
    default:
        return Tr(QT_TRANSLATE_NOOP("LineManager", "Unknown action"));
    }
}

} // namespace

LineManager::LineManager(TapiBinding& tapi, SettingsStore& settings, Prompter& prompter, CallLogger& logger,
    std::filesystem::path dataFolder)
    : m_tapi(tapi)
    , m_settings(settings)
    , m_prompter(prompter)
    , m_logger(logger)
    , m_dataFolder(std::move(dataFolder))
    , m_clock([] {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        return std::uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    })
{
    for (int index = 0; index < kSlotCount; ++index)
        m_slots[index] = std::make_unique<LineSlot>(*this, index);
    m_displayTimer.setInterval(kDisplayTickMs);
    QObject::connect(&m_displayTimer, &QTimer::timeout, [this] { Tick(); });
}

// The service keeps the slots as callback instances of their lines and phones: they are closed
// before the slots go, so that no message can reach a destroyed slot.
LineManager::~LineManager()
{
    m_sharedAudioEngine.ClosePlayback();
    m_sharedAudioEngine.StopRecording();
    CloseAllLines();
    Shutdown();
    if (g_requestRecipient == this)
        g_requestRecipient = nullptr;
}

void LineManager::SetRecordingPort(CallRecordingPort* recording)
{
    m_recording = recording ? recording : &m_noRecording;
}

void LineManager::SetIncomingPort(IncomingCallPort* incoming)
{
    m_incoming = incoming ? incoming : &m_noIncoming;
}

void LineManager::SetDefaultLine(int index)
{
    if (index >= 0 && index < kSlotCount)
        m_defaultLine = index;
}

MainWindowLink* LineManager::ReadyWindow() const
{
    return m_window && m_window->IsReady() ? m_window : nullptr;
}

// Both registrations use hidden-window notification: every callback runs on this thread, from the
// event loop (see TapiBinding::StartEventDelivery).
int LineManager::Initialize()
{
    m_apiVersion = TAPI_VERSION2_0;
    LINEINITIALIZEEXPARAMS lineParams{};
    lineParams.dwTotalSize = sizeof lineParams;
    lineParams.dwOptions = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
    if (m_tapi.lineInitializeExA(&m_lineApp, nullptr, &LineCallback, kApplicationName, &m_lineDeviceCount,
            &m_apiVersion, &lineParams)
        != 0) {
        m_lineApp = 0;
        return 0;
    }
    m_tapi.StartEventDelivery();
    if (IsSystemDialer())
        BecomeSystemDialer();
    else
        StopBeingSystemDialer();
    PHONEINITIALIZEEXPARAMS phoneParams{};
    phoneParams.dwTotalSize = sizeof phoneParams;
    phoneParams.dwOptions = PHONEINITIALIZEEXOPTION_USEHIDDENWINDOW;
    if (m_tapi.phoneInitializeExA(&m_phoneApp, nullptr, &PhoneCallback, kApplicationName, &m_phoneDeviceCount,
            &m_apiVersion, &phoneParams)
        != 0) {
        m_phoneApp = 0;
        return 0;
    }
    return 1;
}

// The phone application is left to the end of the process.
void LineManager::Shutdown()
{
    if (m_lineApp == 0)
        return;
    RegisterAsRequestRecipient(false);
    m_tapi.lineShutdown(m_lineApp);
    m_lineApp = 0;
}

// Dialing requests are served while the program is the system dialer, from the moment it becomes
// one (at start-up or when the setup dialog is saved) until it stops or shuts down.
void LineManager::RegisterAsRequestRecipient(bool enable)
{
    if (m_lineApp == 0 || enable == (g_requestRecipient == this))
        return;
    m_tapi.lineRegisterRequestRecipient(m_lineApp, 0, kRequestModes, enable ? 1 : 0);
    g_requestRecipient = enable ? this : nullptr;
}

void LineManager::CloseAllLines()
{
    m_colleagues.ForgetLines();
    for (auto& slot : m_slots)
        slot->CloseLine(m_lineApp, m_phoneApp);
}

std::vector<HLINE> LineManager::OpenLines() const
{
    std::vector<HLINE> lines;
    if (m_slots[m_defaultLine]->IsOpen())
        lines.push_back(m_slots[m_defaultLine]->GetLine());
    for (const auto& slot : m_slots)
        if (slot->IsOpen() && slot->Index() != m_defaultLine)
            lines.push_back(slot->GetLine());
    return lines;
}

// Only open lines are matched: a closed slot keeps the id of the device it last tried.
LineSlot* LineManager::FindSlotByDevice(DWORD deviceId, int* index)
{
    for (auto& slot : m_slots) {
        if (slot->IsOpen() && slot->GetDeviceId() == deviceId) {
            if (index)
                *index = slot->Index();
            return slot.get();
        }
    }
    if (index)
        *index = 0;
    return nullptr;
}

int LineManager::FindFreeLine()
{
    auto isFree = [](LineSlot& slot) { return slot.IsOpen() && !slot.IsBusy(); };
    if (isFree(*m_slots[m_defaultLine]))
        return m_defaultLine;
    for (auto& slot : m_slots)
        if (isFree(*slot))
            return slot->Index();
    return -1;
}

void LineManager::LineCallback(
    DWORD device, DWORD message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2, DWORD_PTR param3)
{
    if (message == LINE_REQUEST) {
        if (g_requestRecipient)
            g_requestRecipient->OnRequest(DWORD(param1));
        return;
    }
    if (instance == 0)
        return;
    auto& slot = *reinterpret_cast<LineSlot*>(instance);
    slot.Manager().OnLineMessage(slot, device, message, param1, param2, param3);
}

void LineManager::PhoneCallback(
    DWORD, DWORD message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2, DWORD_PTR)
{
    if (message != PHONE_STATE || instance == 0)
        return;
    auto& slot = *reinterpret_cast<LineSlot*>(instance);
    slot.Manager().OnPhoneMessage(slot, message, param1, param2);
}

void LineManager::OnLineMessage(
    LineSlot& slot, DWORD device, DWORD message, DWORD_PTR param1, DWORD_PTR param2, DWORD_PTR param3)
{
    switch (message) {
    case LINE_CALLSTATE:
        slot.OnCallState(HCALL(device), DWORD(param1), DWORD(param2), DWORD(param3));
        [[fallthrough]];
    case LINE_CALLINFO:
        if (message == LINE_CALLINFO && (DWORD(param1) & LINECALLINFOSTATE_CONNECTEDID))
            m_logger.RecordPartyChange(slot, HCALL(device));
        CancelCallSelection();
        m_incoming->UpdateIncomingPopups(slot, HCALL(device));
        RefreshAfterCallEvent(slot, HCALL(device));
        break;
    case LINE_APPNEWCALL:
        slot.AddNewCall(HCALL(param2));
        CancelCallSelection();
        m_incoming->UpdateIncomingPopups(slot, HCALL(param2));
        RefreshAfterNewCall();
        break;
    case LINE_LINEDEVSTATE:
        if (param1 == LINEDEVSTATE_RINGING)
            m_incoming->OnRing(slot, DWORD(param2), DWORD(param3));
        else if (param1 & (LINEDEVSTATE_INSERVICE | LINEDEVSTATE_OUTOFSERVICE | LINEDEVSTATE_DEVSPECIFIC))
            if (MainWindowLink* window = ReadyWindow())
                window->UpdateControls(); // the line buttons show the registration
        break;
    case LINE_REPLY:
        slot.OnReply(LONG(param1), LONG(param2));
        break;
    case LINE_DEVSPECIFIC:
        m_colleagues.OnDevSpecific(slot.GetLine(), param1, param2, param3);
        break;
    case LINE_GENERATE:
        slot.OnGenerateDone(HCALL(device), DWORD(param1));
        RefreshCallDisplay();
        break;
    default:
        break;
    }
}

void LineManager::OnPhoneMessage(LineSlot& slot, DWORD, DWORD_PTR param1, DWORD_PTR param2)
{
    if (param1 == PHONESTATE_HANDSETHOOKSWITCH && param2 == PHONEHOOKSWITCHMODE_ONHOOK
        && slot.GetNotifyWindow())
        slot.GetNotifyWindow()->OnHandsetPutDown();
}

LONG LineManager::PlaceRequestedCall(std::string_view number, std::string_view calledParty)
{
    LineSlot& slot = *m_slots[m_defaultLine];
    if (!slot.IsOpen())
        return LINEERR_NODEVICE;
    // Nothing to dial: refused without a message, so a flood of such requests shows the user nothing.
    if (number.find_first_of("0123456789") == std::string_view::npos)
        return LINEERR_INVALADDRESS;
    return slot.PlaceCall(number, number, calledParty, false) ? 0 : LONG(LINEERR_OPERATIONFAILED);
}

void LineManager::OnRequest(DWORD requestMode)
{
    LineSlot& slot = *m_slots[m_defaultLine];
    if (requestMode != LINEREQUESTMODE_MAKECALL) {
        slot.DropAllCalls();
        return;
    }
    LINEREQMAKECALL request{};
    m_tapi.lineGetRequestA(m_lineApp, LINEREQUESTMODE_MAKECALL, &request);
    request.szDestAddress[sizeof request.szDestAddress - 1] = '\0';
    request.szCalledParty[sizeof request.szCalledParty - 1] = '\0';
    // The requester (kestrium-dial, another program) learns whether the call was placed.
    m_tapi.tapiReportRequestOutcome(
        m_lineApp, PlaceRequestedCall(request.szDestAddress, request.szCalledParty));
}

LineManager::CallsInProgress LineManager::CountCallsInProgress()
{
    CallsInProgress found;
    for (const auto& slot : m_slots) {
        for (int index = 0; index < LineSlot::kMaxCalls; ++index)
            found.calls += slot->CallAt(index).call != 0 ? 1 : 0;
        found.recording = found.recording || slot->GetRecorder().IsRecording();
    }
    return found;
}

LineManager::LinesProblem LineManager::DescribeLinesProblem() const
{
    for (const auto& slot : m_slots)
        if (slot->IsOpen())
            return {};
    if (!m_tapi.LoadError().empty())
        return { QCoreApplication::translate("LineManager",
                     "Kestrium could not load its telephony service, so no telephone line can be used.\n\n"
                     "It looked for \"%1\" beside the program and on the system's library path:\n%2")
                     .arg(TapiBinding::kLibraryName, QString::fromStdString(m_tapi.LoadError()))
                     .toStdString(),
            QCoreApplication::translate(
                "LineManager", "No lines: the telephony service (%1) could not be loaded")
                .arg(TapiBinding::kLibraryName)
                .toStdString() };
    if (m_lineApp == 0)
        return { Tr(QT_TRANSLATE_NOOP("LineManager",
                     "The telephony service could not be started, so no telephone line can be used.")),
            Tr(QT_TRANSLATE_NOOP("LineManager", "No lines: the telephony service could not be started")) };
    return { QCoreApplication::translate("LineManager",
                 "No telephone line could be opened. The telephony service offers %1 line devices; choose "
                 "Kestrium's lines on the Telephony page of Setup.")
                 .arg(m_lineDeviceCount)
                 .toStdString(),
        Tr(QT_TRANSLATE_NOOP("LineManager", "No telephone line is open")) };
}

void LineManager::RefreshAfterCallEvent(LineSlot& slot, HCALL call)
{
    MainWindowLink* window = ReadyWindow();
    if (!window)
        return;
    window->UpdateControls();
    if (CallTreeView* tree = window->CallTree(); tree && !UpdateCallNode(*tree, slot.Index(), call))
        RebuildCallTree(*tree);
    RefreshCallDisplay();
}

void LineManager::RefreshAfterNewCall()
{
    MainWindowLink* window = ReadyWindow();
    if (!window)
        return;
    window->UpdateControls();
    window->ShowPage(WindowPage::Calls);
    if (CallTreeView* tree = window->CallTree())
        RebuildCallTree(*tree);
    RefreshCallDisplay();
}

void LineManager::CancelCallSelection()
{
    if (SelectCallDialog* dialog = std::exchange(m_openSelectCall, nullptr))
        dialog->Cancel();
}

int LineManager::GetTargetCallForAction(bool queryOnly, int action)
{
    std::vector<ActionTarget> targets;
    for (auto& slot : m_slots)
        if (slot->IsOpen())
            slot->CollectActionTargets(action, targets);
    if (queryOnly)
        return targets.empty() ? 0 : 1;
    if (targets.empty())
        return 0;
    if (targets.size() == 1)
        return PerformAction(action, targets.front());
    return RunSelectCallDialog(action, targets);
}

// While the dialog runs, a line event may cancel it (CancelCallSelection): its list would be stale.
int LineManager::RunSelectCallDialog(int action, const std::vector<ActionTarget>& targets)
{
    if (!m_selectCallFactory)
        return 0;
    std::vector<std::string> lines;
    for (const ActionTarget& target : targets) {
        CallDescription description;
        m_slots[target.slot]->DescribeCall(target.call, description);
        lines.push_back(description.text);
    }
    const std::unique_ptr<SelectCallDialog> dialog = m_selectCallFactory();
    SelectCallDialog* outer = std::exchange(m_openSelectCall, dialog.get());
    const SelectCallDialog::Result result
        = dialog->Run(lines, ActionButtonText(action), action == kActionDrop);
    m_openSelectCall = outer;
    switch (result) {
    case SelectCallDialog::Selected: {
        const int chosen = dialog->ChosenIndex();
        return chosen >= 0 && chosen < int(targets.size()) ? PerformAction(action, targets[chosen]) : 0;
    }
    case SelectCallDialog::DropAll:
        if (action != kActionDrop)
            return 0;
        for (auto& slot : m_slots)
            slot->DropAllCalls();
        return 1;
    case SelectCallDialog::Cancelled:
        break;
    }
    return 0;
}

int LineManager::PerformAction(int action, const ActionTarget& target)
{
    LineSlot& slot = *m_slots[target.slot];
    switch (action) {
    case kActionDrop:
        slot.DropCall(target.call);
        return 1;
    case kActionAnswer:
        return slot.AnswerCall(target.call) >= 0 ? 1 : 0;
    case kActionRecord:
        return slot.RecordCall(target.call);
    case kActionPauseRecording:
        return m_recording->PauseCallRecording(target.slot);
    case kActionAddNote:
        return m_recording->OpenNotes(target.slot, target.call);
    case kActionHold:
        return slot.ToggleHold(target.call) > 0 ? 1 : 0;
    case kActionTransfer:
        return TransferTo(target);
    case kActionConsultTransfer:
        return ConsultTransferTo(target);
    case kActionConference:
        return ConferenceWith(target);
    default:
        m_prompter.ShowMessage(Tr(QT_TRANSLATE_NOOP("LineManager", "GetTargetCallForAction: Unknown action")),
            "Kestrium", Prompter::Icon::None);
        return 0;
    }
}

ActionTarget LineManager::TargetOf(int action, const ActionTarget& selected)
{
    std::vector<ActionTarget> targets;
    for (auto& slot : m_slots)
        if (slot->IsOpen())
            slot->CollectActionTargets(action, targets);
    const HCALL acting = ActingCall(action, selected);
    for (const ActionTarget& target : targets)
        if (acting != 0 && target.call == acting && target.slot == selected.slot)
            return target;
    return targets.size() == 1 ? targets.front() : ActionTarget{};
}

// For Transfer and Conference a call picked out of a consultation under way stands for the
// consultation; the other actions take the call picked.
HCALL LineManager::ActingCall(int action, const ActionTarget& selected) const
{
    if (selected.call == 0 || selected.slot < 0 || selected.slot >= kSlotCount)
        return 0;
    const bool consultation = action == kActionTransfer || action == kActionConference;
    return consultation ? m_slots[selected.slot]->ActingCall(selected.call) : selected.call;
}

bool LineManager::Offers(int action, const ActionTarget& selected)
{
    if (selected.call == 0)
        return GetTargetCallForAction(true, action) != 0;
    const HCALL acting = ActingCall(action, selected);
    return acting != 0 && TargetOf(action, selected).call == acting;
}

int LineManager::RunAction(int action, const ActionTarget& selected)
{
    const ActionTarget target = TargetOf(action, selected);
    return target.call != 0 ? PerformAction(action, target) : GetTargetCallForAction(false, action);
}

bool LineManager::IsOnHold(const ActionTarget& target)
{
    CallDescription description;
    return target.call != 0 && target.slot >= 0 && target.slot < kSlotCount
        && m_slots[target.slot]->DescribeCall(target.call, description)
        && CallText::IsHeldState(description.state);
}

namespace {

constexpr const char* kNoTransferText = QT_TRANSLATE_NOOP("LineManager",
    "No call can be transferred now: only a connected call on a line that offers transfer can be.");
constexpr const char* kTransferNotReadyText = QT_TRANSLATE_NOOP(
    "LineManager", "The transfer can be completed once the called party's phone rings or they answer.");

} // namespace

bool LineManager::TransferCall(const ActionTarget& selected, const std::string& number)
{
    if (!IsTransferWaiting() && !NumberRules::LooksLikeNumber(number)) {
        ShowMessage(QT_TRANSLATE_NOOP("LineManager",
            "Type the number to transfer the call to in the search/dial box, then choose Transfer."));
        return false;
    }
    if (GetTargetCallForAction(true, kActionTransfer) == 0) {
        ShowMessage(IsTransferWaiting() ? kTransferNotReadyText : kNoTransferText);
        return false;
    }
    return RunWithNumber(kActionTransfer, selected, number);
}

bool LineManager::ConsultTransferCall(const ActionTarget& selected, const std::string& number)
{
    if (IsTransferWaiting())
        return TransferCall(selected, number);
    if (GetTargetCallForAction(true, kActionConsultTransfer) == 0) {
        ShowMessage(kNoTransferText);
        return false;
    }
    return RunWithNumber(kActionConsultTransfer, selected, number);
}

bool LineManager::ConferenceCall(const ActionTarget& selected, const std::string& number)
{
    if (GetTargetCallForAction(true, kActionConference) == 0) {
        ShowMessage(QT_TRANSLATE_NOOP("LineManager",
            "No conference can be made now: a conference starts from a connected call on a line that "
            "offers conferences, and the party you consulted can join once they answer."));
        return false;
    }
    return RunWithNumber(kActionConference, selected, number);
}

bool LineManager::RunWithNumber(int action, const ActionTarget& selected, const std::string& number)
{
    m_transferNumber = number;
    const int done = RunAction(action, selected);
    m_transferNumber.clear();
    return done > 0;
}

bool LineManager::IsTransferWaiting()
{
    for (auto& slot : m_slots)
        if (slot->IsOpen() && slot->IsTransferPending())
            return true;
    return false;
}

bool LineManager::DialableNumber(const LineSlot& slot, const char* missingText, std::string& dialable)
{
    if (!NumberRules::LooksLikeNumber(m_transferNumber)) {
        ShowMessage(missingText);
        return false;
    }
    std::string number = m_transferNumber;
    if (TranslateNumber(number, slot.GetDeviceId(), nullptr, &dialable))
        return true;
    ShowMessage(QT_TRANSLATE_NOOP("LineManager", "The number typed cannot be dialled on this line."));
    return false;
}

// A consultation under way on the line is completed; otherwise the call is handed to the typed
// number, made dialable for the call's own line as a dialled number is.
int LineManager::TransferTo(const ActionTarget& target)
{
    LineSlot& slot = *m_slots[target.slot];
    if (slot.IsTransferPending()) {
        if (slot.CompleteTransfer(false) > 0)
            return 1;
        slot.ShowConsultationFailure(false);
        return 0;
    }
    std::string number = m_transferNumber;
    std::string dialable;
    if (TranslateNumber(number, slot.GetDeviceId(), nullptr, &dialable)
        && slot.BlindTransfer(target.call, dialable) > 0)
        return 1;
    slot.ShowConsultationFailure(false);
    return 0;
}

int LineManager::ConsultTransferTo(const ActionTarget& target)
{
    LineSlot& slot = *m_slots[target.slot];
    std::string dialable;
    if (!DialableNumber(slot,
            QT_TRANSLATE_NOOP("LineManager",
                "Type the number to transfer the call to in the search/dial box, then choose Transfer "
                "after consulting."),
            dialable))
        return 0;
    if (slot.StartTransfer(target.call, dialable) > 0)
        return 1;
    slot.ShowConsultationFailure(false);
    return 0;
}

int LineManager::ConferenceWith(const ActionTarget& target)
{
    LineSlot& slot = *m_slots[target.slot];
    LONG result = 0;
    if (slot.HasConsultation()) {
        result = slot.IsTransferPending() ? slot.CompleteTransfer(true) : slot.JoinConference();
    } else if (slot.CallFeatures(target.call) & LINECALLFEATURE_REMOVEFROMCONF) {
        result = slot.RemoveFromConference(target.call);
    } else {
        // The typed number is called; without one a held call joins.
        const HCALL held = NumberRules::LooksLikeNumber(m_transferNumber) ? 0 : HeldCallToJoin(target);
        std::string dialable;
        if (held == 0
            && !DialableNumber(slot,
                QT_TRANSLATE_NOOP("LineManager",
                    "Type the number of the party to add in the search/dial box, or hold a call, then "
                    "choose Conference."),
                dialable))
            return 0;
        result = slot.StartConference(target.call, dialable, held);
    }
    if (result > 0)
        return 1;
    slot.ShowConsultationFailure(true);
    return 0;
}

// A call of another line joins too: the service mixes it on the conference's line.
HCALL LineManager::HeldCallToJoin(const ActionTarget& target)
{
    if (const HCALL held = m_slots[target.slot]->FirstHeldCall(target.call))
        return held;
    for (auto& slot : m_slots)
        if (slot.get() != m_slots[target.slot].get() && slot->IsOpen())
            if (const HCALL held = slot->FirstHeldCall(0))
                return held;
    return 0;
}

std::string LineManager::ConferencePartyText(HCALL conference)
{
    std::string text;
    for (auto& slot : m_slots)
        if (slot->IsOpen())
            slot->AppendConferenceParties(conference, text);
    return text;
}

void LineManager::ShowMessage(const char* text)
{
    m_prompter.ShowMessage(Tr(text), kApplicationName, Prompter::Icon::Exclamation);
}

CallParty LineManager::NamedParty(CallParty party, std::string& name) const
{
    const bool named = (party.callerIdFlags & LINECALLPARTYID_NAME) && !party.callerName.empty();
    if (m_contacts == nullptr || named || !CallText::IsIncomingOrigin(party.origin)
        || !(party.callerIdFlags & LINECALLPARTYID_ADDRESS))
        return party;
    const std::string_view number = CallText::SkipBlanks(party.callerNumber);
    const ContactRecord* contact = number.empty() ? nullptr : m_contacts->FindByNumber(number);
    if (contact == nullptr)
        return party;
    name = VCardContact::PlainName(*contact);
    if (name.empty())
        name = contact->Company();
    if (!name.empty()) {
        party.callerName = name;
        party.callerIdFlags |= LINECALLPARTYID_NAME;
    }
    return party;
}
