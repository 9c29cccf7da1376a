#include "support/telephony_scenario.h"

#include "store/contact_store.h"
#include "telephony/action_target.h"

#include <algorithm>
#include <initializer_list>
#include <string>

// Consultation transfer and three-way conference, from the program through the real service, and
// what the call log keeps of them.

namespace {

class ConsultationScenario : public TelephonyScenario {
protected:
    void SetUp() override
    {
        TelephonyScenario::SetUp();
        Start();
        AddDialRule("5550199", TAPISIM_OUTCOME_ANSWER, 1000);
    }

    // Alice's call on line 1, answered.
    HCALL AnswerAlice()
    {
        Ring(0, "2125550100", "Alice Example");
        EXPECT_EQ(m_manager->GetTargetCallForAction(false, kActionAnswer), 1);
        Advance(500);
        return OnlyCall(0);
    }

    std::string TextOf(HCALL call, int slot = 0)
    {
        CallDescription description;
        Slot(slot).DescribeCall(call, description);
        return description.text;
    }

    int ImageOf(HCALL call)
    {
        CallDescription description;
        Slot(0).DescribeCall(call, description);
        return description.image;
    }

    // The call of the slot's line that is none of `known`, 0 when there is none.
    HCALL OtherCall(std::initializer_list<HCALL> known, int slot = 0)
    {
        for (int i = 0; i < LineSlot::kMaxCalls; ++i) {
            const HCALL call = Slot(slot).CallAt(i).call;
            if (call != 0 && std::find(known.begin(), known.end(), call) == known.end())
                return call;
        }
        return 0;
    }

    int CountLogged(int type, const std::string& number) const
    {
        const CallLogStore log = LoggedCalls();
        int count = 0;
        for (std::size_t i = 0; i < log.Count(); ++i)
            count += log.GetAt(i)->type == type && log.GetAt(i)->number == number;
        return count;
    }
};

TEST_F(ConsultationScenario, TransferAfterConsultingHandsTheCallOverAndLogsEachPartyOnce)
{
    const HCALL alice = AnswerAlice();
    const CallTime answered = Now();
    EXPECT_FALSE(m_manager->ConsultTransferCall({}, ""));
    ASSERT_EQ(m_prompter.messages.size(), 1u);
    EXPECT_EQ(m_prompter.messages[0].text,
        "Type the number to transfer the call to in the search/dial box, then choose Transfer after "
        "consulting.");

    Advance(2000);
    ASSERT_TRUE(m_manager->ConsultTransferCall({ alice, 0 }, "555-0199"));
    Advance(100);
    EXPECT_EQ(TextOf(alice), "Alice Example,2125550100 (On-Hold) ");
    EXPECT_EQ(ImageOf(alice), CallImage::kTransfer);
    const HCALL consult = OtherCall({ alice });
    ASSERT_NE(consult, 0u);
    EXPECT_EQ(TextOf(consult), "555-0199 (Dialing...)")
        << "the consultation call shows the number it dialled";

    // Still dialling: the transfer cannot be completed yet, and nothing is done.
    EXPECT_FALSE(m_manager->Offers(kActionTransfer, { consult, 0 }));
    EXPECT_FALSE(m_manager->TransferCall({}, ""));
    EXPECT_EQ(m_prompter.messages.back().text,
        "The transfer can be completed once the called party's phone rings or they answer.");

    Advance(3000);
    EXPECT_EQ(TextOf(consult), "555-0199 (Connected)");
    EXPECT_TRUE(m_manager->Offers(kActionTransfer, { consult, 0 })) << "either call of the consultation";
    EXPECT_TRUE(m_manager->Offers(kActionTransfer, {}));
    EXPECT_FALSE(m_manager->Offers(kActionConsultTransfer, {})) << "one consultation at a time";
    const std::size_t messages = m_prompter.messages.size();
    Advance(2000);
    ASSERT_TRUE(m_manager->TransferCall({ consult, 0 }, ""));
    Advance(100);
    EXPECT_TRUE(m_dialogs.empty()) << "no call had to be chosen";
    EXPECT_EQ(m_prompter.messages.size(), messages);
    EXPECT_EQ(OtherCall({}), 0u) << "both calls have gone";
    EXPECT_NE(DescribeLine(1).find("transferred 2125550100 to 5550199"), std::string::npos)
        << DescribeLine(1);

    const CallLogStore log = LoggedCalls();
    ASSERT_EQ(log.Count(), 2u);
    EXPECT_EQ(CountLogged(kCallTypeIncoming, "2125550100"), 1);
    EXPECT_EQ(CountLogged(kCallTypeOutgoing, "555-0199"), 1);
    for (std::size_t i = 0; i < log.Count(); ++i) {
        if (log.GetAt(i)->type != kCallTypeIncoming)
            continue;
        EXPECT_EQ(log.GetAt(i)->callerName, "Alice Example");
        EXPECT_EQ(log.GetAt(i)->startTime, answered) << "held pending transfer, still one conversation";
        EXPECT_EQ(log.GetAt(i)->endTime, Now());
    }
}

TEST_F(ConsultationScenario, EndingTheConsultationCallGivesTheFirstCallBack)
{
    const HCALL alice = AnswerAlice();
    const CallTime answered = Now();
    ASSERT_TRUE(m_manager->ConsultTransferCall({}, "5550199"));
    Advance(100);
    Advance(4000);
    const HCALL consult = OtherCall({ alice });
    ASSERT_EQ(TextOf(consult), "5550199 (Connected)");

    Slot(0).DropCall(consult);
    Advance(100);
    EXPECT_EQ(OtherCall({ alice }), 0u);
    EXPECT_EQ(TextOf(alice), "Alice Example,2125550100 (Connected)") << "taken back at once";
    EXPECT_TRUE(m_manager->Offers(kActionConsultTransfer, {})) << "a new consultation can start";
    EXPECT_EQ(DescribeLine(1).find("transferred"), std::string::npos) << DescribeLine(1);

    // Taking the first call back with Hold instead leaves the consultation call as an ordinary
    // held call, and a new transfer can start.
    ASSERT_TRUE(m_manager->ConsultTransferCall({ alice, 0 }, "5550199"));
    Advance(100);
    Advance(4000);
    const HCALL second = OtherCall({ alice });
    ASSERT_EQ(TextOf(second), "5550199 (Connected)");
    EXPECT_EQ(m_manager->RunAction(kActionHold, { alice, 0 }), 1);
    Advance(100);
    EXPECT_EQ(TextOf(alice), "Alice Example,2125550100 (Connected)");
    EXPECT_EQ(TextOf(second), "5550199 (On-Hold) ");
    EXPECT_TRUE(m_manager->Offers(kActionConsultTransfer, { alice, 0 }));
    EXPECT_FALSE(m_manager->Offers(kActionTransfer, { second, 0 })) << "a held call is not handed over";

    Advance(1000);
    Slot(0).DropCall(second);
    Slot(0).DropCall(alice);
    Advance(500);
    EXPECT_EQ(LoggedCalls().Count(), 3u);
    EXPECT_EQ(CountLogged(kCallTypeOutgoing, "5550199"), 2);
    ASSERT_EQ(CountLogged(kCallTypeIncoming, "2125550100"), 1);
    const CallLogStore log = LoggedCalls();
    for (std::size_t i = 0; i < log.Count(); ++i) {
        if (log.GetAt(i)->type == kCallTypeIncoming) {
            EXPECT_EQ(log.GetAt(i)->startTime, answered);
        }
    }
    EXPECT_TRUE(m_prompter.messages.empty());
}

TEST_F(ConsultationScenario, ConferenceOfThreeJoinsRemovesAndEndsWithEachPartyLoggedOnce)
{
    EXPECT_FALSE(m_manager->ConferenceCall({}, "5550199"));
    ASSERT_EQ(m_prompter.messages.size(), 1u) << "no call yet";
    const HCALL alice = AnswerAlice();
    EXPECT_FALSE(m_manager->ConferenceCall({}, ""));
    EXPECT_EQ(m_prompter.messages.back().text,
        "Type the number of the party to add in the search/dial box, or hold a call, then choose "
        "Conference.");
    EXPECT_EQ(OtherCall({ alice }), 0u) << "nothing was set up";

    ASSERT_TRUE(m_manager->ConferenceCall({}, "5550199"));
    Advance(100);
    const HCALL conference = OtherCall({ alice });
    ASSERT_NE(conference, 0u);
    const HCALL bob = OtherCall({ alice, conference });
    ASSERT_NE(bob, 0u);
    EXPECT_EQ(TextOf(alice), "Alice Example,2125550100 (Conferenced)");
    EXPECT_EQ(ImageOf(alice), CallImage::kInConference);
    EXPECT_FALSE(m_manager->Offers(kActionConference, {})) << "Bob has not answered yet";

    Advance(4000);
    ASSERT_TRUE(m_manager->Offers(kActionConference, { bob, 0 }));
    ASSERT_TRUE(m_manager->ConferenceCall({ bob, 0 }, ""));
    Advance(100);
    EXPECT_EQ(TextOf(bob), "5550199 (Conferenced)");
    EXPECT_EQ(TextOf(conference), "Alice Example,2125550100 + 5550199 (Conference)");
    EXPECT_EQ(ImageOf(conference), CallImage::kTalk);
    EXPECT_NE(DescribeLine(1).find("conferenced to 5550199"), std::string::npos) << DescribeLine(1);

    // Bob is taken out (held), then Alice and the conference end together.
    Advance(3000);
    ASSERT_TRUE(m_manager->ConferenceCall({ bob, 0 }, ""));
    Advance(100);
    EXPECT_EQ(TextOf(bob), "5550199 (On-Hold) ");
    Slot(0).DropCall(conference);
    Advance(100);
    EXPECT_EQ(OtherCall({ bob }), 0u);
    Slot(0).DropCall(bob);
    Advance(500);

    EXPECT_EQ(LoggedCalls().Count(), 2u) << "the conference call itself has no party to log";
    EXPECT_EQ(CountLogged(kCallTypeConference, "2125550100"), 1);
    EXPECT_EQ(CountLogged(kCallTypeConference, "5550199"), 1);
    EXPECT_EQ(m_prompter.messages.size(), 2u);
}

TEST_F(ConsultationScenario, HeldCallJoinsWithoutANumberAfterACancelledSetup)
{
    AddDialRule("5554444", TAPISIM_OUTCOME_ANSWER, 500);
    ASSERT_EQ(Slot(0).PlaceCall("5554444", "5554444", "Talker", false), 1);
    Advance(3000);
    const HCALL talker = OnlyCall(0);
    const HCALL alice = [&] {
        Ring(0, "2125550100", "Alice Example");
        EXPECT_EQ(m_manager->GetTargetCallForAction(false, kActionAnswer), 1);
        Advance(500);
        return OtherCall({ talker });
    }();
    ASSERT_EQ(TextOf(talker), "Talker, 5554444 (On-Hold) ");

    // A setup cancelled by ending its consultation call gives Alice back and is no conference.
    ASSERT_TRUE(m_manager->ConferenceCall({ alice, 0 }, "5550199"));
    Advance(100);
    const HCALL conference = OtherCall({ talker, alice });
    const HCALL consult = OtherCall({ talker, alice, conference });
    ASSERT_NE(consult, 0u);
    Slot(0).DropCall(consult);
    Advance(100);
    EXPECT_EQ(TextOf(alice), "Alice Example,2125550100 (Connected)");
    EXPECT_EQ(OtherCall({ talker, alice }), 0u);

    // Without a number the held call joins.
    ASSERT_TRUE(m_manager->ConferenceCall({ alice, 0 }, ""));
    Advance(100);
    EXPECT_EQ(TextOf(talker), "Talker, 5554444 (Conferenced)");
    EXPECT_EQ(TextOf(alice), "Alice Example,2125550100 (Conferenced)");
    const HCALL joined = OtherCall({ talker, alice });
    EXPECT_EQ(TextOf(joined), "Talker, 5554444 + Alice Example,2125550100 (Conference)");
    EXPECT_EQ(OtherCall({ talker, alice, joined }), 0u) << "the unused consultation call was dropped";

    Advance(2000);
    Slot(0).DropCall(joined);
    Advance(500);
    EXPECT_EQ(LoggedCalls().Count(), 2u);
    EXPECT_EQ(CountLogged(kCallTypeConference, "5554444"), 1);
    EXPECT_EQ(CountLogged(kCallTypeConference, "2125550100"), 1);
    EXPECT_TRUE(m_prompter.messages.empty());
}

// Without a typed number a held call of another line joins: the conference takes the line of the
// call we talk on, its row names both parties, the held party's row stays on its own line, and
// each party is logged once as a conference call.
TEST_F(ConsultationScenario, HeldCallOfAnotherLineJoinsAConference)
{
    const HCALL alice = AnswerAlice();
    ASSERT_GT(Slot(0).ToggleHold(alice), 0);
    Advance(100);
    AddDialRule("5554444", TAPISIM_OUTCOME_ANSWER, 500);
    ASSERT_EQ(Slot(1).PlaceCall("5554444", "5554444", "Talker", false), 1);
    Advance(3000);
    const HCALL talker = OnlyCall(1);
    ASSERT_TRUE(m_manager->Offers(kActionConference, { talker, 1 }));
    ASSERT_TRUE(m_manager->ConferenceCall({ talker, 1 }, ""));
    Advance(100);
    EXPECT_EQ(TextOf(alice), "Alice Example,2125550100 (Conferenced)");
    EXPECT_EQ(TextOf(talker, 1), "Talker, 5554444 (Conferenced)");
    const HCALL conference = OtherCall({ talker }, 1);
    EXPECT_EQ(TextOf(conference, 1), "Alice Example,2125550100 + Talker, 5554444 (Conference)")
        << "the parties in the order of their lines";
    EXPECT_EQ(OtherCall({ talker, conference }, 1), 0u) << "the unused consultation call was dropped";
    EXPECT_NE(DescribeLine(1).find("in the conference on line 2"), std::string::npos) << DescribeLine(1);

    // Alice is taken out (held on her line), then the conference ends with the talker.
    Advance(2000);
    ASSERT_TRUE(m_manager->ConferenceCall({ alice, 0 }, ""));
    Advance(100);
    EXPECT_EQ(TextOf(alice), "Alice Example,2125550100 (On-Hold) ");
    EXPECT_EQ(TextOf(conference, 1), "Talker, 5554444 (Conference)");
    Slot(1).DropCall(conference);
    Slot(0).DropCall(alice);
    Advance(500);
    EXPECT_EQ(LoggedCalls().Count(), 2u);
    EXPECT_EQ(CountLogged(kCallTypeConference, "5554444"), 1);
    EXPECT_EQ(CountLogged(kCallTypeConference, "2125550100"), 1);
    EXPECT_TRUE(m_prompter.messages.empty());
}

// The far end hands our call to another number: once that party answered, the call shows it, and
// the call log names the party the user talked with last (by its contact's name), not Alice.
TEST_F(ConsultationScenario, CallTheFarEndTransferredShowsTheNewParty)
{
    ContactStore contacts;
    ContactRecord bob;
    bob.SetFirstName("Bob");
    bob.SetLastName("Builder");
    bob.SetNumber(3, "555-0177");
    contacts.Append(bob);
    m_manager->SetContacts(&contacts);
    const HCALL alice = AnswerAlice();
    AddDialRule("5550177", TAPISIM_OUTCOME_ANSWER, 1000);
    char reply[256] = {};
    ASSERT_EQ(tapisimCommand("transfer 1 5550177", reply, sizeof reply), TAPISIM_OK) << reply;
    Advance(500);
    EXPECT_EQ(TextOf(alice), "Alice Example,2125550100 (Connected)") << "still being called";
    Advance(600);
    EXPECT_EQ(TextOf(alice), "Alice Example,2125550100, transferred to 5550177 (Connected)");
    Slot(0).DropCall(alice);
    Advance(500);
    const CallLogStore log = LoggedCalls();
    ASSERT_EQ(log.Count(), 1u);
    EXPECT_EQ(log.GetAt(0)->type, kCallTypeIncoming);
    EXPECT_EQ(log.GetAt(0)->number, "5550177");
    EXPECT_EQ(log.GetAt(0)->callerName, "Bob Builder");
    m_manager->SetContacts(nullptr);
}

} // namespace
