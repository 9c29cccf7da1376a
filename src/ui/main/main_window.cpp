#include "ui/main/main_window.h"

#include "store/call_log_store.h"
#include "telephony/action_target.h"
#include "telephony/line_manager.h"
#include "res/images.h"
#include "ui/panels/contacts_panel.h"
#include "ui/panels/dial_pad_panel.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// Images of the tabs and buttons, by their index in the small images; the program's icon.
constexpr int kContactsImage = 0;
constexpr int kCallImage = 2;
constexpr int kCallsLogImage = 3;
constexpr int kVoiceMailImage = 5;
constexpr int kSetupImage = 13;
constexpr int kPbxImage = 15;
constexpr int kProgramIcon = 128;

struct ActionButton {
    int action;
    const char* text;
};

constexpr ActionButton kActionButtons[] = {
    { kActionAnswer, "Answer" },
    { kActionDrop, "Drop call" },
    { kActionRecord, "Record call" },
    { kActionPauseRecording, "Pause recording" },
    { kActionAddNote, "Add note to call" },
};

// The contact tree draws from the small images; its number items (9 for telephone numbers, 19 for
// internet addresses) get a telephone and a globe.
QIcon ContactTreeImage(int index)
{
    constexpr int kPhoneNumberImage = 9;
    constexpr int kInternetNumberImage = 19;
    constexpr int kPhoneImage = 25;
    constexpr int kGlobeImage = 20;
    switch (index) {
    case kPhoneNumberImage:
        return Images::Small(kPhoneImage);
    case kInternetNumberImage:
        return Images::Small(kGlobeImage);
    default:
        return Images::Small(index);
    }
}

QString TypeText(const CallLogEntry& entry)
{
    switch (entry.TypeCode()) {
    case kCallTypeMissed:
        return "Missed call from";
    case kCallTypeIncoming:
        return "Incoming call from";
    case kCallTypeOutgoing:
        return "Outgoing call to";
    case kCallTypeVoicemail:
    case kCallTypeVoicemail + 1:
        return entry.IsUnheard() ? "New voice mail from" : "Voice mail from";
    default:
        return "Call with";
    }
}

QString EntryText(const CallLogEntry& entry)
{
    return QString("%1 %2  (%3)")
        .arg(TypeText(entry), QString::fromStdString(entry.NameOrNumber()),
            QString::fromStdString(entry.DurationText()));
}

} // namespace

MainWindow::MainWindow(LineManager& lines, const Stores& stores, Prompter& prompter)
    : m_lines(lines)
    , m_callLog(stores.callLog)
    , m_redial(stores.redial)
{
    setWindowTitle(kCaption);
    setWindowIcon(Images::Icon(kProgramIcon));
    // The pages type into and follow the dial box: it exists before them.
    QWidget* dialBox = CreateDialBox();
    m_tabs = new QTabWidget(this);
    m_tabs->addTab(CreateContactsPage(stores, prompter), Images::Small(kContactsImage), "Contacts");
    m_tabs->addTab(CreateActiveCallsPage(stores.settings, prompter), Images::Small(kCallImage), "Active Calls");
    m_tabs->addTab(CreateCallListPage(m_callList), Images::Small(kCallsLogImage), "Call Log");
    m_tabs->addTab(CreateCallListPage(m_voiceMailList), Images::Small(kVoiceMailImage), "Voice Mail");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(CreateToolBar());
    layout->addWidget(dialBox);
    layout->addWidget(m_tabs);
    resize(440, 620);
}

MainWindow::~MainWindow() = default;

QWidget* MainWindow::CreateToolBar()
{
    auto* bar = new QWidget;
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* setup = new QPushButton(Images::Small(kSetupImage), "Setup ...");
    auto* pbx = new QPushButton(Images::Small(kPbxImage), "PBX Control");
    connect(setup, &QPushButton::clicked, this, &MainWindow::setupRequested);
    connect(pbx, &QPushButton::clicked, this, &MainWindow::pbxControlRequested);
    layout->addWidget(setup);
    layout->addWidget(pbx);
    layout->addStretch();
    return bar;
}

// The box holds at most 99 characters, as the dial box of the full window will.
QWidget* MainWindow::CreateDialBox()
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    m_dialBox = new QLineEdit;
    m_dialBox->setPlaceholderText("Number to dial");
    m_dialBox->setMaxLength(99);
    auto* call = new QPushButton("Call");
    layout->addWidget(m_dialBox);
    layout->addWidget(call);
    connect(m_dialBox, &QLineEdit::returnPressed, this, &MainWindow::Call);
    connect(call, &QPushButton::clicked, this, &MainWindow::Call);
    return row;
}

QWidget* MainWindow::CreateContactsPage(const Stores& stores, Prompter& prompter)
{
    m_contacts = new ContactsPanel(stores.contacts, stores.speedDials, stores.redial, m_lines, prompter);
    m_contacts->SetImageSource(&ContactTreeImage);
    m_contacts->SetSearchBox({ [this] { m_dialBox->setFocus(); }, [this] { m_dialBox->clear(); }, {} });
    connect(m_dialBox, &QLineEdit::textChanged, m_contacts, &ContactsPanel::SetSearchText);
    return m_contacts;
}

QWidget* MainWindow::CreateActiveCallsPage(SettingsStore& settings, Prompter& prompter)
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    m_dialPad = new DialPadPanel(m_lines, settings, prompter);
    m_dialPad->SetCallStateImages(Images::CallStateList());
    m_dialPad->SetSearchBoxTyper([this](const QString& text) { m_dialBox->insert(text); });
    m_dialPad->LoadMacroNames();
    layout->addWidget(m_dialPad);

    auto* actions = new QHBoxLayout;
    for (const ActionButton& button : kActionButtons) {
        auto* widget = new QPushButton(button.text);
        connect(widget, &QPushButton::clicked, this, [this, action = button.action] { PerformAction(action); });
        actions->addWidget(widget);
    }
    layout->addLayout(actions);
    return page;
}

QWidget* MainWindow::CreateCallListPage(QListWidget*& list)
{
    list = new QListWidget;
    return list;
}

void MainWindow::Initialize()
{
    m_ready = true;
    m_contacts->FillContactTree(true);
    m_lines.RebuildCallTree(*m_dialPad->CallTree());
    RefillCallLists();
    UpdateControls();
}

void MainWindow::RefreshLines()
{
    m_lines.RebuildCallTree(*m_dialPad->CallTree());
    m_dialPad->LoadMacroNames();
    UpdateControls();
}

void MainWindow::RefreshKeypad()
{
    m_dialPad->RefreshKeypad();
}

// The window title counts the messages nobody has heard yet.
void MainWindow::UpdateControls()
{
    m_dialPad->RefreshKeypad();
    const std::size_t unheard = m_callLog.CountUnheardVoicemail();
    setWindowTitle(unheard == 0 ? QString(kCaption) : QString("%1 - %2 new voice mail").arg(kCaption).arg(unheard));
}

int MainWindow::CurrentTab() const
{
    return m_tabs->currentIndex();
}

void MainWindow::ShowTab(int index)
{
    m_tabs->setCurrentIndex(index);
}

CallTreeView* MainWindow::CallTree()
{
    return m_dialPad->CallTree();
}

void MainWindow::RefillCallLists()
{
    FillCallList(*m_callList, CallLogStore::kFilterAll);
    FillCallList(*m_voiceMailList, kCallTypeVoicemail);
    UpdateControls();
}

// Entries are listed as plain text: names and numbers come from callers.
void MainWindow::FillCallList(QListWidget& list, int filter)
{
    list.clear();
    for (std::size_t index : m_callLog.CallListEntries(filter, {})) {
        const CallLogEntry& entry = *m_callLog.GetAt(index);
        list.addItem(new QListWidgetItem(Images::CallType(CallLogStore::CallListImage(entry)), EntryText(entry)));
    }
}

void MainWindow::Call()
{
    if (CurrentTab() == kContactsTab) {
        m_contacts->ActivateSelection(false);
        return;
    }
    const std::string number = m_dialBox->text().trimmed().toStdString();
    if (number.empty()) {
        m_dialPad->Call();
        return;
    }
    if (m_lines.DialAndRemember(m_redial, std::string(), number))
        m_dialBox->clear();
}

void MainWindow::PerformAction(int action)
{
    m_lines.GetTargetCallForAction(false, action);
    UpdateControls();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    m_ready = false;
    event->accept();
    emit closed();
}
