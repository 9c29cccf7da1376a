#include "support/telephony_scenario.h"

#include "telephony/action_target.h"

#include <string>

// Hold, a waiting caller and blind transfer, from the program through the real service.

namespace {

class HoldScenario : public TelephonyScenario {
protected:
    void SetUp() override
    {
        TelephonyScenario::SetUp();
        Start();
    }

    // A connected outgoing call on line 1 (slot 0).
    HCALL StartTalking()
    {
        AddDialRule("5554444", TAPISIM_OUTCOME_ANSWER, 1000);
        EXPECT_EQ(Slot(0).PlaceCall("5554444", "5554444", "Talker", false), 1);
        Advance(3000);
        EXPECT_EQ(CallText(0), "Talker, 5554444 (Connected)");
        return OnlyCall(0);
    }

    std::string TextOf(HCALL call)
    {
        CallDescription description;
        Slot(0).DescribeCall(call, description);
        return description.text;
    }

    bool Held(HCALL call) { return m_manager->IsOnHold({ call, 0 }); }
};

TEST_F(HoldScenario, HeldCallIsShownAndTakenBackAndLoggedFromItsFirstConnection)
{
    EXPECT_EQ(m_manager->GetTargetCallForAction(true, kActionHold), 0) << "no call yet";
    const HCALL call = StartTalking();
    const CallTime connected = Now();
    ASSERT_EQ(m_manager->GetTargetCallForAction(true, kActionHold), 1);
    EXPECT_EQ(m_manager->TargetOf(kActionHold, {}).call, call) << "the only call needs no choice";

    EXPECT_EQ(m_manager->RunAction(kActionHold, {}), 1);
    Advance(100);
    EXPECT_TRUE(Held(call));
    EXPECT_EQ(CallText(0), "Talker, 5554444 (On-Hold) ");
    CallDescription description;
    Slot(0).DescribeCall(call, description);
    EXPECT_EQ(description.image, CallImage::kHold);
    EXPECT_NE(DescribeLine(1).find("held"), std::string::npos) << DescribeLine(1);

    Advance(5000);
    EXPECT_EQ(m_manager->RunAction(kActionHold, { call, 0 }), 1);
    Advance(100);
    EXPECT_FALSE(Held(call));
    EXPECT_EQ(CallText(0), "Talker, 5554444 (Connected)");

    Advance(4000);
    Slot(0).DropCall(call);
    Advance(1000);
    const CallLogStore log = LoggedCalls();
    ASSERT_EQ(log.Count(), 1u);
    EXPECT_EQ(log.GetAt(0)->type, kCallTypeOutgoing);
    EXPECT_EQ(log.GetAt(0)->startTime, connected) << "taking the call back does not restart it";
    EXPECT_TRUE(m_prompter.messages.empty());
}

TEST_F(HoldScenario, WaitingCallIsAnsweredWhileTheFirstIsHeldAndBothAreLogged)
{
    const HCALL first = StartTalking();
    Ring(0, "5558888", "Ringer");
    const HCALL waiting = Slot(0).FindOfferingCall();
    ASSERT_NE(waiting, 0u);
    ASSERT_NE(waiting, first);
    EXPECT_EQ(TextOf(waiting), "Ringer,5558888 (Incoming)");

    EXPECT_EQ(m_manager->GetTargetCallForAction(false, kActionAnswer), 1);
    Advance(500);
    EXPECT_TRUE(Held(first));
    EXPECT_EQ(TextOf(waiting), "Ringer,5558888 (Connected)");
    EXPECT_EQ(TextOf(first), "Talker, 5554444 (On-Hold) ");

    // Both calls can take Hold now: the one selected is the one worked on, without asking.
    OnSelectCall([](ScriptedSelectCallDialog&) { return SelectCallDialog::Cancelled; });
    EXPECT_EQ(m_manager->TargetOf(kActionHold, {}).call, 0u) << "two candidates, none selected";
    EXPECT_EQ(m_manager->RunAction(kActionHold, { first, 0 }), 1);
    Advance(500);
    EXPECT_TRUE(m_dialogs.empty());
    EXPECT_FALSE(Held(first));
    EXPECT_TRUE(Held(waiting)) << "taking one back holds the other";

    // Without a selection the user picks the call.
    OnSelectCall([](ScriptedSelectCallDialog& dialog) {
        dialog.Choose(0);
        return SelectCallDialog::Selected;
    });
    EXPECT_EQ(m_manager->RunAction(kActionHold, {}), 1);
    ASSERT_EQ(m_dialogs.size(), 1u);
    EXPECT_EQ(m_dialogs[0].actionText, "Hold / take back");
    Advance(500);
    EXPECT_TRUE(Held(first));
    EXPECT_TRUE(Held(waiting));

    // Calls hung up while held are logged like any answered call.
    EXPECT_EQ(Slot(0).DropAllCalls(), 1);
    Advance(1000);
    const CallLogStore log = LoggedCalls();
    ASSERT_EQ(log.Count(), 2u);
    int outgoing = 0;
    int incoming = 0;
    for (std::size_t i = 0; i < log.Count(); ++i) {
        outgoing += log.GetAt(i)->type == kCallTypeOutgoing && log.GetAt(i)->callerName == "Talker";
        incoming += log.GetAt(i)->type == kCallTypeIncoming && log.GetAt(i)->callerName == "Ringer";
    }
    EXPECT_EQ(outgoing, 1);
    EXPECT_EQ(incoming, 1);
}

TEST_F(HoldScenario, BlindTransferNeedsANumberAndACallAndLogsTheCallOnce)
{
    EXPECT_FALSE(m_manager->TransferCall({}, "5550199"));
    ASSERT_EQ(m_prompter.messages.size(), 1u);
    EXPECT_EQ(m_prompter.messages[0].text,
        "No call can be transferred now: only a connected call on a line that offers transfer can be.");

    Ring(0, "2125550100", "Alice Example");
    EXPECT_EQ(m_manager->GetTargetCallForAction(true, kActionTransfer), 0) << "a ringing call cannot";
    EXPECT_EQ(m_manager->GetTargetCallForAction(false, kActionAnswer), 1);
    Advance(500);
    const CallTime answered = Now();
    ASSERT_EQ(m_manager->GetTargetCallForAction(true, kActionTransfer), 1);

    EXPECT_FALSE(m_manager->TransferCall({}, "Bob"));
    ASSERT_EQ(m_prompter.messages.size(), 2u);
    EXPECT_EQ(m_prompter.messages[1].text,
        "Type the number to transfer the call to in the search/dial box, then choose Transfer.");
    EXPECT_NE(OnlyCall(0), 0u) << "nothing was done";

    Advance(3000);
    EXPECT_TRUE(m_manager->TransferCall({}, "555-0199"));
    Advance(500);
    EXPECT_EQ(OnlyCall(0), 0u);
    EXPECT_NE(DescribeLine(1).find("transferred 2125550100 to 5550199"), std::string::npos)
        << DescribeLine(1);
    EXPECT_EQ(m_prompter.messages.size(), 2u);

    const CallLogStore log = LoggedCalls();
    ASSERT_EQ(log.Count(), 1u);
    EXPECT_EQ(log.GetAt(0)->type, kCallTypeIncoming);
    EXPECT_EQ(log.GetAt(0)->callerName, "Alice Example");
    EXPECT_EQ(log.GetAt(0)->startTime, answered);
    EXPECT_EQ(log.GetAt(0)->endTime, Now());
}

} // namespace
