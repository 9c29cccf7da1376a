#include "ui/main/main_window.h"

#include "res/images.h"
#include "settings/settings_store.h"
#include "store/call_log_store.h"
#include "telephony/action_target.h"
#include "telephony/line_manager.h"
#include "ui/main/about_box.h"
#include "ui/panels/call_log_panel.h"
#include "ui/panels/contacts_panel.h"
#include "ui/panels/dial_pad_panel.h"
#include "ui/telephony_widgets/line_state_text.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kProgramIcon = 128;
constexpr int kSearchIcon = 261;
constexpr int kClearIcon = 262;
constexpr int kRedialIcon = 263;

// Small images by index.
constexpr int kContactsImage = 0;
constexpr int kCallImage = 2;
constexpr int kCallsLogImage = 3;
constexpr int kVoiceMailImage = 5;
constexpr int kRecordImage = 9;
constexpr int kMissedCallsImage = 14;
constexpr int kLineButtonImage = 17;
constexpr int kPhoneImage = 25;
constexpr int kHeadsetImage = 26;
constexpr int kPauseImage = 28;

constexpr int kToolBarHeight = 28;
constexpr int kToolButtonSize = 22;
constexpr int kFirstWidth = 420;
constexpr int kStatusBarHeight = 20;
constexpr QSize kBitmapButtonSize(48, 36);
constexpr QSize kIndicatorSize(50, 22);
constexpr int kSmallIconButton = 20;

struct TabInfo {
    const char* label;
    int image;
    const char* tip;
};

constexpr TabInfo kTabs[MainWindow::kTabCount] = {
    { "Contacts", kContactsImage, "Call a contact/speed dial" },
    { "Active Calls", kCallImage, "Manage active calls / Dialing keypad and PBX control" },
    { "Call Log", kCallsLogImage, "Calls log" },
    { "Voice Mail", kVoiceMailImage, "Manage voicemail messages" },
};

// The window's placement record: its length, flags, show state, minimised and maximised
// positions and the normal rectangle (left, top, right, bottom), eleven 32-bit numbers.
struct Placement {
    std::int32_t length = sizeof(Placement);
    std::int32_t flags = 0;
    std::int32_t showState = 1;
    std::int32_t minimized[2] = { -1, -1 };
    std::int32_t maximized[2] = { -1, -1 };
    std::int32_t normal[4] = {};
};
static_assert(sizeof(Placement) == 44);
constexpr std::int32_t kShowNormal = 1;
constexpr std::int32_t kShowMaximized = 3;

// A push button drawn from four images: up, pressed, with the focus and disabled.
class BitmapButton : public QAbstractButton {
public:
    BitmapButton(const char* text, const char* imagePrefix, QWidget* parent)
        : QAbstractButton(parent)
        , m_prefix(imagePrefix)
    {
        setText(text);
        setFixedSize(kBitmapButtonSize);
        setFocusPolicy(Qt::StrongFocus);
    }

    QSize sizeHint() const override { return kBitmapButtonSize; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const char* state = !isEnabled() ? "Disabled" : isDown() ? "Down" : hasFocus() ? "Focus" : "Up";
        QPainter painter(this);
        Images::Named(m_prefix + state).paint(&painter, rect());
    }

private:
    std::string m_prefix;
};

QToolButton* CreateIconButton(int iconId, const char* tip, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setIcon(Images::Icon(iconId));
    button->setIconSize(QSize(16, 16));
    button->setAutoRaise(true);
    button->setToolTip(tip);
    button->setFocusPolicy(Qt::NoFocus);
    button->resize(kSmallIconButton, kSmallIconButton);
    return button;
}

// The contact tree draws from the small images; its number items (9 for telephone numbers, 19 for
// internet addresses) get a telephone and a globe.
QIcon ContactTreeImage(int index)
{
    constexpr int kPhoneNumberImage = 9;
    constexpr int kInternetNumberImage = 19;
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

// Before the program's key exists every number reads 0: a column of no width would be lost.
int StoredColumnWidth(const SettingsStore& settings, const Settings::NumberValue& value)
{
    const int width = settings.Read(value);
    return width > 0 ? width : value.def;
}

} // namespace

MainWindow::MainWindow(LineManager& lines, const Stores& stores, Prompter& prompter)
    : m_lines(lines)
    , m_callLogStore(stores.callLog)
    , m_redial(stores.redial)
    , m_settings(stores.settings)
    , m_prompter(prompter)
    , m_callLogContext{ stores.callLog, stores.settings, lines, stores.redial, prompter, *this, stores.folders, std::nullopt, nullptr, nullptr }
{
    setWindowTitle(kCaption);
    setWindowIcon(Images::Icon(kProgramIcon));
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    m_client = new QWidget(this);
    m_client->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_client);
    SetupMenuBar();
    layout->setMenuBar(m_menuBar);

    m_statusBar = new QStatusBar(m_client);
    m_statusBar->setSizeGripEnabled(true);
    m_linesProblem = new QLabel(m_statusBar);
    m_linesProblem->setTextFormat(Qt::PlainText);
    m_linesProblem->hide();
    m_statusBar->addWidget(m_linesProblem, 1);
    SetupTopToolBars();
    // The pages type into and follow the search/dial box: it exists before them.
    SetupSearchDialBox();
    SetupPages(stores, prompter);
    SetupLineButtons();
    SetupIndicators();
    ApplyPlacement();
}

MainWindow::~MainWindow()
{
    SaveState();
}

void MainWindow::SetupMenuBar()
{
    m_menuBar = new QMenuBar(this);
    QMenu* file = m_menuBar->addMenu("&File");
    connect(file->addAction("Import ..."), &QAction::triggered, this, [this] { RunCommand(kImport); });
    connect(file->addAction("Export ..."), &QAction::triggered, this, [this] { RunCommand(kExport); });
    file->addSeparator();
    QAction* exit = file->addAction("E&xit");
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    exit->setObjectName("actionExit");
    connect(exit, &QAction::triggered, this, [this] { RunCommand(kExit); });
    // The about box sits in the Help menu: a Linux window has no system menu of its own.
    QMenu* help = m_menuBar->addMenu("&Help");
    connect(help->addAction("&About  Kestrium..."), &QAction::triggered, this, [this] { AboutBox(this).exec(); });
}

QToolBar* MainWindow::CreateToolBar(QWidget* parent)
{
    auto* bar = new QToolBar(parent);
    bar->setIconSize(QSize(16, 16));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setStyleSheet("QToolBar { border: none; background: transparent; spacing: 0px; padding: 0px; }"
                       "QToolButton { padding: 2px; margin: 0px; }");
    bar->layout()->setContentsMargins(0, 0, 0, 0);
    bar->layout()->setSpacing(0);
    return bar;
}

QAction* MainWindow::AddTool(QToolBar* bar, int command, int image, const char* tip, bool checkable)
{
    QAction* action = bar->addAction(Images::Small(image), QString());
    action->setToolTip(tip);
    action->setCheckable(checkable);
    action->setData(command);
    // Fixed-size buttons: the top bars hold four and five of them in 92 and 161 pixels.
    if (QWidget* button = bar->widgetForAction(action); button && bar->toolButtonStyle() == Qt::ToolButtonIconOnly)
        button->setFixedSize(kToolButtonSize, kToolButtonSize);
    connect(action, &QAction::triggered, this, [this, command] { RunCommand(command); });
    return action;
}

void MainWindow::SetupTopToolBars()
{
    for (QToolBar*& bar : m_topBars)
        bar = CreateToolBar(m_client);
    AddTool(m_topBars[0], kDoNotDisturb, 6, "Do Not Disturb: Mute incomming calls alerts", true);
    AddTool(m_topBars[0], kQueueCall, 7, "Create / Manage Queue call");
    AddTool(m_topBars[0], kConference, 8, "Create / Manage Conference call");
    AddTool(m_topBars[0], kPbxControl, 15, "PBX Control");
    AddTool(m_topBars[1], kRecord, kRecordImage, "Start/stop call recording");
    AddTool(m_topBars[1], kNotes, 3, "Add Notes to call recording");
    AddTool(m_topBars[1], kMute, 10, "Mute Telephone's / Headset's Microphone", true);
    AddTool(m_topBars[1], kHold, 11, "Hold active call", true);
    AddTool(m_topBars[1], kInstantMessage, 12, "Send Analog phone instant short message");
    AddTool(m_topBars[2], kSetup, 13, "Setup ...");
}

void MainWindow::SetupSearchDialBox()
{
    constexpr const char* kFieldTip = "Enter text to search contacts, or a number to dial manually";
    m_searchGroup = new QGroupBox("Search contacts/dial number:", m_client);
    m_searchIcon = CreateIconButton(kSearchIcon, kFieldTip, m_client);
    m_searchField = new QLineEdit(m_client);
    m_searchField->setMaxLength(kSearchTextLimit);
    m_searchField->setToolTip(kFieldTip);
    QFont bold("Arial");
    bold.setPixelSize(18);
    bold.setWeight(QFont::ExtraBold);
    m_searchField->setFont(bold);
    m_searchField->installEventFilter(this);
    m_clearButton = CreateIconButton(kClearIcon, "Click to clear search field", m_client);
    m_redialButton = CreateIconButton(kRedialIcon, "Popup REDIAL list", m_client);
    m_callButton = new BitmapButton("Call", "KesCall", m_client);
    m_endButton = new BitmapButton("End", "KesCallEnd", m_client);
    m_endButton->setEnabled(false);

    connect(m_searchIcon, &QToolButton::clicked, m_searchField, [this] { m_searchField->setFocus(); });
    connect(m_searchField, &QLineEdit::textChanged, this, &MainWindow::OnSearchTextChanged);
    connect(m_clearButton, &QToolButton::clicked, this, &MainWindow::ClearSearchField);
    connect(m_redialButton, &QToolButton::clicked, this, &MainWindow::PopUpRedialMenu);
    connect(m_callButton, &QAbstractButton::clicked, this, [this] { RunCommand(kCall); });
    connect(m_endButton, &QAbstractButton::clicked, this, [this] { RunCommand(kEnd); });
    UpdateSearchButtons();
}

void MainWindow::SetupPages(const Stores& stores, Prompter& prompter)
{
    m_tabs = new QTabWidget(m_client);
    // Four tabs fit the narrowest window side by side.
    m_tabs->tabBar()->setStyleSheet("QTabBar::tab { padding: 4px 3px; }");
    m_tabs->tabBar()->setElideMode(Qt::ElideRight);
    m_tabs->setUsesScrollButtons(false);

    m_contacts = new ContactsPanel(stores.contacts, stores.speedDials, stores.redial, m_lines, prompter);
    m_contacts->SetImageSource(&ContactTreeImage);
    m_contacts->SetSearchBox({ [this] { m_searchField->setFocus(); }, [this] { ClearSearchField(); },
        [this] { UpdateSearchButtons(); } });
    m_dialPad = new DialPadPanel(m_lines, stores.settings, prompter);
    m_dialPad->SetCallStateImages(Images::CallStateList());
    m_dialPad->SetSearchBoxTyper([this](const QString& text) { TypeFromKeypad(text); });
    m_callLog = new CallLogPanel(m_callLogContext, CallLogPanel::Kind::CallLog);
    m_voiceMail = new VoiceMailPanel(m_callLogContext);
    m_callLogContext.callLogPage = m_callLog;
    m_callLogContext.voiceMailPage = m_voiceMail;
    const int widths[] = { StoredColumnWidth(m_settings, Settings::kCallLogColumn1Width),
        StoredColumnWidth(m_settings, Settings::kCallLogColumn2Width),
        StoredColumnWidth(m_settings, Settings::kCallLogColumn3Width) };
    m_callLog->SetColumnWidths(widths);
    m_voiceMail->SetColumnWidths(widths);

    QWidget* pages[kTabCount] = { m_contacts, m_dialPad, m_callLog, m_voiceMail };
    for (int index = 0; index < kTabCount; ++index) {
        m_tabs->addTab(pages[index], Images::Small(kTabs[index].image), kTabs[index].label);
        m_tabs->setTabToolTip(index, kTabs[index].tip);
    }
    connect(m_tabs, &QTabWidget::currentChanged, this, &MainWindow::OnTabChanged);
    m_contacts->Tree()->installEventFilter(this);
    m_callLog->List()->installEventFilter(this);
    m_voiceMail->List()->installEventFilter(this);
}

void MainWindow::SetupLineButtons()
{
    m_headsetBar = CreateToolBar(m_client);
    m_lineBar = CreateToolBar(m_client);
    m_lineBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    for (int slot = 0; slot < LineManager::kSlotCount; ++slot) {
        AddTool(m_headsetBar, kFirstHeadsetButton + slot, kPhoneImage, "Toggle handset/headset");
        AddTool(m_lineBar, kFirstLineButton + slot, kLineButtonImage, "")->setText(QString::number(slot + 1));
    }
    m_headsetBar->adjustSize();
    m_lineBar->adjustSize();
}

QFrame* MainWindow::CreateIndicator(int image, const char* tip, QLabel*& count)
{
    auto* frame = new QFrame(m_client);
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    frame->setToolTip(tip);
    frame->resize(kIndicatorSize);
    frame->setCursor(Qt::PointingHandCursor);
    frame->installEventFilter(this);
    auto* icon = new QLabel(frame);
    icon->setPixmap(Images::Small(image).pixmap(16, 16));
    icon->setGeometry(2, 5, 16, 16);
    count = new QLabel("0", frame);
    count->setGeometry(18, 4, 30, 16);
    count->setAlignment(Qt::AlignCenter);
    for (QWidget* part : { static_cast<QWidget*>(icon), static_cast<QWidget*>(count) })
        part->setAttribute(Qt::WA_TransparentForMouseEvents);
    return frame;
}

void MainWindow::SetupIndicators()
{
    m_missedFrame = CreateIndicator(kMissedCallsImage, "New missed calls", m_missedCount);
    m_voiceMailFrame = CreateIndicator(kVoiceMailImage, "New voice mail messages", m_voiceMailCount);
}

void MainWindow::Initialize()
{
    ChooseDefaultLine();
    m_contacts->FillContactTree(true);
    m_lines.RebuildCallTree(*m_dialPad->CallTree());
    m_dialPad->LoadMacroNames();
    m_callLog->Refill();
    m_voiceMail->Refill();
    ShowTab(StartTab());
    UpdateControls();
    // Once the window has its size: the layout, and the focus for typing on the Contacts tab.
    QMetaObject::invokeMethod(this, [this] {
        LayOut();
        if (CurrentTab() == kContactsTab)
            m_searchField->setFocus();
    }, Qt::QueuedConnection);
    m_ready = true;
}

void MainWindow::RefreshLines()
{
    m_lines.RebuildCallTree(*m_dialPad->CallTree());
    m_dialPad->LoadMacroNames();
    UpdateControls();
}

void MainWindow::ChooseDefaultLine()
{
    std::int32_t line = 0;
    if (!m_settings.Read(Settings::kDefaultLine, &line) || line < 0 || line >= LineManager::kSlotCount
        || !m_lines.GetLineSlot(line).IsOpen())
        line = 0;
    m_lines.SetDefaultLine(line);
}

// "Start in tab" names a tab; 4 or more means the tab of the last run.
int MainWindow::StartTab() const
{
    int tab = std::max(0, m_settings.Read(Settings::kStartInTab));
    if (tab >= kTabCount)
        tab = std::max(0, m_settings.Read(Settings::kLastTab));
    return tab >= kTabCount ? 0 : tab;
}

void MainWindow::ApplyPlacement()
{
    Placement placement;
    if (m_settings.Read(Settings::kPlacement, &placement) && placement.length == std::int32_t(sizeof placement)) {
        const QRect normal(QPoint(placement.normal[0], placement.normal[1]),
            QPoint(placement.normal[2] - 1, placement.normal[3] - 1));
        if (normal.isValid()) {
            setGeometry(normal);
            if (placement.showState == kShowMaximized)
                setWindowState(Qt::WindowMaximized);
            return;
        }
    }
    // The first start opens wide enough for the four tab labels; the user may shrink it to the
    // minimum, where the labels are shortened.
    resize(kFirstWidth, kMinimumHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void MainWindow::SavePlacement()
{
    Placement placement;
    placement.showState = isMaximized() ? kShowMaximized : kShowNormal;
    const QRect normal = isMaximized() || isMinimized() ? normalGeometry() : geometry();
    placement.normal[0] = normal.left();
    placement.normal[1] = normal.top();
    placement.normal[2] = normal.right() + 1;
    placement.normal[3] = normal.bottom() + 1;
    m_settings.Write(Settings::kPlacement, &placement);
}

void MainWindow::ShowLinesProblem(const QString& brief)
{
    m_linesProblem->setText(brief);
    m_linesProblem->setVisible(!brief.isEmpty());
}

QString MainWindow::LinesProblem() const
{
    return m_linesProblem->text();
}

// The state the next start reads: placement, default line, search text, tab and column widths.
void MainWindow::SaveState()
{
    SavePlacement();
    const std::int32_t defaultLine = m_lines.GetDefaultLine();
    m_settings.Write(Settings::kDefaultLine, &defaultLine);
    char search[Settings::kLastSearchString.size] = {};
    const QByteArray text = m_searchField->text().toUtf8().left(int(sizeof search) - 1);
    std::copy(text.begin(), text.end(), search);
    m_settings.Write(Settings::kLastSearchString, search);
    m_settings.Write(Settings::kLastTab, CurrentTab());
    const Settings::NumberValue* widths[] = { &Settings::kCallLogColumn1Width, &Settings::kCallLogColumn2Width,
        &Settings::kCallLogColumn3Width };
    for (int column = 0; column < CallLogPanel::kColumnCount; ++column)
        m_settings.Write(*widths[column], m_callLog->ColumnWidth(column));
}

// Places everything for the client area's width from the bottom up; the tab control takes what
// is left between the top tool bars and the search/dial box.
void MainWindow::LayOut()
{
    if (isMinimized())
        return;
    const int width = m_client->width();
    const int height = m_client->height();
    m_topBars[0]->setGeometry(8, 0, 92, kToolBarHeight);
    m_topBars[1]->setGeometry(m_topBars[0]->geometry().right() + 1 + 16, 0, 161, kToolBarHeight);
    m_topBars[2]->setGeometry(width - 33, 0, 24, kToolBarHeight);
    const int top = kToolBarHeight + 4;
    // At least 20 pixels, and never less than its text needs with the style's margins.
    const int statusHeight = std::max(kStatusBarHeight, m_statusBar->sizeHint().height());
    m_statusBar->setGeometry(0, height - statusHeight, width, statusHeight);
    int bottom = LayOutBottomRows(width, height - statusHeight);
    bottom = LayOutSearchDialBox(width, bottom);
    m_tabs->setGeometry(8, top, width - 16, std::max(0, bottom - top));
}

// The line buttons with the two indicators beside them, and the headset buttons above; answers
// the new bottom.
int MainWindow::LayOutBottomRows(int width, int bottom)
{
    const int left = (width - 300) / 2 + 8;
    const QSize lineSize = m_lineBar->sizeHint();
    m_lineBar->setGeometry(left, bottom - lineSize.height(), lineSize.width(), lineSize.height());
    const int right = left + lineSize.width();
    const int indicatorTop = bottom - 19 - kIndicatorSize.height();
    m_missedFrame->move(right + 8, indicatorTop);
    m_voiceMailFrame->move(right + 8 + kIndicatorSize.width() + 8, indicatorTop);
    bottom -= lineSize.height();
    const QSize headsetSize = m_headsetBar->sizeHint();
    m_headsetBar->setGeometry(left, bottom - headsetSize.height(), headsetSize.width(), headsetSize.height());
    return bottom - headsetSize.height() - 8;
}

// The group frame holds the Call and End buttons and, above them, the search row; its caption
// shows in the gap above the edit field. Answers the frame's top.
int MainWindow::LayOutSearchDialBox(int width, int bottom)
{
    const int fieldHeight = m_searchField->sizeHint().height();
    const int frameHeight = 2 + kBitmapButtonSize.height() + 4 + 3 + fieldHeight + 20;
    m_searchGroup->setGeometry(8, bottom - frameHeight, width - 16, frameHeight);
    int inner = bottom - 2;
    const int centre = width / 2;
    m_callButton->move(centre - 70 - kBitmapButtonSize.width(), inner - kBitmapButtonSize.height());
    m_endButton->move(centre + 70, inner - kBitmapButtonSize.height());
    inner -= kBitmapButtonSize.height() + 4;
    const int rowBottom = inner - 3;
    const int fieldTop = rowBottom - fieldHeight;
    const int iconTop = fieldTop + (fieldHeight - kSmallIconButton) / 2;
    m_searchIcon->move(12, iconTop);
    const QRect clear(width - 11 - kSmallIconButton, iconTop, kSmallIconButton, kSmallIconButton);
    m_clearButton->setGeometry(clear);
    m_redialButton->setGeometry(clear.translated(0, -2));
    const int fieldLeft = m_searchIcon->geometry().right() + 2;
    m_searchField->setGeometry(fieldLeft, fieldTop, clear.left() - 4 - fieldLeft, fieldHeight);
    for (QWidget* control : { static_cast<QWidget*>(m_searchIcon), static_cast<QWidget*>(m_searchField),
             static_cast<QWidget*>(m_clearButton), static_cast<QWidget*>(m_redialButton),
             static_cast<QWidget*>(m_callButton), static_cast<QWidget*>(m_endButton) })
        control->raise();
    return fieldTop - 20;
}

void MainWindow::UpdateControls()
{
    UpdateLineButtons();
    const bool canPause = m_lines.GetTargetCallForAction(true, kActionPauseRecording) != 0;
    QAction* record = Tool(kRecord);
    record->setEnabled(canPause || m_lines.GetTargetCallForAction(true, kActionRecord) != 0);
    record->setIcon(Images::Small(canPause ? kPauseImage : kRecordImage));
    Tool(kNotes)->setEnabled(m_lines.GetTargetCallForAction(true, kActionAddNote) != 0);
    UpdateCallButton();
    m_endButton->setEnabled(m_lines.GetTargetCallForAction(true, kActionDrop) != 0);
    ShowMissedCount(m_callLogStore.CountUnseenMissed(m_settings));
    ShowUnreadCount(m_callLogStore.CountUnheardVoicemail());
    if (CurrentTab() == kKeypadTab)
        m_dialPad->RefreshKeypad();
    // A command may have paused or resumed a recording: the call rows and status bar follow.
    m_lines.RefreshCallDisplay();
}

void MainWindow::UpdateLineButtons()
{
    for (int slot = 0; slot < LineManager::kSlotCount; ++slot) {
        LineSlot& line = m_lines.GetLineSlot(slot);
        const bool open = line.IsOpen();
        QAction* headset = Tool(kFirstHeadsetButton + slot);
        headset->setEnabled(open);
        if (open)
            headset->setIcon(Images::Small(line.IsHeadsetOn() ? kHeadsetImage : kPhoneImage));
        QAction* button = Tool(kFirstLineButton + slot);
        const bool isDefault = open && slot == m_lines.GetDefaultLine();
        button->setText(QString(isDefault ? "[%1]" : "%1").arg(slot + 1));
        button->setIcon(Images::Small(m_lines.GetLineImage(slot)));
        const QString state = LineStateText(m_lines, slot);
        const QString name = QString::fromStdString(m_lines.GetDisplayName(slot));
        button->setToolTip(state.isEmpty() ? name : PlainToolTip(name + "\n" + state));
        button->setEnabled(open);
    }
}

// Answering comes first; otherwise what the selected tab would call, when a line is free.
void MainWindow::UpdateCallButton()
{
    bool enabled = m_lines.GetTargetCallForAction(true, kActionAnswer) != 0;
    if (!enabled && m_lines.FindFreeLine() >= 0) {
        switch (CurrentTab()) {
        case kContactsTab:
            enabled = HoldsDialableNumber() || m_contacts->HasDialableSelection();
            break;
        case kKeypadTab:
            enabled = HoldsDialableNumber();
            break;
        case kCallLogTab:
            enabled = m_callLog->SelectedIsCallable();
            break;
        default:
            enabled = m_voiceMail->SelectedIsCallable();
            break;
        }
    }
    m_callButton->setEnabled(enabled);
}

// The edit field's text can be made dialable for the free line's device.
bool MainWindow::HoldsDialableNumber()
{
    std::string number = m_searchField->text().left(kSearchTextLimit).toStdString();
    const int line = m_lines.FindFreeLine();
    return !number.empty() && line >= 0
        && m_lines.TranslateNumber(number, m_lines.GetLineSlot(line).GetDeviceId(), nullptr, nullptr);
}

int MainWindow::CurrentTab() const
{
    return m_tabs->currentIndex();
}

void MainWindow::ShowTab(int index)
{
    if (m_tabs->currentIndex() != index)
        m_tabs->setCurrentIndex(index); // the tab change shows the page
    else
        FocusPage(index);
}

WindowPage MainWindow::CurrentPage() const
{
    switch (CurrentTab()) {
    case kContactsTab:
        return WindowPage::Contacts;
    case kKeypadTab:
        return WindowPage::Calls;
    default:
        return WindowPage::Other;
    }
}

void MainWindow::ShowPage(WindowPage page)
{
    if (page != WindowPage::Other)
        ShowTab(page == WindowPage::Contacts ? kContactsTab : kKeypadTab);
}

CallTreeView* MainWindow::CallTree()
{
    return m_dialPad->CallTree();
}

void MainWindow::RefillCallLists()
{
    m_callLog->Refill();
    m_voiceMail->Refill();
    UpdateControls();
}

bool MainWindow::FollowsSelection() const
{
    return m_ready && !m_contacts->IsFilling();
}

bool MainWindow::IsCallLogTabCurrent() const
{
    return CurrentTab() == kCallLogTab;
}

void MainWindow::ShowMissedCount(std::size_t count)
{
    m_missedCount->setText(QString::number(qulonglong(count)));
    if (count != m_missedShown) {
        m_missedShown = count;
        emit countsShown(m_missedShown, m_unreadShown);
    }
}

void MainWindow::ShowUnreadCount(std::size_t count)
{
    m_voiceMailCount->setText(QString::number(qulonglong(count)));
    if (count != m_unreadShown) {
        m_unreadShown = count;
        emit countsShown(m_missedShown, m_unreadShown);
    }
}

void MainWindow::CallLogged(std::size_t position)
{
    emit callLogged(position);
}

void MainWindow::BringToFront()
{
    showNormal();
    raise();
    activateWindow();
}

void MainWindow::OpenCallLogEntry(std::size_t position)
{
    BringToFront();
    const CallLogEntry* entry = m_callLogStore.GetAt(position);
    if (!entry)
        return;
    if (entry->type == kCallTypeVoicemail) {
        ShowTab(kVoiceMailTab);
        m_voiceMail->SelectPosition(position);
        return;
    }
    m_callLog->SetFilter(entry->type == kCallTypeMissed ? kCallTypeMissed : CallLogStore::kFilterAll);
    ShowTab(kCallLogTab);
    m_callLog->SelectPosition(position);
}

void MainWindow::RefreshCallDisplay()
{
    UpdateControls();
}

void MainWindow::SaveToContact(const ContactRecord& record)
{
    m_contacts->NewContactFrom(record);
}

// Caller ids and numbers are shown as plain text: the status bar does not interpret markup.
void MainWindow::ShowCallStatus(std::string_view text)
{
    const QString message = QString::fromUtf8(text.data(), qsizetype(text.size()));
    if (message != m_statusBar->currentMessage())
        m_statusBar->showMessage(message);
}

QAction* MainWindow::Tool(int command) const
{
    for (QToolBar* bar : { m_topBars[0], m_topBars[1], m_topBars[2], m_headsetBar, m_lineBar })
        for (QAction* action : bar->actions())
            if (action->data().toInt() == command)
                return action;
    return nullptr;
}
