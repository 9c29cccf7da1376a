// The calls as the main window shows them while they happen: the outcome of a failed call in its
// row and the status bar, the running time of a connected call and the state of its recording.
#include "running_app.h"

#include "telephony/call_description.h"
#include "telephony/line_manager.h"
#include "ui/panels/dial_pad_panel.h"
#include "ui/telephony_widgets/qt_call_tree.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <gtest/gtest.h>

namespace {

class CallDisplayTest : public RunningApp {
protected:
    // The window on screen, its line manager timing calls on the exchange's manual clock.
    MainWindow& StartShown()
    {
        MainWindow& window = Start();
        m_app->Lines().SetClock([] { return tapisimNow(); });
        window.show();
        Settle();
        return window;
    }

    static void AddDialRule(const char* number, DWORD outcome)
    {
        TAPISIM_DIALRULE rule{ number, outcome, 500, 0 };
        ASSERT_EQ(tapisimAddDialRule(&rule), TAPISIM_OK);
    }

    // Types the number into the search/dial box and presses Call, as a user does.
    void Dial(MainWindow& window, const char* number)
    {
        window.SearchField()->clear();
        QTest::keyClicks(window.SearchField(), number);
        ASSERT_TRUE(window.CallButton()->isEnabled());
        QTest::mouseClick(window.CallButton(), Qt::LeftButton);
        Settle();
    }

    // A call to 5554444 is up, then a waiting caller on line 1 is answered (the first call held).
    void DialThenAnswerAWaitingCaller(MainWindow& window)
    {
        Dial(window, "5554444");
        Advance(3000);
        TAPISIM_CALLER caller{ "2125550100", "Alice Example", 0, 0, 0 };
        ASSERT_EQ(tapisimRing(0, &caller), TAPISIM_OK);
        Settle();
        Command(window, "actionCall").trigger();
        Advance(500);
    }

    // Selects the call row whose text starts with `start`.
    static void SelectRow(MainWindow& window, const QString& start)
    {
        for (QTreeWidgetItemIterator it(window.DialPad()->Tree()); *it; ++it)
            if ((*it)->parent() && (*it)->text(0).startsWith(start))
                window.DialPad()->Tree()->setCurrentItem(*it);
    }

    // The Active Calls tab's button of the window's command `name`, null when there is none.
    QToolButton* TabButton(MainWindow& window, const char* name)
    {
        for (QToolButton* tool : window.DialPad()->findChildren<QToolButton*>())
            if (tool->defaultAction() == &Command(window, name))
                return tool;
        return nullptr;
    }

    // The rows of calls in the keypad tab's tree, with their images.
    static std::vector<std::pair<QString, int>> CallRows(MainWindow& window)
    {
        std::vector<std::pair<QString, int>> rows;
        for (QTreeWidgetItemIterator it(window.DialPad()->Tree()); *it; ++it)
            if ((*it)->parent())
                rows.emplace_back((*it)->text(0), (*it)->data(0, QtCallTree::kImageRole).toInt());
        return rows;
    }

    static std::string Status(MainWindow& window)
    {
        return window.StatusBar()->currentMessage().toStdString();
    }

    // Moves the exchange's clock, then runs what the display timer runs each second.
    void AdvanceAndTick(DWORD milliseconds)
    {
        Advance(milliseconds);
        m_app->Lines().Tick();
    }

    // The only call of line 1.
    const CallRecord* LineOneCall()
    {
        const LineSlot& line = m_app->Lines().GetLineSlot(0);
        for (int record = 0; record < LineSlot::kMaxCalls; ++record)
            if (line.CallAt(record).call != 0)
                return &line.CallAt(record);
        return nullptr;
    }
};

using Rows = std::vector<std::pair<QString, int>>;

// A busy number's outcome stays a few seconds in its row and the readable status bar; a connected
// call's row runs its time once a second and shows its recording paused.
TEST_F(CallDisplayTest, OutcomeRunningTimeAndPausedRecordingShowInTheRowAndTheStatusBar)
{
    MainWindow& window = StartShown();
    QStatusBar& status = *window.StatusBar();
    EXPECT_GE(status.height(), status.sizeHint().height()) << "never squeezed below what its text needs";
    EXPECT_GE(status.height(), status.fontMetrics().height() + 4);
    EXPECT_EQ(status.geometry().bottom(), status.parentWidget()->height() - 1) << "along the bottom edge";

    AddDialRule("5551001", TAPISIM_OUTCOME_BUSY);
    Dial(window, "5551001");
    Advance(3000);
    EXPECT_EQ(LineOneCall(), nullptr) << "the busy call is hung up and freed at once";
    EXPECT_EQ(CallRows(window), (Rows{ { "5551001 (Busy)", CallImage::kBusy } }));
    EXPECT_EQ(Status(window), "5551001: Busy");
    SaveScreenshot(window, "call-outcome");
    AdvanceAndTick(LineSlot::kOutcomeShownMs);
    EXPECT_TRUE(CallRows(window).empty());
    EXPECT_EQ(window.CurrentTab(), MainWindow::kContactsTab);

    AddDialRule("5554444", TAPISIM_OUTCOME_ANSWER);
    Dial(window, "5554444");
    Advance(3000);
    const CallRecord* call = LineOneCall();
    ASSERT_NE(call, nullptr);
    ASSERT_TRUE(call->connectedAt.has_value());
    // The window's own timer brings the row up to date.
    Advance(DWORD(*call->connectedAt + 42000 - tapisimNow()));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return CallRows(window) == Rows{ { "5554444 (Connected) 0:42", CallImage::kTalk } };
        },
        3000));
    EXPECT_EQ(Status(window), "5554444 (Connected) 0:42");

    Command(window, "actionRecord").trigger();
    AdvanceAndTick(2000);
    EXPECT_EQ(Status(window), "5554444 (Recording) 0:44");
    Command(window, "actionRecord").trigger();
    EXPECT_EQ(CallRows(window), (Rows{ { "5554444 (Recording paused) 0:44", CallImage::kTalk } }));
    EXPECT_EQ(Status(window), "5554444 (Recording paused) 0:44");
    SaveScreenshot(window, "call-recording-paused");

    Command(window, "actionEnd").trigger();
    Advance(1000);
    EXPECT_TRUE(CallRows(window).empty()) << "a call that talked leaves no outcome";
    EXPECT_TRUE(Status(window).empty());
    EXPECT_FALSE(m_app->Lines().IsDisplayTimerRunning()) << "no timer runs while no call needs it";
}

// Hold is a check button that follows the call; Transfer takes the number typed in the search/dial
// box and says so when there is none. Conference without a typed number joins the held call.
TEST_F(CallDisplayTest, HoldFollowsTheCallAndTransferTakesTheTypedNumber)
{
    MainWindow& window = StartShown();
    QAction& hold = Command(window, "actionHold");
    EXPECT_EQ(hold.shortcut(), QKeySequence(Qt::CTRL | Qt::Key_H));
    EXPECT_TRUE(hold.isCheckable());
    EXPECT_FALSE(hold.isEnabled()) << "no call";

    AddDialRule("5554444", TAPISIM_OUTCOME_ANSWER);
    Dial(window, "5554444");
    Advance(3000);
    ASSERT_TRUE(hold.isEnabled());
    EXPECT_FALSE(hold.isChecked());
    Command(window, "actionRecord").trigger();
    AdvanceAndTick(2000);
    const HCALL call = LineOneCall()->call;
    CallRecordingPort& recording = m_app->Lines().Recording();
    ASSERT_EQ(recording.GetRecordingState(0), CallRecordingPort::Recording);
    hold.trigger();
    Advance(100);
    EXPECT_TRUE(hold.isChecked());
    EXPECT_EQ(recording.GetRecordingState(0), CallRecordingPort::Paused)
        << "the recording waits for the call";
    EXPECT_EQ(recording.GetRecordingCall(0), call);
    Rows rows = CallRows(window);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(rows[0].first.startsWith("5554444 (On-Hold) ")) << rows[0].first.toStdString();
    EXPECT_EQ(rows[0].second, CallImage::kHold);
    hold.trigger();
    Advance(100);
    EXPECT_FALSE(hold.isChecked());
    EXPECT_EQ(recording.GetRecordingState(0), CallRecordingPort::Recording);
    rows = CallRows(window);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(rows[0].first.startsWith("5554444 (Recording)")) << rows[0].first.toStdString();

    window.SearchField()->clear();
    Command(window, "actionTransfer").trigger();
    ASSERT_FALSE(m_prompter.messages.empty());
    EXPECT_EQ(m_prompter.messages.back().text,
        "Type the number to transfer the call to in the search/dial box, then choose Transfer.");
    ASSERT_NE(LineOneCall(), nullptr);
    QTest::keyClicks(window.SearchField(), "5550199");
    Command(window, "actionTransfer").trigger();
    Advance(500);
    EXPECT_EQ(LineOneCall(), nullptr);
    EXPECT_EQ(recording.GetRecordingState(0), CallRecordingPort::Idle);
    EXPECT_TRUE(window.SearchField()->text().isEmpty());
    EXPECT_FALSE(hold.isEnabled());

    // A waiting caller answered holds the first call; the check follows the selected row.
    DialThenAnswerAWaitingCaller(window);
    const auto selectRow = [&](const QString& start) { SelectRow(window, start); };
    selectRow("5554444 (On-Hold) ");
    EXPECT_TRUE(hold.isChecked());
    selectRow("Alice Example,2125550100 (Connected)");
    EXPECT_FALSE(hold.isChecked());

    // The Active Calls tab's buttons follow the selected call: a held call can neither be
    // transferred nor start a conference, the connected one can.
    window.SearchField()->clear();
    window.ShowPage(WindowPage::Calls);
    const auto button = [&](const char* name) { return TabButton(window, name); };
    ASSERT_NE(button("actionTransfer"), nullptr);
    ASSERT_NE(button("actionConference"), nullptr);
    ASSERT_NE(button("actionConsultTransfer"), nullptr);
    selectRow("5554444 (On-Hold) ");
    EXPECT_FALSE(button("actionTransfer")->isEnabled());
    EXPECT_FALSE(button("actionConference")->isEnabled());
    selectRow("Alice Example,2125550100 (Connected)");
    EXPECT_TRUE(button("actionTransfer")->isEnabled());
    ASSERT_TRUE(button("actionConference")->isEnabled());

    const std::size_t shown = m_prompter.messages.size();
    button("actionConference")->click();
    Advance(500);
    EXPECT_EQ(m_prompter.messages.size(), shown);
    rows = CallRows(window);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_TRUE(rows[0].first.startsWith("5554444 (Conferenced)")) << rows[0].first.toStdString();
    EXPECT_EQ(rows[0].second, CallImage::kInConference);
    EXPECT_TRUE(rows[1].first.startsWith("Alice Example,2125550100 (Conferenced)"))
        << rows[1].first.toStdString();
    EXPECT_TRUE(rows[2].first.startsWith("5554444 + Alice Example,2125550100 (Conference)"))
        << rows[2].first.toStdString();
    SaveScreenshot(window, "call-conference");
}

// A call held on line 1 and a call talking on line 2, both dialled from the search/dial box: the
// tab's Conference on the talking call joins the held one, mixed on line 2; each call keeps its
// row under its own line.
TEST_F(CallDisplayTest, ConferenceButtonJoinsAHeldCallOfAnotherLine)
{
    MainWindow& window = StartShown();
    AddDialRule("5554444", TAPISIM_OUTCOME_ANSWER);
    AddDialRule("5550122", TAPISIM_OUTCOME_ANSWER);
    Dial(window, "5554444");
    Advance(3000);
    Command(window, "actionHold").trigger();
    Advance(100);
    Dial(window, "5550122"); // line 2: line 1 holds a call
    Advance(3000);
    // The box still holds 5550122, the number just dialled: Conference joins the held call
    // instead of calling 5550122 again.
    EXPECT_EQ(window.SearchField()->text(), "5550122");
    SelectRow(window, "5550122 (Connected)");
    ASSERT_NE(TabButton(window, "actionConference"), nullptr);
    ASSERT_TRUE(TabButton(window, "actionConference")->isEnabled());
    const std::size_t shown = m_prompter.messages.size();
    TabButton(window, "actionConference")->click();
    Advance(500);
    EXPECT_EQ(m_prompter.messages.size(), shown);
    const Rows rows = CallRows(window);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_TRUE(rows[0].first.startsWith("5554444 (Conferenced)")) << rows[0].first.toStdString();
    EXPECT_TRUE(rows[1].first.startsWith("5550122 (Conferenced)")) << rows[1].first.toStdString();
    EXPECT_TRUE(rows[2].first.startsWith("5554444 + 5550122 (Conference)")) << rows[2].first.toStdString();
}

// On the Active Calls tab with a call up, the number to transfer to is typed into the search/dial
// box (a click or Ctrl+F takes the focus there) without leaving the tab: Transfer stays in reach,
// and the tab stays for the held call once the other is handed over. Without a call the box
// searches the contacts as ever.
TEST_F(CallDisplayTest, TransferNumberIsTypedWithoutLeavingTheActiveCallsTab)
{
    MainWindow& window = StartShown();
    AddDialRule("5554444", TAPISIM_OUTCOME_ANSWER);
    DialThenAnswerAWaitingCaller(window);
    ASSERT_TRUE(m_app->Lines().IsOnHold({ LineOneCall()->call, 0 }));
    window.ShowPage(WindowPage::Calls);
    Settle();
    EXPECT_EQ(window.SearchField()->placeholderText(), "Transfer or conference number");
    QTest::mouseClick(window.SearchField(), Qt::LeftButton);
    Settle();
    EXPECT_EQ(window.CurrentTab(), MainWindow::kKeypadTab) << "a click in the box keeps the tab";
    Command(window, "actionSearch").trigger();
    Settle();
    EXPECT_EQ(window.CurrentTab(), MainWindow::kKeypadTab) << "so does Ctrl+F";
    ASSERT_EQ(window.focusWidget(), window.SearchField());
    QTest::keyClicks(window.SearchField(), "5550199");
    Settle();
    EXPECT_EQ(window.CurrentTab(), MainWindow::kKeypadTab);
    QToolButton* transfer = TabButton(window, "actionTransfer");
    ASSERT_NE(transfer, nullptr);
    ASSERT_TRUE(transfer->isVisible());
    ASSERT_TRUE(transfer->isEnabled());
    SaveScreenshot(window, "transfer-number-typed");
    QTest::mouseClick(transfer, Qt::LeftButton);
    Advance(500);
    EXPECT_EQ(CallRows(window).size(), 1u) << "Alice is handed over to 5550199, the held call stays";
    EXPECT_TRUE(window.SearchField()->text().isEmpty());
    EXPECT_EQ(window.CurrentTab(), MainWindow::kKeypadTab) << "where the held call is taken back";

    m_app->Lines().GetLineSlot(0).DropAllCalls();
    Advance(1000);
    EXPECT_EQ(window.CurrentTab(), MainWindow::kContactsTab) << "the last call ended";
    window.ShowTab(MainWindow::kKeypadTab);
    EXPECT_TRUE(window.SearchField()->placeholderText().isEmpty()) << "no call to take a number";
    QTest::keyClicks(window.SearchField(), "555");
    Settle();
    EXPECT_EQ(window.CurrentTab(), MainWindow::kContactsTab) << "without a call the box searches contacts";
}

} // namespace
