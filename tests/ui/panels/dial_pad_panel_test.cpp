#include "support/telephony_scenario.h"

#include "store/contact_record.h"
#include "ui/panels/dial_pad_panel.h"
#include "ui/telephony_widgets/qt_call_tree.h"

#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <functional>
#include <map>

namespace {

// The main window as far as the keypad page is concerned: the page's tree is the call tree.
class PanelWindow : public FakeMainWindow {
public:
    CallTreeView* CallTree() override { return panel ? panel->CallTree() : nullptr; }
    void UpdateControls() override
    {
        FakeMainWindow::UpdateControls();
        if (panel)
            panel->RefreshKeypad();
    }

    DialPadPanel* panel = nullptr;
};

class DialPadPanelScenario : public TelephonyScenario {
protected:
    enum Key { k4 = 3, k5 = 4, kHash = 11, kFlash = 12, kPlus = 13, kSpace = 14 };

    void SetUp() override
    {
        TelephonyScenario::SetUp();
        m_panel = std::make_unique<DialPadPanel>(*m_manager, m_settings, m_prompter);
        m_panel->SetSearchBoxTyper(
            [this](const QString& text) { m_searchBox.setText(m_searchBox.text() + text); });
        m_panel->SetEntryEditor([this](ContactRecord& entry) { return EditEntry(entry); });
        m_panel->SetMenuRunner([this](QMenu& menu, const QPoint&) { return ChooseFromMenu(menu); });
        m_panel->resize(400, 500);
        m_panel->show();
        m_panelWindow.panel = m_panel.get();
        m_manager->SetMainWindow(&m_panelWindow);
        Start();
        // As the main window does once the lines are open.
        m_manager->RebuildCallTree(*m_panel->CallTree());
    }

    void TearDown() override
    {
        TelephonyScenario::TearDown();
        m_panelWindow.panel = nullptr;
    }

    // The scripted "Edit entry:": remembers what it was shown, then types the next answer.
    bool EditEntry(ContactRecord& entry)
    {
        m_editorShown.emplace_back(entry.DisplayName(), entry.DefaultNumber());
        if (!m_nextEdit)
            return false;
        entry.SetDisplayName(m_nextEdit->first);
        entry.SetNumber(entry.DefaultNumberIndex(), m_nextEdit->second);
        m_nextEdit.reset();
        return true;
    }

    // The scripted context menu: remembers its items with their enabled state, then picks the
    // item named by m_menuChoice.
    QAction* ChooseFromMenu(QMenu& menu)
    {
        m_menuShown.clear();
        QAction* chosen = nullptr;
        for (QAction* action : menu.actions()) {
            m_menuShown[action->text().toStdString()] = action->isEnabled();
            if (action->text().toStdString() == m_menuChoice)
                chosen = action;
        }
        return chosen;
    }

    void Click(int key) { QTest::mouseClick(m_panel->Key(key), Qt::LeftButton); }
    void ClickMacro(int index) { QTest::mouseClick(m_panel->MacroButton(index), Qt::LeftButton); }

    void RightClick(QWidget* widget, const QPoint& pos)
    {
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, widget->mapToGlobal(pos));
        QCoreApplication::sendEvent(widget, &event);
    }

    QTreeWidgetItem* CallItem(int slot)
    {
        for (QTreeWidgetItemIterator it(m_panel->Tree()); *it; ++it) {
            const std::uint32_t value = (*it)->data(0, QtCallTree::kValueRole).toUInt();
            if (SlotOfTreeValue(value) == slot && RecordOfTreeValue(value) >= 0)
                return *it;
        }
        return nullptr;
    }

    // A connected call on line 4 ("5554444"), selected in the tree.
    void SelectConnectedCall()
    {
        AddDialRule("5554444", TAPISIM_OUTCOME_ANSWER, 500);
        ASSERT_EQ(Slot(3).PlaceCall("5554444", "5554444", "", false), 1);
        Advance(3000);
        ASSERT_NE(CallItem(3), nullptr);
        m_panel->Tree()->setCurrentItem(CallItem(3));
        ASSERT_EQ(m_panel->SelectedCall().state, DWORD(LINECALLSTATE_CONNECTED));
    }

    int EnabledButtons() const
    {
        int enabled = 0;
        for (int key = 0; key < DialPadPanel::kKeyCount; ++key)
            enabled += m_panel->Key(key)->isEnabled();
        for (int index = 0; index < DialPadPanel::kMacroCount; ++index)
            enabled += m_panel->MacroButton(index)->isEnabled();
        return enabled;
    }

    std::string DetectedDigits(DWORD line)
    {
        char digits[64] = {};
        tapisimGetDetectedDigits(line, digits, sizeof digits);
        return digits;
    }

    std::string GeneratedLog(DWORD line)
    {
        char log[256] = {};
        tapisimGetGeneratedLog(line, log, sizeof log);
        return log;
    }

    // The record of the connected call on line 4.
    const CallRecord& Line4Call() { return Slot(3).CallAt(Slot(3).IndexOfCall(OnlyCall(3))); }

    // Runs the exchange until every digit has been generated on line 4's call.
    void FinishDigits()
    {
        auto pending
            = [this] { return !Line4Call().digitsInFlight.empty() || !Line4Call().digitsQueued.empty(); };
        for (int step = 0; step < 100 && pending(); ++step)
            Advance(100);
        ASSERT_FALSE(pending());
    }

    PanelWindow m_panelWindow;
    std::unique_ptr<DialPadPanel> m_panel;
    QLineEdit m_searchBox;
    std::vector<std::pair<std::string, std::string>> m_editorShown;
    std::optional<std::pair<std::string, std::string>> m_nextEdit;
    std::map<std::string, bool> m_menuShown;
    std::string m_menuChoice;
};

TEST_F(DialPadPanelScenario, WithNoCallSelectedTheKeysTypeIntoTheSearchBox)
{
    EXPECT_EQ(m_panel->Key(kFlash)->text(), "FLASH");
    EXPECT_EQ(m_panel->Key(10)->text(), "0 oper");
    EXPECT_EQ(m_panel->MacroButton(3)->text(), "Macro 4");
    ASSERT_EQ(m_panel->SelectedCall().call, 0u);
    EXPECT_EQ(EnabledButtons(), DialPadPanel::kKeyCount + DialPadPanel::kMacroCount);

    for (int key : { k4, kFlash, kSpace, kPlus })
        Click(key);
    EXPECT_EQ(m_searchBox.text(), "4! +");

    QTest::keyClick(m_panel->Tree(), '#');
    QTest::keyClick(m_panel->Tree(), '7');
    QTest::keyClick(m_panel->Tree(), 'a');
    EXPECT_EQ(m_searchBox.text(), "4! +#7") << "only digits, star and hash act as keys";
}

TEST_F(DialPadPanelScenario, KeypadStaysCentredOnTheBottomEdgeAndTheTreeTakesTheRest)
{
    for (const QSize size : { QSize(400, 500), QSize(900, 760) }) {
        m_panel->resize(size);
        const QRect one = m_panel->Key(0)->geometry();
        const QRect macro = m_panel->MacroButton(0)->geometry();
        const QRect plus = m_panel->Key(kPlus)->geometry();
        EXPECT_LE(std::abs(one.left() - (size.width() - 1 - macro.right())), 1) << "the block is centred";
        EXPECT_EQ(plus.bottom(), size.height() - 5) << "the last row ends 4 pixels above the edge";
        EXPECT_EQ(plus.left(), one.left()) << "plus starts the bottom row";
        EXPECT_EQ(m_panel->Key(kFlash)->geometry().top(), plus.top());
        EXPECT_EQ(m_panel->Tree()->geometry(), QRect(QPoint(8, 8), QPoint(size.width() - 9, one.top() - 7)));
    }
}

TEST_F(DialPadPanelScenario, DigitsTypedWhileEarlierOnesPlayAreQueuedAndReachTheFarEndWhole)
{
    SelectConnectedCall();
    ASSERT_EQ(tapisimClearHeard(3), TAPISIM_OK);

    QTest::keyClicks(m_panel->Tree(), "9012");
    EXPECT_EQ(Line4Call().digitsInFlight, "9");
    EXPECT_EQ(Line4Call().digitsQueued, "012") << "typed while the 9 still sounds";
    EXPECT_EQ(EnabledButtons(), DialPadPanel::kKeyCount + DialPadPanel::kMacroCount)
        << "keys and macros stay usable while digits play";
    Click(k5);
    FinishDigits();
    EXPECT_EQ(DetectedDigits(3), "90125");
    EXPECT_EQ(GeneratedLog(3), "digits 9\ndigits 0125\n") << "the waiting digits go as one batch";
    EXPECT_EQ(CallItem(3)->text(0).section(" Sent: ", 1), "90125") << "the row shows what was sent";

    QTest::keyClick(m_panel->Tree(), '#');
    Click(kFlash);
    FinishDigits();
    Click(kPlus);
    Click(kSpace);
    EXPECT_TRUE(Line4Call().digitsQueued.empty() && Line4Call().digitsInFlight.empty())
        << "plus and space are never sent";
    EXPECT_EQ(DetectedDigits(3), "90125#");
    EXPECT_EQ(GeneratedLog(3), "digits 9\ndigits 0125\ndigits #\nflash\n");
    EXPECT_TRUE(m_searchBox.text().isEmpty());

    m_menuChoice = "&Drop call";
    RightClick(m_panel->Tree()->viewport(), m_panel->Tree()->visualItemRect(CallItem(3)).center());
    EXPECT_EQ(m_menuShown, (std::map<std::string, bool>{ { "&Answer", false }, { "&Drop call", true } }));
    Advance(2000);
    EXPECT_EQ(OnlyCall(3), 0u);
    EXPECT_EQ(CallItem(3), nullptr);
}

TEST_F(DialPadPanelScenario, MacroIsEditedSentAndCleared)
{
    ClickMacro(1);
    ASSERT_EQ(m_editorShown.size(), 1u) << "a macro without a number opens the editor";
    EXPECT_EQ(m_editorShown.back(), std::make_pair(std::string("Macro 2"), std::string()));

    m_nextEdit = { "Conference & PIN", "*72" };
    m_menuChoice = "&Edit entry...";
    RightClick(m_panel->MacroButton(1), { 5, 5 });
    EXPECT_EQ(m_panel->MacroButton(1)->text(), "Conference && PIN");
    EXPECT_EQ(m_settings.Read(Settings::kMacroName, {}, 2), "Conference & PIN");
    EXPECT_EQ(m_settings.Read(Settings::kMacroNumber, {}, 2), "*72");

    // Nothing selected: the macro's number is placed as a call that drops itself.
    m_panel->Tree()->clearSelection();
    AddDialRule("*72", TAPISIM_OUTCOME_ANSWER, 5000);
    ClickMacro(1);
    Settle();
    EXPECT_NE(OnlyCall(0), 0u) << "placed on the default line";
    for (int step = 0; step < 40 && OnlyCall(0) != 0; ++step)
        Advance(100);
    EXPECT_EQ(OnlyCall(0), 0u) << "dropped once dialled";
    EXPECT_EQ(LoggedCalls().Count(), 0u);

    // A connected call selected: the number goes down the call as tones.
    SelectConnectedCall();
    ASSERT_EQ(tapisimClearHeard(3), TAPISIM_OK);
    ClickMacro(1);
    FinishDigits();
    EXPECT_EQ(DetectedDigits(3), "*72");
    EXPECT_TRUE(CallItem(3)->text(0).endsWith(" Sent: *72"));

    m_menuChoice = "&Clear entry";
    RightClick(m_panel->MacroButton(1), { 5, 5 });
    EXPECT_EQ(m_panel->MacroButton(1)->text(), "Conference && PIN") << "answered No";
    m_prompter.answers.push_back(true);
    RightClick(m_panel->MacroButton(1), { 5, 5 });
    ASSERT_EQ(m_prompter.questions.size(), 2u);
    EXPECT_EQ(m_prompter.questions.back().text, "Are you sure ?");
    EXPECT_EQ(m_prompter.questions.back().title, "Clear macro");
    EXPECT_EQ(m_panel->MacroButton(1)->text(), "Macro 2");
    EXPECT_EQ(m_settings.Read(Settings::kMacroNumber, {}, 2), "");
    EXPECT_EQ(m_editorShown.size(), 2u);
}

TEST_F(DialPadPanelScenario, DigitsStillWaitingAreForgottenWhenTheFarEndHangsUp)
{
    SelectConnectedCall();
    ASSERT_EQ(tapisimClearHeard(3), TAPISIM_OK);
    QTest::keyClicks(m_panel->Tree(), "456");
    ASSERT_EQ(Line4Call().digitsQueued, "56");

    ASSERT_EQ(tapisimHangUp(3), TAPISIM_OK);
    Advance(2000);
    EXPECT_EQ(OnlyCall(3), 0u);
    EXPECT_EQ(GeneratedLog(3), "digits 4\nfar end hung up\n") << "nothing goes after the call ended";
    EXPECT_TRUE(Slot(3).CallAt(0).digitsQueued.empty());
}

} // namespace
