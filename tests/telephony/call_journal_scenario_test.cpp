// Calls in progress when the program is killed: the journal of calls in progress beside the call
// log holds what the next start needs to log them, and nothing is logged twice.
#include "support/telephony_scenario.h"

#include "store/call_journal.h"
#include "telephony/action_target.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

class CallJournalScenario : public TelephonyScenario {
protected:
    // The data files as a kill leaves them now, in a folder of their own.
    fs::path Kill()
    {
        for (const char* name : { "KestriumCallLog.csv", CallJournal::kFileName.data() })
            if (fs::exists(m_dir / name))
                fs::copy_file(m_dir / name, m_killed / name, fs::copy_options::overwrite_existing);
        return m_killed.Path();
    }
    // What the next start on those files logs.
    static CallLogStore Replayed(const fs::path& folder)
    {
        CallLogStore log;
        log.Load(folder / "KestriumCallLog.csv");
        CallJournal::Replay(log, folder / "KestriumCallLog.csv", folder / CallJournal::kFileName);
        return log;
    }
    // Talks on for `seconds` with the display's tick once a second, as the program's timer does.
    void Talk(int seconds)
    {
        for (int i = 0; i < seconds; ++i) {
            Advance(1000);
            m_manager->Tick();
        }
    }
    const CallLogEntry* Find(const CallLogStore& log, const std::string& name)
    {
        for (std::size_t i = 0; i < log.Count(); ++i)
            if (log.GetAt(i)->callerName == name)
                return log.GetAt(i);
        return nullptr;
    }
    static std::time_t Seconds(const CallTime& time) { return time.ToTimeT().value_or(0); }

    testing_support::TempDir m_killed;
};

TEST_F(CallJournalScenario, RingingAndTalkingCallsCutOffByAKillAreLoggedAtTheNextStart)
{
    Start();
    StartTalkingAndRingingCalls();
    const CallTime offered = Now();
    const CallRecord& talker = Slot(1).CallAt(Slot(1).IndexOfCall(OnlyCall(1)));
    const CallTime connected = talker.startTime;
    ASSERT_TRUE(connected.IsValid());
    Talk(12);
    const std::time_t killed = Seconds(Now());

    const fs::path folder = Kill();
    EXPECT_EQ(LoggedCalls().Count(), 0u) << "nothing is logged while the calls go on";
    const CallLogStore log = Replayed(folder);
    ASSERT_EQ(log.Count(), 2u);
    ExpectMissed(*Find(log, "Ringer"), "Ringer", offered);
    EXPECT_EQ(Find(log, "Ringer")->number, "5558888");
    const CallLogEntry* talked = Find(log, "Talker");
    ASSERT_NE(talked, nullptr);
    EXPECT_EQ(talked->type, kCallTypeOutgoing);
    EXPECT_EQ(talked->number, "5554444");
    EXPECT_EQ(talked->startTime, connected);
    EXPECT_LE(Seconds(talked->endTime), killed);
    EXPECT_GT(Seconds(talked->endTime), killed - CallJournal::kRefreshSeconds)
        << "the length up to the last refresh before the kill";
    EXPECT_FALSE(fs::exists(folder / CallJournal::kFileName)) << "replayed once";
    EXPECT_EQ(Replayed(folder).Count(), 2u) << "the next start adds nothing";

    // The calls end as usual: logged once, and the journal is gone.
    ASSERT_EQ(tapisimHangUp(0), TAPISIM_OK);
    ASSERT_EQ(tapisimHangUp(1), TAPISIM_OK);
    Advance(1000);
    ASSERT_EQ(LoggedCalls().Count(), 2u);
    EXPECT_FALSE(fs::exists(m_dir.Path() / CallJournal::kFileName));
}

// Killed after the log was saved but before the journal was updated: the call is not logged again.
TEST_F(CallJournalScenario, CallLoggedBeforeTheKillIsNotReplayedAgain)
{
    Start();
    Ring(0, "5550101", "Early Bird");
    const fs::path folder = Kill();
    ASSERT_EQ(tapisimHangUp(0), TAPISIM_OK);
    Advance(1000);
    ASSERT_EQ(LoggedCalls().Count(), 1u);
    fs::copy_file(
        m_dir / "KestriumCallLog.csv", folder / "KestriumCallLog.csv", fs::copy_options::overwrite_existing);
    const CallLogStore log = Replayed(folder);
    ASSERT_EQ(log.Count(), 1u);
    EXPECT_EQ(log.GetAt(0)->callerName, "Early Bird");
}

// A call whose entry cannot be saved (the log's path is taken by a folder) stays in the journal, so
// the next start logs it.
TEST_F(CallJournalScenario, CallWhoseEntryCannotBeSavedStaysInTheJournal)
{
    Start();
    fs::create_directory(m_dir / "KestriumCallLog.csv");
    Ring(0, "5550101", "Unsaved Caller");
    ASSERT_EQ(tapisimHangUp(0), TAPISIM_OK);
    Advance(1000);
    CallLogStore journal;
    journal.Load(m_dir.Path() / CallJournal::kFileName);
    ASSERT_EQ(journal.Count(), 1u);
    EXPECT_EQ(journal.GetAt(0)->callerName, "Unsaved Caller");
}

// A call the program places is logged only once it connects: one killed while it dials is not
// in the journal.
// The far end hands a talking call on to 5550177: a kill after that logs the call with the party
// the user talked with last.
TEST_F(CallJournalScenario, CallTheFarEndHandedOnIsReplayedWithTheNewParty)
{
    Start();
    Ring(0, "2125550100", "Alice Example");
    ASSERT_EQ(m_manager->GetTargetCallForAction(false, kActionAnswer), 1);
    Advance(500);
    AddDialRule("5550177", TAPISIM_OUTCOME_ANSWER, 1000);
    char reply[256] = {};
    ASSERT_EQ(tapisimCommand("transfer 1 5550177", reply, sizeof reply), TAPISIM_OK) << reply;
    Advance(1500);
    const CallLogStore log = Replayed(Kill());
    ASSERT_EQ(log.Count(), 1u);
    EXPECT_EQ(log.GetAt(0)->number, "5550177");
    EXPECT_EQ(log.GetAt(0)->callerName, "");
}

TEST_F(CallJournalScenario, UnansweredOutgoingCallLeavesNoJournal)
{
    Start();
    AddDialRule("5552222", TAPISIM_OUTCOME_ANSWER, 5000);
    ASSERT_EQ(Slot(1).PlaceCall("5552222", "5552222", "Dialled", false), 1);
    Advance(2000);
    EXPECT_FALSE(fs::exists(m_dir.Path() / CallJournal::kFileName));
    Advance(8000);
    ASSERT_EQ(CallText(1), "Dialled, 5552222 (Connected)");
    ASSERT_TRUE(fs::exists(m_dir.Path() / CallJournal::kFileName));
    EXPECT_EQ(Replayed(Kill()).Count(), 1u);
}

} // namespace
