// The main window as a user meets it: started by the application in a data folder of its own, on
// the simulated exchange's manual clock, with scripted message boxes.
#include "running_app.h"

#include "telephony/tapi_binding.h"
#include "ui/main/main_window.h"
#include "ui/panels/call_log_panel.h"
#include "ui/panels/contact_tree_model.h"
#include "ui/panels/contacts_panel.h"
#include "ui/panels/dial_pad_panel.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <poll.h>

#include <algorithm>
#include <set>

namespace fs = std::filesystem;

namespace {

// Two contacts in the "Family" group, each with one number.
std::string ContactLine(const std::string& first, const std::string& last, const std::string& number)
{
    std::string line
        = "\"Family\",\"" + first + "\",\"" + last + "\",\"\",\"\",\"\",\"" + first + " " + last + "\",\"0\"";
    for (int slot = 0; slot < 10; ++slot)
        line += std::string(",\"") + (slot == 0 ? number : "") + "\",\"" + std::to_string(slot) + "\"";
    return line + ",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n";
}

using MainWindowTest = RunningApp;

TEST_F(MainWindowTest, StartTabFollowsStartInTabOrTheLastTab)
{
    m_settings.Write(Settings::kStartInTab, 4);
    m_settings.Write(Settings::kLastTab, 2);
    EXPECT_EQ(Start().CurrentTab(), MainWindow::kCallLogTab);
    m_app->Finish();
    m_settings.Write(Settings::kStartInTab, 7);
    m_settings.Write(Settings::kLastTab, 9);
    EXPECT_EQ(Start().CurrentTab(), MainWindow::kContactsTab);
    m_app->Finish();
    m_settings.Write(Settings::kStartInTab, 1);
    EXPECT_EQ(Start().CurrentTab(), MainWindow::kKeypadTab);
}

TEST_F(MainWindowTest, WithNoLineAllTwelveLineButtonsAndCallAreDisabled)
{
    ASSERT_EQ(tapisimConfigure("[line]\nname = Zo-Linka Modem\nkind = modem\n"), TAPISIM_OK)
        << tapisimLastError();
    MainWindow& window = Start();
    for (int slot = 0; slot < 6; ++slot) {
        EXPECT_FALSE(Command(window, QString("actionLine%1").arg(slot + 1)).isEnabled()) << slot;
        EXPECT_FALSE(Command(window, QString("actionHeadset%1").arg(slot + 1)).isEnabled()) << slot;
        EXPECT_EQ(Command(window, QString("actionLine%1").arg(slot + 1)).text(), QString::number(slot + 1));
    }
    EXPECT_FALSE(window.CallButton()->isEnabled());
    EXPECT_FALSE(window.EndButton()->isEnabled());
    EXPECT_FALSE(Command(window, "actionHold").isEnabled()) << "no call to hold";
    for (const char* name : { "actionTransfer", "actionConsultTransfer", "actionConference" })
        EXPECT_FALSE(Command(window, name).isEnabled()) << name << ": no call";
    // Told once, and the status bar keeps saying it.
    ASSERT_EQ(m_prompter.messages.size(), 1u);
    EXPECT_NE(m_prompter.messages[0].text.find("No telephone line could be opened"), std::string::npos)
        << m_prompter.messages[0].text;
    EXPECT_EQ(window.LinesProblem(), "No telephone line is open");

    // The functions not offered say so, whether a line is open or not; a toggle does not stay on.
    const std::pair<const char*, const char*> notOffered[]
        = { { "actionDoNotDisturb", "N/A: Do not disturb" }, { "actionQueueCall", "N/A: Calls Queue" },
              { "actionMute", "N/A: Mute" }, { "actionInstantMessage", "N/A: Instant Message" } };
    for (const auto& [name, message] : notOffered) {
        QAction& action = Command(window, name);
        action.trigger();
        ASSERT_FALSE(m_prompter.messages.empty());
        EXPECT_EQ(m_prompter.messages.back().text, message);
        EXPECT_EQ(m_prompter.messages.back().title, "Kestrium");
        EXPECT_FALSE(action.isChecked()) << name;
    }
    EXPECT_EQ(m_prompter.messages.size(), 1u + std::size(notOffered));
    EXPECT_EQ(Command(window, "actionDoNotDisturb").toolTip(), "Do Not Disturb: Mute incoming calls alerts");
}

// Without its telephony service the program still runs, and says which file it looked for.
TEST(MainWindowWithoutService, SaysWhyNoLineWorks)
{
    TapiBinding missing("libtapi32-missing.so");
    EXPECT_EQ(missing.lineShutdown(HLINEAPP(1)), LINEERR_OPERATIONUNAVAIL);
    EXPECT_NE(missing.LoadError().find("libtapi32-missing.so"), std::string::npos) << missing.LoadError();
}

TEST_F(MainWindowTest, SearchBoxSwitchesToContactsExceptWhenClearedOnActiveCalls)
{
    testing_support::WriteBytes(m_dir / "KestriumContacts200.csv",
        ContactLine("Ann", "Lee", "5551234") + ContactLine("Bob", "Stone", "5559876"));
    MainWindow& window = Start();
    window.show();
    window.ShowTab(MainWindow::kCallLogTab);
    QTest::keyClicks(window.SearchField(), "Bo");
    EXPECT_EQ(window.CurrentTab(), MainWindow::kContactsTab);
    EXPECT_EQ(window.Contacts()->Model()->ShownCount(), 1u);
    EXPECT_TRUE(window.ClearButton()->isVisibleTo(&window));
    EXPECT_FALSE(window.RedialButton()->isVisibleTo(&window));
    EXPECT_TRUE(window.CallButton()->isEnabled()) << "Bob Stone's number can be dialled";

    // Ctrl+F from another tab brings up Contacts with the box's text selected: typing replaces it.
    window.ShowTab(MainWindow::kCallLogTab);
    Command(window, "actionSearch").trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(window.CurrentTab(), MainWindow::kContactsTab);
    EXPECT_EQ(window.SearchField()->selectedText(), "Bo");
    QTest::keyClicks(window.SearchField(), "An");
    EXPECT_EQ(window.SearchField()->text(), "An");
    EXPECT_EQ(window.Contacts()->Model()->ShownCount(), 1u);

    window.ShowTab(MainWindow::kKeypadTab);
    QTest::mouseClick(window.ClearButton(), Qt::LeftButton);
    EXPECT_EQ(window.CurrentTab(), MainWindow::kKeypadTab);
    EXPECT_TRUE(window.SearchField()->text().isEmpty());
    EXPECT_FALSE(window.ClearButton()->isVisibleTo(&window));
    EXPECT_TRUE(window.RedialButton()->isVisibleTo(&window));
    EXPECT_FALSE(window.KeypadTyping());
    TakeScreenshots(window);
}

TEST_F(MainWindowTest, CallAnswersARingingCallWhateverTheTab)
{
    MainWindow& window = Start();
    window.ShowTab(MainWindow::kVoiceMailTab);
    TAPISIM_CALLER caller{ "5558888", "Ringer", 0, 0, 0 };
    ASSERT_EQ(tapisimRing(0, &caller), TAPISIM_OK);
    Settle();
    ASSERT_TRUE(window.CallButton()->isEnabled());
    EXPECT_TRUE(window.EndButton()->isEnabled());
    QTest::mouseClick(window.CallButton(), Qt::LeftButton);
    Advance(500);
    const LineSlot& line = m_app->Lines().GetLineSlot(0);
    bool connected = false;
    for (int record = 0; record < LineSlot::kMaxCalls; ++record)
        connected = connected
            || (line.CallAt(record).call != 0 && line.CallAt(record).lastState == LINECALLSTATE_CONNECTED);
    EXPECT_TRUE(connected);
    EXPECT_TRUE(Command(window, "actionRecord").isEnabled()) << "a connected call can be recorded";
}

TEST_F(MainWindowTest, WindowStateIsSavedOnCloseAndReadAtTheNextStart)
{
    MainWindow& window = Start();
    Command(window, "actionLine2").trigger();
    EXPECT_EQ(Command(window, "actionLine2").text(), "[2]");
    EXPECT_EQ(Command(window, "actionLine1").text(), "1");
    window.SearchField()->setText("Ann");
    window.ShowTab(MainWindow::kVoiceMailTab);
    window.CallLogPage()->List()->setColumnWidth(0, 200);
    EXPECT_GE(window.CallLogPage()->ColumnWidth(1), 59) << "never narrower than the stored width";
    const int dateWidth = window.CallLogPage()->ColumnWidth(1);
    window.setGeometry(40, 50, 400, 700);
    Stop();

    std::int32_t defaultLine = -1;
    ASSERT_TRUE(m_settings.Read(Settings::kDefaultLine, &defaultLine));
    EXPECT_EQ(defaultLine, 1);
    char search[100];
    ASSERT_TRUE(m_settings.Read(Settings::kLastSearchString, search));
    EXPECT_STREQ(search, "Ann");
    EXPECT_EQ(m_settings.Read(Settings::kLastTab), MainWindow::kVoiceMailTab);
    EXPECT_EQ(m_settings.Read(Settings::kCallLogColumn1Width), 200);
    EXPECT_EQ(m_settings.Read(Settings::kCallLogColumn2Width), dateWidth);

    m_settings.Write(Settings::kStartInTab, 4);
    MainWindow& again = Start();
    EXPECT_EQ(again.CurrentTab(), MainWindow::kVoiceMailTab);
    EXPECT_EQ(m_app->Lines().GetDefaultLine(), 1);
    EXPECT_EQ(Command(again, "actionLine2").text(), "[2]");
    EXPECT_EQ(again.geometry(), QRect(40, 50, 400, 700));
    EXPECT_EQ(again.CallLogPage()->ColumnWidth(0), 200);
    EXPECT_TRUE(again.SearchField()->text().isEmpty()) << "the search starts empty";
}

// A larger window gives its room to the lists: the contact tree grows, and the call log's name
// column fills what the date and time leave, while the width the user gave it is what is kept.
TEST_F(MainWindowTest, ListsAndTheNameColumnTakeTheRoomTheWindowGains)
{
    MainWindow& window = Start();
    window.resize(420, 600);
    Settle();
    const int treeHeight = window.Contacts()->Tree()->height();
    window.ShowTab(MainWindow::kCallLogTab);
    QTreeView* list = window.CallLogPage()->List();
    const int storedName = window.CallLogPage()->ColumnWidth(0);
    const auto filled = [list] {
        return list->columnWidth(0) + list->columnWidth(1) + list->columnWidth(2)
            == list->viewport()->width();
    };
    EXPECT_TRUE(filled());
    const int narrowName = list->columnWidth(0);

    window.resize(900, 800);
    Settle();
    EXPECT_TRUE(filled());
    EXPECT_GT(list->columnWidth(0), narrowName);
    EXPECT_EQ(window.CallLogPage()->ColumnWidth(0), storedName);
    window.ShowTab(MainWindow::kContactsTab);
    Settle();
    EXPECT_GT(window.Contacts()->Tree()->height(), treeHeight + 150);
    EXPECT_GE(window.StatusBar()->height(), window.StatusBar()->fontMetrics().height());
}

std::string ExchangeLines()
{
    char reply[8192] = {};
    tapisimCommand("list", reply, sizeof reply);
    return reply;
}

// Escape only empties the box; leaving with a call up asks first, and No keeps program and call.
TEST_F(MainWindowTest, EscapeKeepsTheCallAndExitAsksWhileACallIsUp)
{
    MainWindow& window = Start();
    QSignalSpy closed(&window, &MainWindow::closed);
    TAPISIM_CALLER caller{ "5558888", "Ringer", 0, 0, 0 };
    ASSERT_EQ(tapisimRing(0, &caller), TAPISIM_OK);
    Settle();
    QTest::mouseClick(window.CallButton(), Qt::LeftButton);
    Advance(500);
    window.SearchField()->setFocus();
    QTest::keyClicks(window.SearchField(), "Ann");
    QTest::keyClick(window.SearchField(), Qt::Key_Escape);
    EXPECT_TRUE(window.SearchField()->text().isEmpty());
    QTest::keyClick(window.SearchField(), Qt::Key_Escape);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(m_prompter.questions.empty()) << "Escape never asks to exit";

    window.close();
    ASSERT_EQ(m_prompter.questions.size(), 1u);
    EXPECT_NE(m_prompter.questions[0].text.find("A call is in progress"), std::string::npos)
        << m_prompter.questions[0].text;
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(closed.count(), 0);
    EXPECT_NE(ExchangeLines().find("connected"), std::string::npos) << ExchangeLines();

    m_prompter.answers.push_back(true);
    auto* exit = window.findChild<QAction*>("actionExit");
    ASSERT_NE(exit, nullptr);
    EXPECT_EQ(exit->shortcut().toString(), "Ctrl+Q");
    exit->trigger();
    EXPECT_EQ(m_prompter.questions.size(), 2u);
    EXPECT_EQ(closed.count(), 1);
}

// Every control the window shows is a stop of the Tab chain that starts in the search/dial box, Call
// and End right after it, each with a name a screen reader can say; the shortcuts run the commands.
TEST_F(MainWindowTest, KeyboardAloneReachesEveryControlAndRunsTheCommands)
{
    MainWindow& window = Start();
    window.show();
    TAPISIM_CALLER caller{ "5558888", "Ringer", 0, 0, 0 };
    ASSERT_EQ(tapisimRing(0, &caller), TAPISIM_OK);
    Settle();
    // Back from the incoming call's pop-up to the window.
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    // The chain from the search/dial box round to it again.
    const auto tabChain = [&window] {
        std::vector<QWidget*> chain;
        for (int stop = 0; stop < 100 && (chain.empty() || chain.back() != window.SearchField()); ++stop) {
            QTest::keyClick(window.focusWidget(), Qt::Key_Tab);
            chain.push_back(window.focusWidget());
        }
        return chain;
    };
    const auto buttonFor = [&window](const char* action) -> QObject* {
        for (QToolButton* button : window.findChildren<QToolButton*>())
            if (button->defaultAction() == &Command(window, action))
                return button;
        return nullptr;
    };
    // The keypad's digits are typed on the keyboard, and the search icon only leads to the box.
    std::set<const QWidget*> mouseOnly = { window.findChild<QWidget*>("searchIcon") };
    for (int key = 0; key < DialPadPanel::kKeyCount; ++key)
        mouseOnly.insert(window.DialPad()->Key(key));
    for (int tab = MainWindow::kVoiceMailTab; tab >= MainWindow::kContactsTab; --tab) {
        window.ShowTab(tab);
        window.SearchField()->setFocus();
        const std::vector<QWidget*> chain = tabChain();
        ASSERT_EQ(chain.back(), window.SearchField()) << "Tab comes back to the box";
        const auto position = [&chain](const QObject* widget) {
            return std::find(chain.begin(), chain.end(), widget) - chain.begin();
        };
        EXPECT_EQ(position(window.CallButton()), 1) << "right after the redial button";
        EXPECT_EQ(position(window.EndButton()), 2);
        // Then down the window and on from its top.
        const QObject* const along[] = { window.EndButton(), buttonFor("actionHeadset1"),
            buttonFor("actionHeadset6"), buttonFor("actionLine1"), buttonFor("actionLine6"),
            window.findChild<QWidget*>("missedCalls"), window.findChild<QWidget*>("newVoiceMail"),
            buttonFor("actionDoNotDisturb"), buttonFor("actionSetup"), window.Tabs()->tabBar() };
        for (std::size_t index = 1; index < std::size(along); ++index)
            EXPECT_LT(position(along[index - 1]), position(along[index])) << index;
        for (QWidget* control : window.findChildren<QWidget*>()) {
            // A list's header is part of the list.
            const bool isControl = qobject_cast<QAbstractButton*>(control)
                || (qobject_cast<QAbstractItemView*>(control) && !qobject_cast<QHeaderView*>(control))
                || qobject_cast<QLineEdit*>(control) || qobject_cast<QTabBar*>(control)
                || control->objectName() == "missedCalls" || control->objectName() == "newVoiceMail";
            if (!isControl || !control->isVisible() || !control->isEnabled() || mouseOnly.count(control))
                continue;
            const std::string what
                = control->metaObject()->className() + (" " + control->toolTip().toStdString());
            EXPECT_NE(position(control), std::ptrdiff_t(chain.size()))
                << what << " is not reached by Tab on tab " << tab;
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
            ASSERT_NE(accessible, nullptr) << what;
            EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty()) << what << " has no accessible name";
        }
    }
    // Buttons that show only a number or an image say what they are.
    const auto spoken = [](QObject* control) {
        return QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
    };
    EXPECT_EQ(spoken(buttonFor("actionLine1")), "Line 1, the default line");
    EXPECT_EQ(spoken(buttonFor("actionLine2")), "Line 2");
    EXPECT_EQ(spoken(buttonFor("actionHeadset2")), "Handset, line 2");
    EXPECT_EQ(spoken(window.RedialButton()), "Redial");
    EXPECT_EQ(spoken(window.Contacts()->SpeedButton(0)), "Speed dial 1, empty") << "not \"...\"";
    EXPECT_EQ(spoken(window.findChild<QWidget*>("newVoiceMail")), "New voice mail messages: 0");
    window.findChild<QWidget*>("newVoiceMail")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(window.focusWidget(), Qt::Key_Space);
    EXPECT_EQ(window.CurrentTab(), MainWindow::kVoiceMailTab) << "an indicator opens what it counts";
    QAccessibleInterface* missed
        = QAccessible::queryAccessibleInterface(window.findChild<QWidget*>("missedCalls"));
    EXPECT_EQ(missed->role(), QAccessible::Button);
    ASSERT_NE(missed->actionInterface(), nullptr);
    missed->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(window.CurrentTab(), MainWindow::kCallLogTab) << "a screen reader presses an indicator";
    QTest::keyClick(window.focusWidget(), Qt::Key_F, Qt::ControlModifier);
    Settle();
    EXPECT_EQ(window.CurrentTab(), MainWindow::kContactsTab) << "Ctrl+F: the box and the contacts";
    EXPECT_EQ(window.focusWidget(), window.SearchField());
    QTest::keyClick(window.focusWidget(), Qt::Key_Return, Qt::ControlModifier);
    Advance(500);
    EXPECT_NE(ExchangeLines().find("connected"), std::string::npos)
        << "Ctrl+Return answers: " << ExchangeLines();
    QTest::keyClick(window.focusWidget(), Qt::Key_R, Qt::ControlModifier);
    Settle();
    EXPECT_TRUE(m_app->Lines().CountCallsInProgress().recording) << "Ctrl+R records";
    QTest::keyClick(window.focusWidget(), Qt::Key_D, Qt::ControlModifier);
    Advance(1000);
    EXPECT_EQ(m_app->Lines().CountCallsInProgress().calls, 0) << "Ctrl+D ends the call: " << ExchangeLines();
    EXPECT_TRUE(m_prompter.questions.empty());
}

// Enter dials a number typed on the keypad page, and answers a ringing call whatever the box holds.
TEST_F(MainWindowTest, EnterDialsATypedNumberOnAnyTabAndAnswersARingingCall)
{
    MainWindow& window = Start();
    window.show();
    window.ShowTab(MainWindow::kKeypadTab);
    QTest::keyClicks(window.DialPad()->Tree(), "5551234");
    EXPECT_EQ(window.SearchField()->text(), "5551234");
    QTest::keyClick(window.DialPad()->Tree(), Qt::Key_Return);
    Advance(500);
    EXPECT_NE(ExchangeLines().find("to 5551234"), std::string::npos) << ExchangeLines();

    window.ShowTab(MainWindow::kCallLogTab);
    TAPISIM_CALLER caller{ "5558888", "Ringer", 0, 0, 0 };
    ASSERT_EQ(tapisimRing(1, &caller), TAPISIM_OK);
    Settle();
    window.SearchField()->setText("5550000");
    window.ShowTab(MainWindow::kCallLogTab);
    QTest::keyClick(window.CallLogPage()->List(), Qt::Key_Enter);
    Advance(500);
    EXPECT_EQ(ExchangeLines().find("to 5550000"), std::string::npos) << "the ringing call comes first";
    EXPECT_NE(ExchangeLines().find("line 2: Zo-Linka Line 2 (analog, handset down) call"), std::string::npos);
    const LineSlot& line = m_app->Lines().GetLineSlot(1);
    bool connected = false;
    for (int record = 0; record < LineSlot::kMaxCalls; ++record)
        connected = connected || line.CallAt(record).lastState == LINECALLSTATE_CONNECTED;
    EXPECT_TRUE(connected) << ExchangeLines();
}

// File > "Import ..." and "Export ...": the chosen vCard file, the tree refilled, the outcome told.
TEST_F(MainWindowTest, ImportAndExportExchangeContactsWithAVCardFile)
{
    testing_support::WriteBytes(m_dir / "cards.vcf",
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;Ann;;;\r\nFN:Ann Lee\r\nTEL;TYPE=CELL:5559876\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:<b>Bob</b>\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nNOTE:nobody\r\nEND:VCARD\r\n");
    MainWindow& window = Start();
    MainWindow::FileChoice choice;
    window.SetFileChooser([&choice](bool) { return choice; });
    Command(window, "actionImport").trigger();
    EXPECT_TRUE(m_prompter.messages.empty()) << "a cancelled choice does nothing";

    choice.path = QString::fromStdString((m_dir / "cards.vcf").string());
    Command(window, "actionImport").trigger();
    ASSERT_EQ(m_prompter.messages.size(), 1u);
    EXPECT_NE(m_prompter.messages[0].text.find("2 contacts added"), std::string::npos)
        << m_prompter.messages[0].text;
    EXPECT_NE(m_prompter.messages[0].text.find("Card 3 (line 11): the card has no name and no number"),
        std::string::npos)
        << m_prompter.messages[0].text;
    EXPECT_EQ(m_prompter.messages[0].icon, Prompter::Icon::Exclamation);
    EXPECT_EQ(window.Contacts()->Model()->ShownCount(), 2u);
    EXPECT_NE(
        testing_support::ReadBytes(m_dir / "KestriumContacts200.csv").find("5559876"), std::string::npos);

    choice.path = QString::fromStdString((m_dir / "out.vcf").string());
    choice.vcard3 = true;
    Command(window, "actionExport").trigger();
    const std::string exported = testing_support::ReadBytes(m_dir / "out.vcf");
    EXPECT_NE(exported.find("VERSION:3.0"), std::string::npos);
    EXPECT_NE(exported.find("5559876"), std::string::npos);
}

} // namespace
