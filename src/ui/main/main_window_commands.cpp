// The main window's commands and events: tool bars, line and headset buttons, Call and End, the
// search/dial box with its clear button and redial pop-up, the indicators and the keyboard.
#include "ui/main/main_window.h"

#include "settings/prompter.h"
#include "settings/settings_store.h"
#include "store/call_log_store.h"
#include "store/redial_store.h"
#include "telephony/action_target.h"
#include "telephony/line_manager.h"
#include "telephony/number_rules.h"
#include "ui/panels/call_log_panel.h"
#include "ui/panels/contact_tree_model.h"
#include "ui/panels/contacts_panel.h"
#include "ui/panels/dial_pad_panel.h"

#include <QAbstractButton>
#include <QAction>
#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

#include <QFileDialog>

#include <algorithm>
#include <memory>
#include <string>

namespace {

constexpr const char* kTitle = "Kestrium";
constexpr const char* kVCard4Filter = "vCard 4.0 (*.vcf)";
constexpr const char* kVCard3Filter = "vCard 3.0 (*.vcf)";
// A long list of refused cards is cut in the message box; the rest is counted.
constexpr std::size_t kProblemsShown = 12;

} // namespace

// The window's commands as named actions. Shortcuts: Ctrl+Return calls (or answers), Ctrl+D ends
// a call, Ctrl+R records, Ctrl+H holds or takes back a call, Ctrl+F goes to the search/dial box,
// Ctrl+Q exits. None of them is a key the search/dial box uses itself.
void MainWindow::CreateCommands()
{
    CreateNotAvailable("actionDoNotDisturb", tr("&Do not disturb"),
        tr("Do Not Disturb: Mute incoming calls alerts"), tr("N/A: Do not disturb"))
        ->setCheckable(true);
    CreateNotAvailable(
        "actionQueueCall", tr("&Queue call"), tr("Create / Manage Queue call"), tr("N/A: Calls Queue"));
    CreateCommand("actionConference", tr("Con&ference"),
        tr("Conference: add the number typed in the search/dial box (or a held call) to the selected "
           "call, join the party you called, or take the selected party out of its conference"),
        &MainWindow::Conference);
    // The application runs the PBX and setup dialogs; after setup it refreshes the lines.
    connect(CreateAction("actionPbxControl", tr("&PBX control..."), tr("PBX Control")), &QAction::triggered,
        this, &MainWindow::pbxControlRequested);
    connect(
        CreateAction("actionSetup", tr("&Setup..."), tr("Setup ..."), QKeySequence(Qt::CTRL | Qt::Key_Comma)),
        &QAction::triggered, this, &MainWindow::setupRequested);
    m_recordAction = CreateCommand("actionRecord", tr("&Record"), tr("Start/stop call recording"),
        &MainWindow::Record, QKeySequence(Qt::CTRL | Qt::Key_R));
    m_notesAction = CreateCommand(
        "actionAddNotes", tr("Add &notes"), tr("Add Notes to call recording"), &MainWindow::AddNote);
    CreateNotAvailable(
        "actionMute", tr("&Mute"), tr("Mute Telephone's / Headset's Microphone"), tr("N/A: Mute"))
        ->setCheckable(true);
    m_holdAction = CreateCommand("actionHold", tr("&Hold"), tr("Hold the selected call, or take it back"),
        &MainWindow::Hold, QKeySequence(Qt::CTRL | Qt::Key_H));
    m_holdAction->setCheckable(true);
    m_holdAction->setEnabled(false);
    CreateCommand("actionTransfer", tr("&Transfer"),
        tr("Transfer the selected call to the number typed in the search/dial box, or complete the "
           "transfer after consulting"),
        &MainWindow::Transfer);
    CreateCommand("actionConsultTransfer", tr("Transfer after &consulting"),
        tr("Hold the selected call and call the number typed in the search/dial box; then Transfer "
           "hands the call over, and End on the new call takes the first one back"),
        &MainWindow::ConsultTransfer);
    m_callActions = { { Action("actionTransfer"), kActionTransfer },
        { Action("actionConsultTransfer"), kActionConsultTransfer },
        { Action("actionConference"), kActionConference } };
    CreateNotAvailable("actionInstantMessage", tr("&Instant message"),
        tr("Send Analog phone instant short message"), tr("N/A: Instant Message"));
    m_callAction = CreateCommand("actionCall", tr("&Call"),
        tr("Call the selected contact or the number typed, or answer a ringing call"), &MainWindow::Call,
        QKeySequence(Qt::CTRL | Qt::Key_Return));
    m_callAction->setShortcuts({ m_callAction->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Enter) });
    m_endAction = CreateCommand("actionEnd", tr("&End call"), tr("End the selected call"), &MainWindow::End,
        QKeySequence(Qt::CTRL | Qt::Key_D));
    m_endAction->setEnabled(false);
    connect(CreateAction("actionSearch", tr("&Search contacts/dial number"),
                tr("Enter text to search contacts, or a number to dial manually"), QKeySequence::Find),
        &QAction::triggered, this, &MainWindow::FocusSearchField);
    connect(CreateAction("actionImport", tr("&Import ..."), tr("Import contacts from a vCard file")),
        &QAction::triggered, this, &MainWindow::ImportContacts);
    connect(CreateAction("actionExport", tr("&Export ..."), tr("Export the contacts to a vCard file")),
        &QAction::triggered, this, &MainWindow::ExportContacts);
    // Run by the shared address book, which enables it while an account is set and no sync runs.
    CreateAction("actionSyncAddressBook", tr("S&ynchronise address book now"),
        tr("Send this seat's contact changes to the shared address book and take in its changes now"))
        ->setEnabled(false);
    connect(CreateAction("actionExit", tr("E&xit"), tr("Exit Kestrium"), QKeySequence(Qt::CTRL | Qt::Key_Q)),
        &QAction::triggered, this, &QWidget::close);
    for (int slot = 0; slot < LineManager::kSlotCount; ++slot) {
        QAction* line
            = CreateAction(qPrintable(QString("actionLine%1").arg(slot + 1)), QString::number(slot + 1), {});
        connect(line, &QAction::triggered, this, [this, slot] {
            SelectLine(slot);
            UpdateControls();
        });
        m_lineActions.push_back(line);
        QAction* headset = CreateAction(qPrintable(QString("actionHeadset%1").arg(slot + 1)),
            tr("Handset, line %1").arg(slot + 1), tr("Toggle handset/headset"));
        connect(headset, &QAction::triggered, this, [this, slot] {
            ToggleHeadset(slot);
            UpdateControls();
        });
        m_headsetActions.push_back(headset);
    }
}

// A command of the window: its shortcut is shown in its tool tip and works wherever the focus is
// in the window.
QAction* MainWindow::CreateAction(
    const char* name, const QString& text, const QString& tip, const QKeySequence& shortcut)
{
    auto* action = new QAction(text, this);
    action->setObjectName(name);
    action->setShortcut(shortcut);
    action->setToolTip(
        shortcut.isEmpty() ? tip : tr("%1 (%2)").arg(tip, shortcut.toString(QKeySequence::NativeText)));
    addAction(action);
    return action;
}

// A command after which the controls are refreshed: it may have changed what the others can do.
QAction* MainWindow::CreateCommand(const char* name, const QString& text, const QString& tip,
    void (MainWindow::*run)(), const QKeySequence& shortcut)
{
    QAction* action = CreateAction(name, text, tip, shortcut);
    connect(action, &QAction::triggered, this, [this, run] {
        (this->*run)();
        UpdateControls();
    });
    return action;
}

// A function the program does not offer: it says so, and a toggle does not stay checked.
QAction* MainWindow::CreateNotAvailable(
    const char* name, const QString& text, const QString& tip, const QString& message)
{
    QAction* action = CreateAction(name, text, tip);
    connect(action, &QAction::triggered, this, [this, action, message] {
        action->setChecked(false);
        m_prompter.ShowMessage(message.toStdString(), kTitle, Prompter::Icon::Information);
    });
    return action;
}

QAction* MainWindow::Action(const QString& objectName) const
{
    return findChild<QAction*>(objectName, Qt::FindDirectChildrenOnly);
}

void MainWindow::OnTabChanged(int index)
{
    FocusPage(index);
    UpdateControls();
}

// The page of the selected tab takes the focus; the call log counts its missed calls as seen.
void MainWindow::FocusPage(int index)
{
    switch (index) {
    case kContactsTab:
        m_searchField->setFocus();
        break;
    case kKeypadTab:
        m_dialPad->Tree()->setFocus();
        break;
    case kCallLogTab:
        m_callLog->List()->setFocus();
        m_callLog->MarkMissedViewed();
        break;
    default:
        break;
    }
}

// Ctrl+F: as a click in the box, it brings up the Contacts tab, and what the box holds is selected
// so that typing replaces it. The selection waits until the tab has changed: that removes it.
void MainWindow::FocusSearchField()
{
    m_searchField->setFocus(Qt::ShortcutFocusReason);
    QMetaObject::invokeMethod(m_searchField, &QLineEdit::selectAll, Qt::QueuedConnection);
}

void MainWindow::SelectContactsTab()
{
    ShowTab(kContactsTab);
    m_searchField->deselect();
}

// Pausing comes first; a recording started or resumed is shown with its call.
void MainWindow::Record()
{
    if (m_lines.GetTargetCallForAction(true, kActionPauseRecording) != 0) {
        m_lines.GetTargetCallForAction(false, kActionPauseRecording);
        return;
    }
    if (m_lines.GetTargetCallForAction(true, kActionRecord) != 0
        && m_lines.GetTargetCallForAction(false, kActionRecord) > 0 && CurrentTab() != kKeypadTab)
        ShowTab(kKeypadTab);
}

void MainWindow::AddNote()
{
    m_lines.GetTargetCallForAction(false, kActionAddNote);
}

void MainWindow::SelectLine(int slot)
{
    m_lines.SetDefaultLine(slot);
    m_lines.RebuildCallTree(*m_dialPad->CallTree());
}

void MainWindow::ToggleHeadset(int slot)
{
    LineSlot& line = m_lines.GetLineSlot(slot);
    line.SetHeadset(line.IsHeadsetOn() == 0);
    m_settings.Write(Settings::kLineHeadset, line.IsHeadsetOn() != 0 ? 1 : 0, slot + 1);
    m_lines.RebuildCallTree(*m_dialPad->CallTree());
}

// A ringing call is answered whatever the tab; true when there was one.
bool MainWindow::AnswerRingingCall()
{
    if (m_lines.GetTargetCallForAction(true, kActionAnswer) == 0)
        return false;
    m_lines.GetTargetCallForAction(false, kActionAnswer);
    return true;
}

QString MainWindow::TypedText() const
{
    return m_searchField->text().left(kSearchTextLimit).trimmed();
}

// The search/dial box's text when it is a number, not a name: dialled as typed.
bool MainWindow::DialTypedNumber()
{
    const std::string text = TypedText().toStdString();
    if (!NumberRules::LooksLikeNumber(text))
        return false;
    m_dialledText = TypedText();
    m_lines.DialAndRemember(m_redial, std::string(), text);
    UpdateSearchButtons();
    return true;
}

// A ringing call is answered whatever the tab; otherwise the selected tab's call.
void MainWindow::Call()
{
    if (AnswerRingingCall())
        return;
    switch (CurrentTab()) {
    case kContactsTab:
        m_dialledText = TypedText();
        m_contacts->ActivateSelection(false);
        break;
    case kKeypadTab:
        if (!m_dialPad->Call() && HoldsDialableNumber()) {
            m_dialledText = TypedText();
            // The keypad's digits did not filter the tree while they were typed: they do now, so
            // that the typed number is what gets dialled, not a contact selected before.
            SelectContactsTab();
            m_contacts->SetSearchText(m_searchField->text());
            m_contacts->ActivateSelection(false);
        }
        break;
    case kCallLogTab:
        m_callLog->CallSelected();
        break;
    default:
        m_voiceMail->CallSelected();
        break;
    }
}

void MainWindow::End()
{
    if (CurrentTab() == kKeypadTab) {
        const DialPadPanel::Selection selected = m_dialPad->SelectedCall();
        if (selected.line >= 0 && selected.call != 0) {
            m_lines.GetLineSlot(selected.line).DropCall(selected.call);
            return;
        }
    }
    if (m_lines.GetTargetCallForAction(false, kActionDrop) > 0
        && m_lines.GetTargetCallForAction(true, kActionDrop) != 0)
        return;
    if (CurrentTab() == kKeypadTab)
        m_dialPad->Tree()->setFocus();
}

// The call selected in the keypad tab's tree; call 0 on the other tabs or without one.
ActionTarget MainWindow::SelectedCall() const
{
    if (CurrentTab() != kKeypadTab)
        return {};
    const DialPadPanel::Selection selected = m_dialPad->SelectedCall();
    return selected.line >= 0 ? ActionTarget{ selected.call, selected.line } : ActionTarget{};
}

void MainWindow::Hold()
{
    m_lines.RunAction(kActionHold, SelectedCall());
}

// The number to transfer to, or to add to a conference, is the one typed in the search/dial box;
// it is cleared once used, as the clear button does (on Active Calls the tab stays).
void MainWindow::Transfer()
{
    RunWithTypedNumber(&LineManager::TransferCall);
}

void MainWindow::ConsultTransfer()
{
    RunWithTypedNumber(&LineManager::ConsultTransferCall);
}

void MainWindow::Conference()
{
    RunWithTypedNumber(&LineManager::ConferenceCall);
}

void MainWindow::RunWithTypedNumber(bool (LineManager::*run)(const ActionTarget&, const std::string&))
{
    const QString text = TypedText();
    const std::string number = text == m_dialledText ? std::string() : text.toStdString();
    if ((m_lines.*run)(SelectedCall(), number))
        ClearSearchField();
}

void MainWindow::ClearRedialList()
{
    if (!m_prompter.AskYesNo(tr("Are you sure ?").toStdString(), tr("Clear redial list").toStdString()))
        return;
    m_redial.Reset();
    m_redial.Save(m_lines.DataFolder() / RedialStore::kFileName);
}

QMenu* MainWindow::CreateRedialMenu(QWidget* parent)
{
    auto* menu = new QMenu(parent);
    QAction* separator = menu->addSeparator();
    QAction* viewLog = menu->addAction(tr("View call &log"));
    viewLog->setObjectName("actionViewCallLog");
    connect(viewLog, &QAction::triggered, this, [this] { ShowTab(kCallLogTab); });
    QAction* clear = menu->addAction(tr("&Clear redial list"));
    clear->setObjectName("actionClearRedialList");
    connect(clear, &QAction::triggered, this, &MainWindow::ClearRedialList);
    for (int slot = 0; slot < RedialStore::kSlotCount; ++slot) {
        const ContactRecord* entry = m_redial.GetSlot(slot);
        if (!entry || entry->Number(0).empty())
            continue;
        // "&" would mark a shortcut letter: doubled, names show as they are.
        auto* item
            = new QAction(QString::fromStdString(m_redial.RedialMenuText(slot)).replace("&", "&&"), menu);
        item->setObjectName(QString("actionRedial%1").arg(slot + 1));
        connect(item, &QAction::triggered, this, [this, slot] { TakeRedialEntry(slot); });
        menu->insertAction(separator, item);
    }
    // Whatever was chosen, the controls follow.
    connect(menu, &QMenu::triggered, this, &MainWindow::UpdateControls);
    return menu;
}

// The menu's top right corner sits at the redial button's top left corner.
void MainWindow::PopUpRedialMenu()
{
    const std::unique_ptr<QMenu> menu(CreateRedialMenu(this));
    menu->exec(m_redialButton->mapToGlobal(QPoint(0, 0)) - QPoint(menu->sizeHint().width(), 0));
}

// A name with a label ("Ann Lee (Work)") is searched for without it; when no contact matches, the
// whole entry goes into the field. Setting the text switches to Contacts and filters the tree.
void MainWindow::TakeRedialEntry(int slot)
{
    const ContactRecord* entry = m_redial.GetSlot(slot);
    if (!entry || entry->Number(0).empty())
        return;
    const QString whole = QString::fromStdString(m_redial.RedialMenuText(slot)).left(kSearchTextLimit);
    std::string name;
    if (entry->NameWithoutLabel(name)) {
        m_searchField->setText(QString::fromStdString(name).left(kSearchTextLimit));
        if (m_contacts->Model()->ShownCount() == 0)
            m_searchField->setText(whole);
    } else {
        m_searchField->setText(whole);
    }
    UpdateSearchButtons();
}

void MainWindow::TypeFromKeypad(const QString& text)
{
    m_keypadTyping = true;
    m_searchField->insert(text);
    m_keypadTyping = false;
}

// Typing elsewhere than on Active Calls searches the contacts; what the keypad typed does not, nor
// the number typed there for Transfer or Conference.
void MainWindow::OnSearchTextChanged(const QString& text)
{
    if (TypedText() != m_dialledText)
        m_dialledText.clear();
    if (CurrentTab() == kKeypadTab && (m_keypadTyping || TakesNumberForCalls())) {
        m_keypadTyping = false;
        UpdateSearchButtons();
        UpdateControls();
        return;
    }
    if (CurrentTab() != kContactsTab)
        SelectContactsTab();
    UpdateSearchButtons();
    m_contacts->SetSearchText(text);
    UpdateControls();
}

void MainWindow::OnSearchFieldFocused()
{
    if (!m_ready)
        return;
    if (CurrentTab() != kContactsTab && !TakesNumberForCalls())
        SelectContactsTab();
    UpdateControls();
}

// On the Active Calls tab, while a call there can be transferred or joined, the search/dial box
// holds the number Transfer and Conference take: typing it must not hide their buttons.
bool MainWindow::TakesNumberForCalls()
{
    return CurrentTab() == kKeypadTab
        && std::any_of(m_callActions.begin(), m_callActions.end(),
            [this](const auto& command) { return m_lines.Offers(command.second, {}); });
}

void MainWindow::ClearSearchField()
{
    const bool onKeypad = CurrentTab() == kKeypadTab;
    m_keypadTyping = onKeypad;
    m_searchField->clear();
    m_keypadTyping = false;
    UpdateSearchButtons();
    UpdateControls();
    if (!onKeypad)
        m_searchField->setFocus();
}

// Exactly one of the two: the clear button while the field holds text, the redial button else.
void MainWindow::UpdateSearchButtons()
{
    const bool empty = m_searchField->text().isEmpty();
    m_clearButton->setVisible(!empty);
    m_redialButton->setVisible(empty);
}

void MainWindow::ShowMissedCalls()
{
    m_callLog->SetFilter(kCallTypeMissed);
    ShowTab(kCallLogTab);
}

void MainWindow::ShowVoiceMail()
{
    m_voiceMail->Refill();
    ShowTab(kVoiceMailTab);
}

// The indicators open what they count; true when `watched` is one of them.
bool MainWindow::ActivateIndicator(const QObject* watched)
{
    if (watched == m_missedFrame)
        ShowMissedCalls();
    else if (watched == m_voiceMailFrame)
        ShowVoiceMail();
    else
        return false;
    return true;
}

// Enter answers a ringing call and dials a number typed in the search/dial box whatever the tab;
// otherwise it calls from where the focus is. It never closes the window.
void MainWindow::PressEnter()
{
    if (AnswerRingingCall() || DialTypedNumber()) {
        UpdateControls();
        return;
    }
    const QWidget* focus = focusWidget();
    const int tab = CurrentTab();
    if (tab == kKeypadTab)
        return;
    if (focus == m_searchField) {
        m_contacts->ActivateSelection(false);
    } else if (tab == kContactsTab && focus == m_contacts->Tree()) {
        m_contacts->ActivateSelection(true);
    } else if (tab == kContactsTab) {
        for (int slot = 0; slot < ContactsPanel::kSpeedButtonCount; ++slot)
            if (focus == m_contacts->SpeedButton(slot))
                m_contacts->SpeedButtonClicked(slot);
    } else if (tab == kCallLogTab && focus == m_callLog->List()) {
        m_callLog->CallSelected();
    } else if (tab == kVoiceMailTab && focus == m_voiceMail->List()) {
        m_voiceMail->CallSelected();
    }
    UpdateControls();
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        PressEnter();
        break;
    case Qt::Key_Escape:
        PressEscape();
        break;
    default:
        QWidget::keyPressEvent(event);
        break;
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::FocusIn:
        // Only the user's click or shortcut counts: when a page is hidden Qt moves the focus on
        // as if Tab was pressed, and that must not switch the tab back. The switch waits for the
        // event loop, so it never runs inside the tab widget's own page change.
        if (watched == m_searchField) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason)
                QMetaObject::invokeMethod(this, &MainWindow::OnSearchFieldFocused, Qt::QueuedConnection);
        }
        break;
    case QEvent::MouseButtonRelease:
        ActivateIndicator(watched);
        break;
    case QEvent::KeyPress: {
        // An indicator with the focus opens on Space or Enter, as a button does. Lists act on
        // Enter themselves (activation); the window's Enter table decides instead.
        const int key = static_cast<QKeyEvent*>(event)->key();
        const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
        if ((enter || key == Qt::Key_Space) && ActivateIndicator(watched))
            return true;
        if (enter && watched != m_searchField) {
            PressEnter();
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

// The close box, File > Exit and the tray's Quit ask before cutting calls off; a termination
// signal does not (CloseWithoutAsking).
void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!m_closeWithoutAsking && !ConfirmExit()) {
        event->ignore();
        return;
    }
    m_ready = false;
    event->accept();
    emit closed();
}

void MainWindow::CloseWithoutAsking()
{
    m_closeWithoutAsking = true;
    close();
}

bool MainWindow::ConfirmExit()
{
    const LineManager::CallsInProgress found = m_lines.CountCallsInProgress();
    if (found.calls == 0 && !found.recording)
        return true;
    QString text = found.calls == 1 ? tr("A call is in progress")
                                    : tr("%n calls are in progress", nullptr, found.calls);
    if (found.recording)
        text += tr(", and a call or message is being recorded");
    text += found.calls == 1 ? tr(". Exiting Kestrium ends it.") : tr(". Exiting Kestrium ends them.");
    return m_prompter.AskYesNo((text + tr("\n\nExit anyway?")).toStdString(), kTitle);
}

// Escape never ends the program: it empties the search/dial box.
void MainWindow::PressEscape()
{
    if (focusWidget() == m_searchField && !m_searchField->text().isEmpty())
        ClearSearchField();
}

void MainWindow::ImportContacts()
{
    const FileChoice choice = AskForFile(false);
    if (!choice.path.isEmpty())
        ShowExchangeResult(m_contacts->ImportContacts(choice.path.toStdString()));
}

void MainWindow::ExportContacts()
{
    const FileChoice choice = AskForFile(true);
    if (!choice.path.isEmpty())
        ShowExchangeResult(m_contacts->ExportContacts(
            choice.path.toStdString(), choice.vcard3 ? VCardVersion::V3 : VCardVersion::V4));
}

// The summary, then the problems (names from the file, shown as plain text).
void MainWindow::ShowExchangeResult(const ContactExchangeResult& result)
{
    std::string text = result.summary;
    for (std::size_t i = 0; i < result.problems.size() && i < kProblemsShown; ++i)
        text += (i == 0 ? "\n\n" : "\n") + result.problems[i];
    if (result.problems.size() > kProblemsShown)
        text += tr("\n... and %n more.", nullptr, int(result.problems.size() - kProblemsShown)).toStdString();
    const Prompter::Icon icon = !result.fileOk ? Prompter::Icon::Stop
        : result.problems.empty()              ? Prompter::Icon::Information
                                               : Prompter::Icon::Exclamation;
    m_prompter.ShowMessage(text, kTitle, icon);
}

MainWindow::FileChoice MainWindow::AskForFile(bool forExport)
{
    if (m_chooseFile)
        return m_chooseFile(forExport);
    FileChoice choice;
    if (!forExport) {
        choice.path = QFileDialog::getOpenFileName(
            this, tr("Import contacts"), QString(), tr("vCard files (*.vcf *.vcard *.VCF);;All files (*)"));
        return choice;
    }
    QString filter = kVCard4Filter;
    choice.path = QFileDialog::getSaveFileName(
        this, tr("Export contacts"), "contacts.vcf", QString(kVCard4Filter) + ";;" + kVCard3Filter, &filter);
    choice.vcard3 = filter == kVCard3Filter;
    return choice;
}
