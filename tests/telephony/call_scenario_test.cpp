#include "support/telephony_scenario.h"

#include "store/group_store.h"
#include "store/redial_store.h"

#include <functional>

namespace {

class CallScenario : public TelephonyScenario {
protected:
    void SetUp() override
    {
        TelephonyScenario::SetUp();
        Start();
    }

    // Advances in small steps until `done` holds; false when it never did within `limitMs`.
    bool AdvanceUntil(const std::function<bool()>& done, DWORD limitMs = 30000)
    {
        for (DWORD elapsed = 0; elapsed < limitMs; elapsed += 100) {
            if (done())
                return true;
            Advance(100);
        }
        return done();
    }

    bool CallTextEndsWith(int slot, const std::string& ending)
    {
        const std::string text = OnlyCall(slot) ? CallText(slot) : std::string();
        return text.size() >= ending.size()
            && text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
    }

    using TreeLine = std::pair<std::string, int>;

    // The texts and images the only call node shows, each change once, until `last` shows.
    std::vector<TreeLine> WatchTree(const TreeLine& last)
    {
        std::vector<TreeLine> seen;
        for (int step = 0; step < 200 && (seen.empty() || seen.back() != last); ++step) {
            Settle();
            for (const auto& line : m_window.tree.TopLevel()) {
                if (line->children.empty())
                    continue;
                const TreeLine shown{ line->children.front()->text, line->children.front()->image };
                if (seen.empty() || seen.back() != shown)
                    seen.push_back(shown);
            }
            Advance(50);
        }
        return seen;
    }

    std::string TreeCallText() const
    {
        const auto texts = m_window.tree.CallTexts();
        return texts.size() == 1 ? texts.front() : std::string();
    }
};

// The exchange's default location: country 1, area 212, tone dialing, international prefix 011.
TEST_F(CallScenario, PlusNumberIsCleanedAndTranslatedToItsDialableString)
{
    std::string number = "+1-212-555";
    std::string displayable;
    std::string dialable;
    ASSERT_TRUE(m_manager->TranslateNumber(number, Slot(0).GetDeviceId(), &displayable, &dialable));
    EXPECT_EQ(number, "+1 212-555");
    EXPECT_EQ(dialable, "212555") << "the tone-dialing T is removed";
    EXPECT_EQ(displayable, "212555");

    std::string international = "+44-(20)-794";
    ASSERT_TRUE(m_manager->TranslateNumber(international, Slot(0).GetDeviceId(), nullptr, &dialable));
    EXPECT_EQ(international, "+44(20)794");
    EXPECT_EQ(dialable, "0114420794");

    std::string refused = "+121";
    EXPECT_FALSE(m_manager->TranslateNumber(refused, Slot(0).GetDeviceId(), nullptr, &dialable));
}

TEST_F(CallScenario, LongTranslationIsFetchedWhole)
{
    const std::string digits(90, '7');
    std::string number = "+44 " + digits;
    std::string dialable;
    ASSERT_TRUE(m_manager->TranslateNumber(number, Slot(0).GetDeviceId(), nullptr, &dialable));
    EXPECT_EQ(dialable, "01144" + digits);
}

TEST_F(CallScenario, OutgoingCallThatTalksIsLoggedAsOutgoingWithItsTimes)
{
    AddDialRule("5551234", TAPISIM_OUTCOME_ANSWER, 2000);
    ASSERT_TRUE(m_manager->DialNumber("Ann Lee", "5551234"));
    ASSERT_TRUE(AdvanceUntil([&] { return CallTextEndsWith(0, " (Connected)"); }));
    const CallTime connected = Now();
    EXPECT_EQ(CallText(0), "Ann Lee, 5551234 (Connected)");
    EXPECT_EQ(m_window.shownPages.front(), WindowPage::Calls);

    Advance(65000);
    EXPECT_EQ(m_manager->GetTargetCallForAction(false, kActionDrop), 1);
    ASSERT_TRUE(AdvanceUntil([&] { return OnlyCall(0) == 0; }));
    const CallTime ended = Now();

    const CallLogStore log = LoggedCalls();
    ASSERT_EQ(log.Count(), 1u);
    const CallLogEntry& entry = *log.GetAt(0);
    EXPECT_EQ(entry.type, kCallTypeOutgoing);
    EXPECT_EQ(entry.callerName, "Ann Lee");
    EXPECT_EQ(entry.number, "5551234");
    EXPECT_EQ(entry.startTime, connected);
    EXPECT_EQ(entry.endTime, ended);
    EXPECT_EQ(entry.DurationText(), "00:01:05");
    EXPECT_GE(m_window.refills, 1);
    EXPECT_EQ(m_window.page, WindowPage::Contacts) << "going idle leaves the keypad tab";
}

TEST_F(CallScenario, BusyCallIsHungUpAndNotLogged)
{
    AddDialRule("5550000", TAPISIM_OUTCOME_BUSY, 1000);
    ASSERT_TRUE(m_manager->DialNumber("", "5550000"));
    ASSERT_TRUE(AdvanceUntil([&] { return OnlyCall(0) == 0; }));
    EXPECT_EQ(LoggedCalls().Count(), 0u);
    EXPECT_TRUE(m_prompter.messages.empty());
}

TEST_F(CallScenario, UsersDialFeedsTheRedialListBeforeLookingForALine)
{
    GroupStore groups;
    RedialStore redial(groups, PhoneLabelStore());
    const auto redialFile = m_dir.Path() / "KestriumRedialList200.csv";
    AddDialRule("5551234", TAPISIM_OUTCOME_ANSWER, 1000);
    ASSERT_TRUE(m_manager->DialAndRemember(redial, "", "Ann Lee, 5551234"));
    ASSERT_TRUE(AdvanceUntil([&] { return CallTextEndsWith(0, " (Connected)"); }));
    EXPECT_EQ(CallText(0), "Ann Lee, 5551234 (Connected)") << "the name is split off the typed text";
    ASSERT_TRUE(AdvanceUntil([&] { return m_manager->GetTargetCallForAction(false, kActionDrop) == 1; }));

    // With every line closed nothing is dialled, but the redial list has the entry all the same.
    m_manager->CloseAllLines();
    EXPECT_FALSE(m_manager->DialAndRemember(redial, "", "5559876"));
    RedialStore reloaded(groups, PhoneLabelStore());
    ASSERT_TRUE(reloaded.Load(redialFile));
    EXPECT_EQ(reloaded.GetSlot(0)->Number(0), "5559876");
    EXPECT_EQ(reloaded.GetSlot(1)->Number(0), "5551234") << "the typed text is split into name and number";
    EXPECT_EQ(reloaded.GetSlot(1)->DisplayName(), "Ann Lee");

    // Dialling the redial item "Ann Lee, 5551234" again moves that entry up instead of adding one.
    EXPECT_FALSE(m_manager->DialAndRemember(redial, "", reloaded.RedialMenuText(1)));
    EXPECT_EQ(redial.RedialMenuText(0), "Ann Lee, 5551234");
    EXPECT_EQ(redial.RedialMenuText(1), "5559876");
    EXPECT_EQ(redial.RedialMenuText(2), "");
}

TEST_F(CallScenario, CallerWhoGivesUpIsLoggedAsMissed)
{
    Ring(0, "5557777", "Bob Stone", 0, 2);
    ASSERT_NE(OnlyCall(0), 0u);
    const CallTime offered = Now();
    EXPECT_EQ(TreeCallText(), "Bob Stone,5557777 (Incoming)");
    EXPECT_EQ(m_window.page, WindowPage::Calls);
    ASSERT_TRUE(AdvanceUntil([&] { return OnlyCall(0) == 0; }));

    const CallLogStore log = LoggedCalls();
    ASSERT_EQ(log.Count(), 1u);
    ExpectMissed(*log.GetAt(0), "Bob Stone", offered);
    EXPECT_EQ(log.GetAt(0)->number, "5557777");
    EXPECT_EQ(m_window.logged, std::vector<std::size_t>{ 0 }) << "the window hears of the entry";
}

// A call log file that cannot be written (here a folder stands in its place) loses no call: the
// entry stays in memory for the next save.
TEST_F(CallScenario, CallIsKeptWhenTheCallLogFileCannotBeWritten)
{
    std::filesystem::create_directory(m_dir / "KestriumCallLog.csv");
    Ring(0, "5557777", "Bob Stone", 0, 2);
    ASSERT_TRUE(AdvanceUntil([&] { return OnlyCall(0) == 0; }));
    ASSERT_EQ(m_parts.callLog.Count(), 1u);
    EXPECT_EQ(m_parts.callLog.GetAt(0)->callerName, "Bob Stone");
}

// The caller hangs up while the answer is still pending (ACCEPTED): the call was never answered.
TEST_F(CallScenario, CallerWhoGivesUpWhileTheAnswerIsPendingIsLoggedAsMissed)
{
    Ring(0, "5557777", "Bob Stone");
    const CallTime offered = Now();
    Advance(2000);
    ASSERT_GT(Slot(0).AnswerCall(OnlyCall(0)), 0);
    Settle();
    ASSERT_EQ(CallText(0), "Bob Stone,5557777 (Accepted)");
    ASSERT_EQ(tapisimHangUp(0), TAPISIM_OK);
    ASSERT_TRUE(AdvanceUntil([&] { return OnlyCall(0) == 0; }));

    const CallLogStore log = LoggedCalls();
    ASSERT_EQ(log.Count(), 1u);
    ExpectMissed(*log.GetAt(0), "Bob Stone", offered);
}

TEST_F(CallScenario, BlockedCallerIsShownAndLoggedWithThePlaceholder)
{
    Ring(1, "", "", TAPISIM_CALLER_BLOCKED, 1);
    EXPECT_EQ(CallText(1), "[Blocked] (Incoming)");
    ASSERT_TRUE(AdvanceUntil([&] { return OnlyCall(1) == 0; }));
    const CallLogStore log = LoggedCalls();
    ASSERT_EQ(log.Count(), 1u);
    EXPECT_EQ(log.GetAt(0)->number, "[Blocked]");
    EXPECT_EQ(log.GetAt(0)->callerName, "");
}

TEST_F(CallScenario, AnsweredIncomingCallIsLoggedAsIncoming)
{
    Ring(2, "5553333", "Cy", 0, 0);
    EXPECT_EQ(m_manager->GetTargetCallForAction(false, kActionAnswer), 1);
    ASSERT_TRUE(AdvanceUntil([&] { return CallTextEndsWith(2, " (Connected)"); }));
    const CallTime connected = Now();
    Advance(10000);
    ASSERT_EQ(tapisimHangUp(2), TAPISIM_OK);
    ASSERT_TRUE(AdvanceUntil([&] { return OnlyCall(2) == 0; }));
    const CallLogStore log = LoggedCalls();
    ASSERT_EQ(log.Count(), 1u);
    EXPECT_EQ(log.GetAt(0)->type, kCallTypeIncoming);
    EXPECT_EQ(log.GetAt(0)->startTime, connected);
    EXPECT_EQ(log.GetAt(0)->callerName, "Cy");
}

// Quitting or changing the line configuration drops the calls of the closed lines; no event follows
// for them, so they are logged as they end.
TEST_F(CallScenario, CallsEndedByClosingTheLinesAreLogged)
{
    AddDialRule("5551234", TAPISIM_OUTCOME_ANSWER, 1000);
    ASSERT_EQ(Slot(0).PlaceCall("5551234", "5551234", "Ann Lee", false), 1);
    ASSERT_TRUE(AdvanceUntil([&] { return CallTextEndsWith(0, " (Connected)"); }));
    const CallTime connected = Now();
    Advance(5000);
    Ring(1, "5557777", "Bob Stone");
    const CallTime offered = Now();
    Advance(1000);
    m_manager->CloseAllLines();
    const CallTime closed = Now();

    const CallLogStore log = LoggedCalls();
    ASSERT_EQ(log.Count(), 2u);
    EXPECT_EQ(log.GetAt(0)->type, kCallTypeOutgoing);
    EXPECT_EQ(log.GetAt(0)->callerName, "Ann Lee");
    EXPECT_EQ(log.GetAt(0)->startTime, connected);
    EXPECT_EQ(log.GetAt(0)->endTime, closed);
    ExpectMissed(*log.GetAt(1), "Bob Stone", offered);

    m_manager->OpenAllLines();
    Advance(1000);
    EXPECT_EQ(LoggedCalls().Count(), 2u) << "each call is logged once";
}

TEST_F(CallScenario, LineInUseRefusesTheCallWithItsMessage)
{
    Ring(0, "5557777", "Bob Stone");
    EXPECT_EQ(Slot(0).PlaceCall("5551234", "5551234", "", false), 0);
    EXPECT_EQ(Slot(0).GetLastRequest(), LINEERR_INUSE);
    ASSERT_EQ(m_prompter.messages.size(), 1u);
    EXPECT_EQ(m_prompter.messages[0].text, "Call failed: another phone off-hook.");
    EXPECT_EQ(m_prompter.messages[0].title, "Kestrium");
    EXPECT_EQ(m_prompter.messages[0].icon, Prompter::Icon::Exclamation);
    Advance(500);
    EXPECT_EQ(CallText(0), "Bob Stone,5557777 (Incoming)") << "the refused call took no record";
}

TEST_F(CallScenario, PlacedCallHoldsItsRecordUntilTheReplyBringsTheHandle)
{
    ASSERT_EQ(Slot(2).PlaceCall("5551234", "5551234", "", false), 1);
    const CallRecord& record = Slot(2).CallAt(0);
    EXPECT_FALSE(record.IsFree()) << "reserved while the request is pending";
    EXPECT_EQ(record.call, 0u);
    Settle();
    EXPECT_NE(record.call, 0u);
    EXPECT_EQ(record.pendingRequest, 0);
    EXPECT_EQ(Slot(2).IndexOfCall(record.call), 0);
}

TEST_F(CallScenario, AutoDropCallIsHungUpAsSoonAsItProgresses)
{
    AddDialRule("*72", TAPISIM_OUTCOME_ANSWER, 5000);
    ASSERT_EQ(Slot(1).PlaceCall("*72", "*72", "", true), 1);
    ASSERT_TRUE(AdvanceUntil([&] { return OnlyCall(1) == 0; }, 4000)) << "dropped before the far end answers";
    EXPECT_EQ(LoggedCalls().Count(), 0u);
    EXPECT_TRUE(m_prompter.messages.empty());
}

TEST_F(CallScenario, CallTreeShowsTheTextAndImageOfEachState)
{
    AddDialRule("5556666", TAPISIM_OUTCOME_ANSWER, 3000);
    ASSERT_TRUE(m_manager->DialNumber("Dee", "5556666"));
    const std::vector<TreeLine> expected = { { "Dee, 5556666 (Dialtone)", 4 },
        { "Dee, 5556666 (Dialing...)", 3 }, { "Dee, 5556666 (Proceeding...)", 3 },
        { "Dee, 5556666 (Ringing...)", 10 }, { "Dee, 5556666 (Connected) 0:00", 11 } };
    EXPECT_EQ(WatchTree(expected.back()), expected);
    EXPECT_EQ(m_window.tree.TopLevel().front()->image, 18) << "the busy default PSTN line";
    EXPECT_EQ(m_window.tree.Selected(), m_window.tree.TopLevel().front().get());

    ASSERT_EQ(tapisimHangUp(0), TAPISIM_OK);
    ASSERT_TRUE(AdvanceUntil([&] { return OnlyCall(0) == 0; }));
    EXPECT_TRUE(m_window.tree.CallTexts().empty());
    EXPECT_EQ(m_window.tree.TopLevel().front()->image, 17);
    EXPECT_EQ(m_window.tree.TopLevel().front()->text, "Zo-Linka Line 1");
    EXPECT_EQ(m_window.tree.TopLevel()[1]->image, 15);
    EXPECT_EQ(m_window.tree.TopLevel()[4]->image, 20);
}

TEST_F(CallScenario, CallTreeFollowsAnAnsweredIncomingCall)
{
    Ring(2, "5553333", "Cy");
    EXPECT_EQ(TreeCallText(), "Cy,5553333 (Incoming)");
    EXPECT_EQ(m_window.tree.Selected(), m_window.tree.TopLevel()[2].get())
        << "the first busy line is selected";
    ASSERT_GT(Slot(2).AnswerCall(OnlyCall(2)), 0);
    const std::vector<TreeLine> expected
        = { { "Cy,5553333 (Accepted)", 7 }, { "Cy,5553333 (Connected) 0:00", 11 } };
    EXPECT_EQ(WatchTree(expected.back()), expected);
    EXPECT_EQ(m_window.tree.TopLevel()[2]->image, 16) << "a busy PSTN line that is not the default";
}

TEST_F(CallScenario, FarEndHangingUpInAnyStateEndsTheCall)
{
    AddDialRule("*", TAPISIM_OUTCOME_MANUAL, 0);
    for (DWORD wait : { 0u, 200u, 1500u, 4000u }) {
        ASSERT_EQ(Slot(3).PlaceCall("5552222", "5552222", "", false), 1);
        Advance(wait);
        if (wait == 4000u) {
            ASSERT_EQ(tapisimAnswerDialled(3), TAPISIM_OK);
            Advance(100);
        }
        tapisimHangUp(3);
        ASSERT_TRUE(AdvanceUntil([&] { return OnlyCall(3) == 0; })) << "after " << wait << " ms";
    }
    EXPECT_EQ(LoggedCalls().Count(), 1u) << "only the connected call is logged";
}

TEST_F(CallScenario, TwentyFirstCallOnALineIsRefusedAndNeverShown)
{
    // The exchange has one call per line; twenty calls reported to the program fill its table.
    for (HCALL call = 0xC0DE0001; call <= 0xC0DE0014; ++call)
        LineManager::LineCallback(Slot(0).GetLine(), LINE_APPNEWCALL, DWORD_PTR(&Slot(0)), 0, call, 0);
    EXPECT_TRUE(m_prompter.messages.empty());
    LineManager::LineCallback(Slot(0).GetLine(), LINE_APPNEWCALL, DWORD_PTR(&Slot(0)), 0, 0xC0DE0015, 0);
    ASSERT_EQ(m_prompter.messages.size(), 1u);
    EXPECT_EQ(m_prompter.messages[0].text, "No room for another call...");
    EXPECT_EQ(m_prompter.messages[0].title, "Kestrium");
    EXPECT_EQ(Slot(0).IndexOfCall(0xC0DE0015), -1);

    EXPECT_EQ(Slot(0).PlaceCall("5551234", "5551234", "", false), 0);
    EXPECT_EQ(m_prompter.messages.size(), 2u);
    EXPECT_EQ(m_prompter.messages[1].text, "No room for another call...");
    Advance(500);
    EXPECT_FALSE(Slot(0).IsBusy()) << "TAPI was never asked to place the call";
}

} // namespace
