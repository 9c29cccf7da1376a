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
#include "ui/panels/fitting_scroll_area.h"
#include "ui/telephony_widgets/line_state_text.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
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
#include <climits>

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

constexpr int kToolButtonSize = 22;
// The first start's size at 100 %: wide enough for the four tab labels.
constexpr QSize kFirstSize(420, 588);
constexpr QSize kBitmapButtonSize(48, 36);
constexpr int kIndicatorWidth = 50;
constexpr int kSmallIconButton = 20;
// Gaps of the window's arrangement: the side margins, between the two left tool bars and between
// the Call and End buttons.
constexpr int kMargin = 8;
constexpr int kToolBarGap = 16;
constexpr int kCallEndGap = 140;

struct TabInfo {
    const char* label;
    int image;
    const char* tip;
};

// The labels' letters (Alt+T, A, O, V) are free of the menu bar's (F, C, H).
constexpr TabInfo kTabs[MainWindow::kTabCount] = {
    { QT_TRANSLATE_NOOP("MainWindow", "Con&tacts"), kContactsImage,
        QT_TRANSLATE_NOOP("MainWindow", "Call a contact/speed dial") },
    { QT_TRANSLATE_NOOP("MainWindow", "&Active Calls"), kCallImage,
        QT_TRANSLATE_NOOP("MainWindow", "Manage active calls / Dialing keypad and PBX control") },
    { QT_TRANSLATE_NOOP("MainWindow", "Call L&og"), kCallsLogImage,
        QT_TRANSLATE_NOOP("MainWindow", "Calls log") },
    { QT_TRANSLATE_NOOP("MainWindow", "&Voice Mail"), kVoiceMailImage,
        QT_TRANSLATE_NOOP("MainWindow", "Manage voicemail messages") },
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

// A push button drawn from four images (up, pressed, with the focus and disabled) that runs its
// action and follows the action's enabled state and tool tip. Its text is its accessible name.
class BitmapButton : public QAbstractButton {
public:
    BitmapButton(QAction* action, const char* imagePrefix, QWidget* parent)
        : QAbstractButton(parent)
        , m_prefix(imagePrefix)
    {
        setText(action->iconText());
        setFixedSize(kBitmapButtonSize);
        setFocusPolicy(Qt::StrongFocus);
        connect(this, &QAbstractButton::clicked, action, &QAction::trigger);
        connect(action, &QAction::changed, this, [this, action] { Follow(*action); });
        Follow(*action);
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
    void Follow(const QAction& action)
    {
        setEnabled(action.isEnabled());
        setToolTip(action.toolTip());
    }

    std::string m_prefix;
};

// An icon-only button: its name is what a screen reader says, its tip what it does.
QToolButton* CreateIconButton(int iconId, const QString& name, const QString& tip, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setIcon(Images::Icon(iconId));
    button->setIconSize(QSize(16, 16));
    button->setAutoRaise(true);
    button->setToolTip(tip);
    button->setAccessibleName(name);
    button->setAccessibleDescription(tip);
    button->setFocusPolicy(Qt::TabFocus);
    button->setFixedSize(kSmallIconButton, kSmallIconButton);
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

// The refresh runs on every call event: a screen reader hears of a name only when it changes.
void UpdateAccessibleName(QWidget* widget, const QString& name)
{
    if (widget->accessibleName() != name)
        widget->setAccessibleName(name);
}

// Before the program's key exists every number reads 0: a column of no width would be lost.
int StoredColumnWidth(const SettingsStore& settings, const Settings::NumberValue& value)
{
    const int width = settings.Read(value);
    return width > 0 ? width : value.def;
}

// The search/dial box's text: the desktop's font, bold and larger, so it scales with it.
QFont SearchFieldFont(QFont font)
{
    constexpr double kSearchFontGrowth = 1.4;
    font.setBold(true);
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * kSearchFontGrowth);
    else
        font.setPixelSize(qRound(font.pixelSize() * kSearchFontGrowth));
    return font;
}

// The indicators carry this property; a screen reader sees them as buttons.
constexpr char kIndicatorProperty[] = "kestriumIndicator";

// An indicator to assistive technology: a button whose press action is the Space key, which the
// window handles as it does for the keyboard.
class IndicatorAccessible : public QAccessibleWidget {
public:
    explicit IndicatorAccessible(QWidget* widget)
        : QAccessibleWidget(widget, QAccessible::Button)
    {
    }

    QStringList actionNames() const override
    {
        return QStringList(pressAction()) + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& name) override
    {
        if (name != pressAction()) {
            QAccessibleWidget::doAction(name);
            return;
        }
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
        QCoreApplication::sendEvent(widget(), &press);
    }
};

QAccessibleInterface* CreateIndicatorAccessible(const QString&, QObject* object)
{
    auto* widget = qobject_cast<QWidget*>(object);
    return widget && widget->property(kIndicatorProperty).toBool() ? new IndicatorAccessible(widget)
                                                                   : nullptr;
}

} // namespace

MainWindow::MainWindow(LineManager& lines, const Stores& stores, Prompter& prompter)
    : m_lines(lines)
    , m_callLogStore(stores.callLog)
    , m_redial(stores.redial)
    , m_settings(stores.settings)
    , m_prompter(prompter)
    , m_callLogContext{ stores.callLog, stores.settings, lines, stores.redial, prompter, *this,
        stores.folders, std::nullopt, nullptr, nullptr }
{
    setWindowTitle(kCaption);
    setWindowIcon(Images::Icon(kProgramIcon));
    m_client = new QWidget(this);
    // Flat buttons, lists and the indicators show no focus of their own in every style: a frame in
    // the highlight colour shows where Tab is.
    m_client->setStyleSheet("QToolButton:focus { border: 1px solid palette(highlight); border-radius: 2px; }"
                            "QAbstractItemView:focus, QFrame#missedCalls:focus, QFrame#newVoiceMail:focus"
                            " { border: 1px solid palette(highlight); }");
    CreateCommands();
    SetupMenuBar();

    m_statusBar = new QStatusBar(this);
    m_statusBar->setSizeGripEnabled(true);
    // Tall enough for a line of text whatever the style makes of an empty bar.
    m_statusBar->setMinimumHeight(m_statusBar->fontMetrics().height() + 6);
    m_linesProblem = new QLabel(m_statusBar);
    m_linesProblem->setTextFormat(Qt::PlainText);
    m_linesProblem->hide();
    m_statusBar->addWidget(m_linesProblem, 1);
    m_addressBookStatus = new QLabel(m_statusBar);
    m_addressBookStatus->setObjectName("addressBookStatus");
    m_addressBookStatus->setTextFormat(Qt::PlainText);
    m_addressBookStatus->hide();
    m_addressBookProgress = new QProgressBar(m_statusBar);
    m_addressBookProgress->setObjectName("addressBookProgress");
    m_addressBookProgress->setMaximumWidth(120);
    m_addressBookProgress->hide();
    m_statusBar->addPermanentWidget(m_addressBookStatus);
    m_statusBar->addPermanentWidget(m_addressBookProgress);
    SetupTopToolBars();
    // The pages type into and follow the search/dial box: it exists before them.
    SetupSearchDialBox();
    SetupPages(stores, prompter);
    SetupLineButtons();
    SetupIndicators();
    CreateLayout();
    SetupTabOrder();
    ApplyPlacement();
}

MainWindow::~MainWindow()
{
    SaveState();
}

// The menus hold the commands of the tool bars and buttons too, with their shortcuts, so that
// the keyboard and a screen reader find every command in one place.
void MainWindow::SetupMenuBar()
{
    m_menuBar = new QMenuBar(this);
    QMenu* file = m_menuBar->addMenu(tr("&File"));
    file->addActions({ Action("actionImport"), Action("actionExport"), Action("actionSyncAddressBook") });
    file->addSeparator();
    file->addActions({ Action("actionSetup"), Action("actionPbxControl") });
    file->addSeparator();
    file->addAction(Action("actionExit"));
    QMenu* call = m_menuBar->addMenu(tr("&Call", "menu"));
    call->addActions({ Action("actionSearch"), m_callAction, m_endAction });
    call->addSeparator();
    call->addActions({ m_recordAction, m_notesAction, Action("actionMute"), m_holdAction,
        Action("actionTransfer"), Action("actionConsultTransfer"), Action("actionConference") });
    call->addSeparator();
    call->addActions(
        { Action("actionDoNotDisturb"), Action("actionQueueCall"), Action("actionInstantMessage") });
    // The about box sits in the Help menu: a Linux window has no system menu of its own.
    QMenu* help = m_menuBar->addMenu(tr("&Help"));
    QAction* about = help->addAction(tr("&About  Kestrium..."));
    about->setObjectName("actionAbout");
    connect(about, &QAction::triggered, this, [this] { AboutBox(this).exec(); });
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

// The tool bar's button for the action shows its image, and Tab reaches it.
void MainWindow::AddTool(QToolBar* bar, QAction* action, int image)
{
    action->setIcon(Images::Small(image));
    bar->addAction(action);
    QWidget* button = bar->widgetForAction(action);
    // Fixed-size buttons: the top bars hold four and five of them in 92 and 161 pixels.
    if (bar->toolButtonStyle() == Qt::ToolButtonIconOnly)
        button->setFixedSize(kToolButtonSize, kToolButtonSize);
    button->setFocusPolicy(Qt::TabFocus);
}

void MainWindow::SetupTopToolBars()
{
    for (QToolBar*& bar : m_topBars)
        bar = CreateToolBar(m_client);
    AddTool(m_topBars[0], Action("actionDoNotDisturb"), 6);
    AddTool(m_topBars[0], Action("actionQueueCall"), 7);
    AddTool(m_topBars[0], Action("actionConference"), 8);
    AddTool(m_topBars[0], Action("actionPbxControl"), 15);
    AddTool(m_topBars[1], m_recordAction, kRecordImage);
    AddTool(m_topBars[1], m_notesAction, 3);
    AddTool(m_topBars[1], Action("actionMute"), 10);
    AddTool(m_topBars[1], Action("actionHold"), 11);
    AddTool(m_topBars[1], Action("actionInstantMessage"), 12);
    AddTool(m_topBars[2], Action("actionSetup"), 13);
}

void MainWindow::SetupSearchDialBox()
{
    const QString fieldTip = tr("Enter text to search contacts, or a number to dial manually");
    m_searchGroup = new QGroupBox(tr("Search contacts/dial number:"), m_client);
    m_searchIcon = CreateIconButton(kSearchIcon, tr("Search"), fieldTip, m_client);
    m_searchIcon->setObjectName("searchIcon");
    // The field itself has the focus: its icon needs no Tab stop.
    m_searchIcon->setFocusPolicy(Qt::NoFocus);
    m_searchField = new QLineEdit(m_client);
    m_searchField->setMaxLength(kSearchTextLimit);
    m_searchField->setToolTip(fieldTip);
    m_searchField->setAccessibleName(tr("Search contacts or dial number"));
    m_searchField->setAccessibleDescription(fieldTip);
    m_searchField->setFont(SearchFieldFont(m_searchField->font()));
    m_searchField->installEventFilter(this);
    m_clearButton = CreateIconButton(kClearIcon, tr("Clear"), tr("Click to clear search field"), m_client);
    m_redialButton = CreateIconButton(kRedialIcon, tr("Redial"), tr("Popup REDIAL list"), m_client);
    m_callButton = new BitmapButton(m_callAction, "KesCall", m_client);
    m_endButton = new BitmapButton(m_endAction, "KesCallEnd", m_client);

    connect(m_searchIcon, &QToolButton::clicked, m_searchField, [this] { m_searchField->setFocus(); });
    connect(m_searchField, &QLineEdit::textChanged, this, &MainWindow::OnSearchTextChanged);
    connect(m_clearButton, &QToolButton::clicked, this, &MainWindow::ClearSearchField);
    connect(m_redialButton, &QToolButton::clicked, this, &MainWindow::PopUpRedialMenu);
    LayOutSearchDialBox();
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
    connect(m_dialPad->Tree(), &QTreeWidget::itemSelectionChanged, this, &MainWindow::UpdateCallActions);
    m_dialPad->SetCallCommands(
        { Action("actionTransfer"), Action("actionConsultTransfer"), Action("actionConference") });
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
        // On a small screen or at a large scale a page scrolls rather than push the window off it.
        m_tabs->addTab(
            new FittingScrollArea(pages[index]), Images::Small(kTabs[index].image), tr(kTabs[index].label));
        m_tabs->setTabToolTip(index, tr(kTabs[index].tip));
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
        AddTool(m_headsetBar, m_headsetActions[std::size_t(slot)], kPhoneImage);
        AddTool(m_lineBar, m_lineActions[std::size_t(slot)], kLineButtonImage);
    }
}

// A count that opens what it counts on a click, or on Space or Enter once Tab has reached it.
QFrame* MainWindow::CreateIndicator(const char* name, int image, const QString& tip, QLabel*& count)
{
    [[maybe_unused]] static const bool accessibleAsButtons
        = (QAccessible::installFactory(&CreateIndicatorAccessible), true);
    auto* frame = new QFrame(m_client);
    frame->setProperty(kIndicatorProperty, true);
    frame->setObjectName(name);
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    frame->setToolTip(tip);
    frame->setAccessibleDescription(tip);
    frame->setFocusPolicy(Qt::TabFocus);
    frame->setMinimumWidth(kIndicatorWidth);
    frame->setCursor(Qt::PointingHandCursor);
    frame->installEventFilter(this);
    auto* icon = new QLabel(frame);
    icon->setPixmap(Images::Small(image).pixmap(16, 16));
    count = new QLabel("0", frame);
    count->setAlignment(Qt::AlignCenter);
    auto* layout = new QHBoxLayout(frame);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(0);
    layout->addWidget(icon);
    layout->addWidget(count, 1);
    for (QWidget* part : { static_cast<QWidget*>(icon), static_cast<QWidget*>(count) })
        part->setAttribute(Qt::WA_TransparentForMouseEvents);
    return frame;
}

void MainWindow::SetupIndicators()
{
    m_missedFrame = CreateIndicator("missedCalls", kMissedCallsImage, tr("New missed calls"), m_missedCount);
    m_voiceMailFrame
        = CreateIndicator("newVoiceMail", kVoiceMailImage, tr("New voice mail messages"), m_voiceMailCount);
}

// From the search/dial box: Call and End, the headset and line buttons, the indicators, the top tool
// bars, then the tabs with the selected page, and round to the box again.
void MainWindow::SetupTabOrder()
{
    std::vector<QWidget*> order = { m_searchField, m_clearButton, m_redialButton, m_callButton, m_endButton };
    const auto addButtons = [&order](const QToolBar* bar) {
        for (QAction* action : bar->actions())
            order.push_back(bar->widgetForAction(action));
    };
    addButtons(m_headsetBar);
    addButtons(m_lineBar);
    order.insert(order.end(), { m_missedFrame, m_voiceMailFrame });
    for (const QToolBar* bar : m_topBars)
        addButtons(bar);
    // The tab widget moves with its pages' controls.
    order.push_back(m_tabs);
    for (std::size_t index = 1; index < order.size(); ++index)
        setTabOrder(order[index - 1], order[index]);
}

void MainWindow::Initialize()
{
    ChooseDefaultLine();
    m_contacts->FillContactTree(true);
    m_lines.RebuildCallTree(*m_dialPad->CallTree());
    m_dialPad->LoadMacroNames();
    ShowTab(StartTab());
    UpdateControls();
    // Once the window is up: the focus for typing on the Contacts tab.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (CurrentTab() == kContactsTab)
                m_searchField->setFocus();
        },
        Qt::QueuedConnection);
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
    if (m_settings.Read(Settings::kPlacement, &placement)
        && placement.length == std::int32_t(sizeof placement)) {
        const QRect normal(QPoint(placement.normal[0], placement.normal[1]),
            QPoint(placement.normal[2] - 1, placement.normal[3] - 1));
        if (normal.isValid()) {
            setGeometry(FittedToScreen(normal));
            if (placement.showState == kShowMaximized)
                setWindowState(Qt::WindowMaximized);
            return;
        }
    }
    // The first start opens wide enough for the four tab labels and tall enough for the pages in
    // the user's font (within the screen), centred; the user may shrink it to the layout's minimum,
    // where the labels are shortened and the pages scroll.
    QRect first(QPoint(), kFirstSize.expandedTo(sizeHint()));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        first.moveCenter(screen->availableGeometry().center());
    setGeometry(FittedToScreen(first));
}

// A place stored on a larger screen or at a smaller scale is cut to the screen it lands on and
// moved onto it, so the dial box and the line buttons are never below the screen's edge.
QRect MainWindow::FittedToScreen(QRect wanted) const
{
    const QScreen* screen = QGuiApplication::screenAt(wanted.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return wanted;
    const QRect available = screen->availableGeometry();
    const QSize minimum = minimumSizeHint();
    wanted.setWidth(std::max(minimum.width(), std::min(wanted.width(), available.width())));
    wanted.setHeight(std::max(minimum.height(), std::min(wanted.height(), available.height())));
    wanted.moveLeft(std::clamp(
        wanted.left(), available.left(), std::max(available.left(), available.right() + 1 - wanted.width())));
    wanted.moveTop(std::clamp(
        wanted.top(), available.top(), std::max(available.top(), available.bottom() + 1 - wanted.height())));
    return wanted;
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

void MainWindow::ShowAddressBookStatus(const QString& text)
{
    m_addressBookStatus->setText(text);
    m_addressBookStatus->setVisible(!text.isEmpty());
}

void MainWindow::ShowAddressBookProgress(qint64 done, qint64 total)
{
    const bool busy = total < 0;
    const bool running = busy || (total > 0 && done < total);
    if (busy) {
        m_addressBookProgress->setRange(0, 0);
    } else if (running) {
        m_addressBookProgress->setRange(0, int(std::min<qint64>(total, INT_MAX)));
        m_addressBookProgress->setValue(int(std::min(done, total)));
    }
    m_addressBookProgress->setVisible(running);
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
    const Settings::NumberValue* widths[] = { &Settings::kCallLogColumn1Width,
        &Settings::kCallLogColumn2Width, &Settings::kCallLogColumn3Width };
    for (int column = 0; column < CallLogPanel::kColumnCount; ++column)
        m_settings.Write(*widths[column], m_callLog->ColumnWidth(column));
}

// Top to bottom: the three tool bars (two on the left, Setup on the right), the tabs, which take
// the room the window gains, the search/dial box, the headset and line buttons with the two
// indicators, and the status bar. The layouts give the window its minimum size.
void MainWindow::CreateLayout()
{
    auto* top = new QHBoxLayout;
    top->setSpacing(kToolBarGap);
    top->addWidget(m_topBars[0]);
    top->addWidget(m_topBars[1]);
    top->addStretch(1);
    top->addWidget(m_topBars[2]);

    auto* client = new QVBoxLayout(m_client);
    client->setContentsMargins(kMargin, 0, kMargin, 4);
    client->addLayout(top);
    client->addWidget(m_tabs, 1);
    client->addWidget(m_searchGroup);
    client->addLayout(CreateBottomRows());

    auto* window = new QVBoxLayout(this);
    window->setContentsMargins(0, 0, 0, 0);
    window->setSpacing(0);
    window->setMenuBar(m_menuBar);
    window->addWidget(m_client, 1);
    window->addWidget(m_statusBar);
}

// The headset buttons above the line buttons, the indicators beside the line buttons' images, all
// centred.
QLayout* MainWindow::CreateBottomRows()
{
    auto* grid = new QGridLayout;
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(kMargin);
    grid->setVerticalSpacing(0);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(4, 1);
    grid->addWidget(m_headsetBar, 0, 1, Qt::AlignLeft);
    grid->addWidget(m_lineBar, 1, 1);
    grid->addWidget(m_missedFrame, 1, 2, Qt::AlignTop);
    grid->addWidget(m_voiceMailFrame, 1, 3, Qt::AlignTop);
    return grid;
}

// The group frame holds the search row (icon, field and the clear or redial button) and, below
// it, the Call and End buttons.
void MainWindow::LayOutSearchDialBox()
{
    auto* row = new QHBoxLayout;
    row->setSpacing(2);
    row->addWidget(m_searchIcon);
    row->addWidget(m_searchField, 1);
    row->addWidget(m_clearButton);
    row->addWidget(m_redialButton);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_callButton);
    buttons->addSpacing(kCallEndGap);
    buttons->addWidget(m_endButton);
    buttons->addStretch(1);
    auto* box = new QVBoxLayout(m_searchGroup);
    box->setContentsMargins(4, 4, 4, 2);
    box->setSpacing(4);
    box->addLayout(row);
    box->addLayout(buttons);
}

void MainWindow::UpdateControls()
{
    UpdateLineButtons();
    const bool canPause = m_lines.GetTargetCallForAction(true, kActionPauseRecording) != 0;
    m_recordAction->setEnabled(canPause || m_lines.GetTargetCallForAction(true, kActionRecord) != 0);
    m_recordAction->setIcon(Images::Small(canPause ? kPauseImage : kRecordImage));
    m_notesAction->setEnabled(m_lines.GetTargetCallForAction(true, kActionAddNote) != 0);
    UpdateCallButton();
    m_endAction->setEnabled(m_lines.GetTargetCallForAction(true, kActionDrop) != 0);
    UpdateCallActions();
    ShowMissedCount(m_callLogStore.CountUnseenMissed(m_settings));
    ShowUnreadCount(m_callLogStore.CountUnheardVoicemail());
    if (CurrentTab() == kKeypadTab)
        m_dialPad->RefreshKeypad();
    // A command may have paused or resumed a recording: the call rows and status bar follow.
    m_lines.RefreshCallDisplay();
}

// Hold is checked while the call it works on is held; it follows the selected call. Transfer and
// Conference are offered by the selected call's features (without a selection, any call's).
void MainWindow::UpdateCallActions()
{
    if (!m_holdAction)
        return;
    m_holdAction->setEnabled(m_lines.GetTargetCallForAction(true, kActionHold) != 0);
    const ActionTarget selected = SelectedCall();
    m_holdAction->setChecked(m_lines.IsOnHold(m_lines.TargetOf(kActionHold, selected)));
    for (const auto& [action, code] : m_callActions)
        action->setEnabled(m_lines.Offers(code, selected));
    // An empty box says what it is for while the call commands take their number from it.
    m_searchField->setPlaceholderText(
        TakesNumberForCalls() ? tr("Transfer or conference number") : QString());
}

void MainWindow::UpdateLineButtons()
{
    for (int slot = 0; slot < LineManager::kSlotCount; ++slot) {
        LineSlot& line = m_lines.GetLineSlot(slot);
        const bool open = line.IsOpen();
        QAction* headset = m_headsetActions[std::size_t(slot)];
        headset->setEnabled(open);
        if (open) {
            const bool headsetOn = line.IsHeadsetOn() != 0;
            headset->setIcon(Images::Small(headsetOn ? kHeadsetImage : kPhoneImage));
            headset->setText((headsetOn ? tr("Headset, line %1") : tr("Handset, line %1")).arg(slot + 1));
        }
        QAction* button = m_lineActions[std::size_t(slot)];
        const bool isDefault = open && slot == m_lines.GetDefaultLine();
        button->setText(QString(isDefault ? "[%1]" : "%1").arg(slot + 1));
        button->setIcon(Images::Small(m_lines.GetLineImage(slot)));
        const QString state = LineStateText(m_lines, slot);
        const QString name = QString::fromStdString(m_lines.GetDisplayName(slot));
        button->setToolTip(state.isEmpty() ? name : PlainToolTip(name + "\n" + state));
        button->setEnabled(open);
        // The button shows only the number: a screen reader says which line it is.
        UpdateAccessibleName(m_lineBar->widgetForAction(button),
            (isDefault ? tr("Line %1, the default line") : tr("Line %1")).arg(slot + 1));
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
    m_callAction->setEnabled(enabled);
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
    UpdateAccessibleName(m_missedFrame, tr("New missed calls: %1").arg(qulonglong(count)));
    if (count != m_missedShown) {
        m_missedShown = count;
        emit countsShown(m_missedShown, m_unreadShown);
    }
}

void MainWindow::ShowUnreadCount(std::size_t count)
{
    m_voiceMailCount->setText(QString::number(qulonglong(count)));
    UpdateAccessibleName(m_voiceMailFrame, tr("New voice mail messages: %1").arg(qulonglong(count)));
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
