#include "support/telephony_scenario.h"

namespace {

// One ringing call on line 1 (slot 0) and one talking call on line 2 (slot 1).
class ActionScenario : public TelephonyScenario {
protected:
    void SetUp() override
    {
        TelephonyScenario::SetUp();
        Start();
        StartTalkingAndRingingCalls();
    }
};

TEST_F(ActionScenario, AnswerTakesTheRingingCallWithoutAsking)
{
    OnSelectCall([](ScriptedSelectCallDialog&) { return SelectCallDialog::Cancelled; });
    EXPECT_EQ(m_manager->GetTargetCallForAction(true, kActionAnswer), 1);
    EXPECT_EQ(m_manager->GetTargetCallForAction(false, kActionAnswer), 1);
    Advance(500);
    EXPECT_TRUE(m_dialogs.empty());
    EXPECT_EQ(CallText(0), "Ringer,5558888 (Connected)");
}

TEST_F(ActionScenario, DropAsksWithBothCallsAndCanDropThemAll)
{
    OnSelectCall([](ScriptedSelectCallDialog&) { return SelectCallDialog::DropAll; });
    EXPECT_EQ(m_manager->GetTargetCallForAction(false, kActionDrop), 1);
    ASSERT_EQ(m_dialogs.size(), 1u);
    EXPECT_EQ(m_dialogs[0].lines,
        (std::vector<std::string>{ "Ringer,5558888 (Incoming)", "Talker, 5554444 (Connected)" }));
    EXPECT_EQ(m_dialogs[0].actionText, "Drop call");
    EXPECT_TRUE(m_dialogs[0].showDropAll);
    Advance(1000);
    EXPECT_EQ(OnlyCall(0), 0u);
    EXPECT_EQ(OnlyCall(1), 0u);
}

TEST_F(ActionScenario, ChosenCallIsTheOneDropped)
{
    OnSelectCall([](ScriptedSelectCallDialog& dialog) {
        dialog.Choose(1);
        return SelectCallDialog::Selected;
    });
    EXPECT_EQ(m_manager->GetTargetCallForAction(false, kActionDrop), 1);
    Advance(1000);
    EXPECT_NE(OnlyCall(0), 0u);
    EXPECT_EQ(OnlyCall(1), 0u);
}

TEST_F(ActionScenario, LineEventCancelsTheDialogAndNothingIsDone)
{
    OnSelectCall([this](ScriptedSelectCallDialog& dialog) {
        dialog.Choose(1);
        tapisimHangUp(0);
        Settle();
        return SelectCallDialog::Selected;
    });
    EXPECT_EQ(m_manager->GetTargetCallForAction(false, kActionDrop), 0);
    ASSERT_EQ(m_dialogs.size(), 1u);
    EXPECT_TRUE(m_dialogs[0].cancelled);
    Advance(1000);
    EXPECT_EQ(CallText(1), "Talker, 5554444 (Connected)") << "the talking call was not dropped";
}

// A call that ends while another goes on leaves the keypad tab where the other is worked on (held,
// transferred, joined); the last one sends the window back to the first tab.
TEST_F(ActionScenario, OfferedCallIsFoundAndOnlyTheLastCallsEndLeavesTheKeypadTab)
{
    EXPECT_EQ(Slot(0).FindOfferingCall(), OnlyCall(0));
    EXPECT_EQ(Slot(1).FindOfferingCall(), 0u);
    EXPECT_EQ(Slot(2).FindOfferingCall(), 0u);
    ASSERT_EQ(m_window.page, WindowPage::Calls);
    tapisimHangUp(0);
    Advance(100);
    EXPECT_EQ(m_window.page, WindowPage::Calls) << "another call goes on";
    ASSERT_NE(OnlyCall(1), 0u);
    tapisimHangUp(1);
    Advance(1000);
    EXPECT_EQ(OnlyCall(1), 0u);
    EXPECT_EQ(m_window.page, WindowPage::Contacts);
}

TEST_F(ActionScenario, RecordingAndNotesAreNotOfferedUntilTheyExist)
{
    // Recording and notes are not built yet: the actions have candidates but do nothing.
    EXPECT_EQ(m_manager->GetTargetCallForAction(true, kActionRecord), 1);
    EXPECT_EQ(m_manager->GetTargetCallForAction(false, kActionRecord), 0);
    EXPECT_EQ(m_manager->GetTargetCallForAction(true, kActionPauseRecording), 0);
    EXPECT_EQ(m_manager->GetTargetCallForAction(false, kActionAddNote), 0);
}

TEST_F(ActionScenario, UnknownActionIsReported)
{
    OnSelectCall([](ScriptedSelectCallDialog& dialog) {
        dialog.Choose(0);
        return SelectCallDialog::Selected;
    });
    EXPECT_EQ(m_manager->GetTargetCallForAction(false, 9), 0);
    ASSERT_EQ(m_dialogs.size(), 1u);
    EXPECT_EQ(m_dialogs[0].actionText, "Unknown action");
    EXPECT_FALSE(m_dialogs[0].showDropAll);
    ASSERT_EQ(m_prompter.messages.size(), 1u);
    EXPECT_EQ(m_prompter.messages[0].text, "GetTargetCallForAction: Unknown action");
}

TEST(CallActions, WithoutCallsNothingIsOffered)
{
    ManagerWithoutService without("libkestrium-no-such-tapi.so");
    LineManager& manager = without.manager;
    for (int action = kActionDrop; action <= kActionTransfer; ++action) {
        EXPECT_EQ(manager.GetTargetCallForAction(true, action), 0);
        EXPECT_EQ(manager.GetTargetCallForAction(false, action), 0);
    }
}

} // namespace
