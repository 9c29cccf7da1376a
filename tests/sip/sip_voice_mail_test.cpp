// Kestrium itself on a SIP line: SIPp calls "IP Line 1", voice mail answers after the second ring,
// and the caller's audio ends up as an unheard message in the call log.
#include "sip_fixture.h"

#include "app/application.h"
#include "audio/sound_file.h"
#include "platform/registry.h"
#include "settings/settings_store.h"
#include "store/call_log_store.h"
#include "store/recording_path.h"
#include "support/temp_dir.h"
#include "tapi/include/tapisim.h"
#include "telephony/action_target.h"
#include "telephony/support/recording_notifications.h"
#include "telephony/support/scripted_prompter.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

class SipVoiceMail : public ::testing::Test {
protected:
    // Four analog lines, then a SIP line "IP Line N" for each entry, with the entry's extra keys.
    virtual bool HasAnalogLines() const { return true; }
    virtual std::vector<std::string> SipLineKeys() const { return { "" }; }

    void SetUp() override
    {
        m_sippPort = sip_test::FreePort();
        std::string config;
        for (int i = 1; HasAnalogLines() && i <= 4; ++i)
            config += "[line]\nname = Zo-Linka Line " + std::to_string(i) + "\n";
        for (const std::string& keys : SipLineKeys()) {
            m_linePorts.push_back(sip_test::FreePort());
            config += "[line]\nname = IP Line " + std::to_string(m_linePorts.size())
                + "\nkind = sip\nuser = kestrium\ndomain = 127.0.0.1:" + std::to_string(m_sippPort)
                + "\nlocal-address = 127.0.0.1\nlocal-port = " + std::to_string(m_linePorts.back())
                + "\nregister = no\nring-period-ms = 1000\n" + keys;
        }
        ASSERT_EQ(tapisimConfigure(config.c_str()), TAPISIM_OK) << tapisimLastError();
        ASSERT_EQ(tapisimUseManualClock(1), TAPISIM_OK);
        m_settings.Write(Settings::kVoicemailOn, 1);
        m_settings.Write(Settings::kAnswerAfter, 2);
    }
    void TearDown() override
    {
        if (m_app)
            m_app->Finish();
        m_app.reset();
        tapisimReset();
        tapisimConfigure(nullptr);
    }
    // The exchange's clock in step with real time, since the callers are real.
    void RunWhile(const std::vector<std::unique_ptr<sip_test::Sipp>>& callers, int timeoutMs)
    {
        const auto running = [&] {
            return std::any_of(
                callers.begin(), callers.end(), [](const auto& sipp) { return sipp->Running(); });
        };
        for (int done = 0; done < timeoutMs && (running() || done < 500); done += 20) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            tapisimAdvance(20);
            QCoreApplication::processEvents();
        }
    }

    // Starts Kestrium, lets a SIPp per scenario call IP Line 1, 2... at once and runs until they
    // are done; the call log then.
    CallLogStore CallIn(const std::vector<std::string>& scenarios)
    {
        m_app = std::make_unique<Application>(m_dir.Path(), m_hive, m_prompter);
        auto notifications = std::make_unique<RecordingSink>();
        m_notifications = notifications.get();
        m_app->UseNotifications(std::move(notifications));
        EXPECT_TRUE(m_app->Start());
        std::vector<std::unique_ptr<sip_test::Sipp>> callers;
        for (std::size_t i = 0; i < scenarios.size(); ++i) {
            const std::filesystem::path folder = m_dir / ("caller" + std::to_string(i + 1));
            std::filesystem::create_directories(folder);
            callers.push_back(std::make_unique<sip_test::Sipp>());
            EXPECT_TRUE(callers.back()->Start(folder, scenarios[i], sip_test::FreePort(),
                { "127.0.0.1:" + std::to_string(m_linePorts.at(i)) }));
        }
        RunWhile(callers, 25000);
        for (const auto& sipp : callers)
            EXPECT_EQ(sipp->ExitCode(), 0) << sipp->Log();
        RunWhile(callers, 500);
        return LoggedCalls();
    }
    CallLogStore CallIn(const std::string& afterRinging)
    {
        return CallIn(std::vector<std::string>{ sip_test::CallingScenario(afterRinging) });
    }

    // Kestrium with voice mail off: the user answers by hand.
    void StartByHand()
    {
        m_settings.Write(Settings::kVoicemailOn, 0);
        m_app = std::make_unique<Application>(m_dir.Path(), m_hive, m_prompter);
        ASSERT_TRUE(m_app->Start());
    }
    // SIPp calling IP Line 1 from a folder of its own, `afterRinging` once it rang.
    std::unique_ptr<sip_test::Sipp> CallLine1(const std::string& name, const std::string& afterRinging)
    {
        const std::filesystem::path folder = m_dir / name;
        std::filesystem::create_directories(folder);
        auto sipp = std::make_unique<sip_test::Sipp>();
        EXPECT_TRUE(sipp->Start(folder, sip_test::CallingScenario(afterRinging), sip_test::FreePort(),
            { "127.0.0.1:" + std::to_string(m_linePorts.at(0)) }));
        return sipp;
    }
    // The exchange's clock and the program's events in step with real time until `done` holds.
    bool RunUntil(const std::function<bool()>& done, int timeoutMs = 5000)
    {
        for (int waited = 0; waited < timeoutMs && !done(); waited += 20) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            tapisimAdvance(20);
            QCoreApplication::processEvents();
        }
        return done();
    }
    // An offered call in any row; none: call 0.
    ActionTarget Offered()
    {
        for (int slot = 0; slot < LineManager::kSlotCount; ++slot)
            if (const HCALL call = m_app->Lines().GetLineSlot(slot).FindOfferingCall())
                return { call, slot };
        return {};
    }
    CallLogStore LoggedCalls() const
    {
        CallLogStore log;
        log.Load(m_dir.Path() / CallLogStore::kFileName);
        return log;
    }

    // An entry's type, number and name.
    using Party = std::tuple<int, std::string, std::string>;
    static Party PartyOf(const CallLogEntry& entry)
    {
        return { entry.TypeCode(), entry.number, entry.callerName };
    }

    // The message's share of `frequency`, 0 when the entry has no readable recording.
    static double ToneInMessage(const CallLogEntry& entry, double frequency)
    {
        const testing_support::SoundFile recorded
            = testing_support::ReadSoundFile(RecordingPath::ToLocalFile(entry.recordingPath).string());
        return recorded.opened ? BestShareOf(recorded.samples, frequency) : 0;
    }

    testing_support::TempDir m_dir;
    testing_support::TempDir m_config;
    platform::RegistryHive m_hive{ m_config / "registry.reg" };
    SettingsStore m_settings{ m_hive };
    ScriptedPrompter m_prompter;
    std::unique_ptr<Application> m_app;
    RecordingSink* m_notifications = nullptr; // owned by m_app
    std::vector<std::uint16_t> m_linePorts;
    std::uint16_t m_sippPort = 0;
};

TEST_F(SipVoiceMail, CallerReachesVoiceMailAndLeavesAMessage)
{
    sip_test::WriteRtpPcap(m_dir / "message.pcap", Tone(900, 3000));
    const CallLogStore log = CallIn(sip_test::AnsweredThenTone((m_dir / "message.pcap").string(), 3300));
    ASSERT_EQ(log.Count(), 1u);
    const CallLogEntry& entry = *log.GetAt(0);
    EXPECT_EQ(entry.type, kCallTypeVoicemail);
    EXPECT_EQ(entry.callerName, "Alice Example");
    EXPECT_EQ(entry.number, "2125550100");
    EXPECT_TRUE(entry.IsUnheard());
    EXPECT_GT(ToneInMessage(entry, 900), 0.8) << "the caller's tone is in the message";
}

// The caller hangs up (CANCEL) before voice mail answers: a missed call.
TEST_F(SipVoiceMail, CallerWhoCancelsIsLoggedAsMissed)
{
    const CallLogStore log = CallIn(sip_test::GivesUp());
    ASSERT_EQ(log.Count(), 1u);
    EXPECT_EQ(log.GetAt(0)->type, kCallTypeMissed);
    EXPECT_EQ(log.GetAt(0)->callerName, "Alice Example");
    ASSERT_EQ(m_notifications->shown.size(), 1u);
    EXPECT_EQ(m_notifications->shown[0].summary, "Missed call");
}

// A caller who cancels as soon as it rings (a misdial, or one of a flood of INVITE and CANCEL
// pairs) could not have been answered: it is neither logged nor notified.
TEST_F(SipVoiceMail, CallerWhoCancelsAtOnceLeavesNoTrace)
{
    const CallLogStore log = CallIn(sip_test::GivesUp(0));
    EXPECT_EQ(log.Count(), 0u);
    EXPECT_TRUE(m_notifications->shown.empty());
}

} // namespace

namespace {

// A caller turned away (an offer without usable audio gets 488) leaves a missed call; nothing rang.
TEST_F(SipVoiceMail, CallerRefusedForItsOfferIsLoggedAsMissed)
{
    const std::string noAudio = "v=0\r\no=sipp 1 1 IN IP4 [local_ip]\r\ns=-\r\nc=IN IP4 0.0.0.0\r\nt=0 "
                                "0\r\nm=audio [media_port] RTP/AVP 0\r\n";
    const CallLogStore log
        = CallIn(std::vector<std::string>{ sip_test::RefusedCallScenario(488, "", noAudio) });
    ASSERT_EQ(log.Count(), 1u);
    EXPECT_EQ(log.GetAt(0)->type, kCallTypeMissed);
    EXPECT_EQ(log.GetAt(0)->callerName, "Alice Example");
    EXPECT_EQ(log.GetAt(0)->number, "2125550100");
}

// Kestrium answers a SIP caller by hand and puts the call on hold; the far end refuses the re-INVITE
// (488): the user is told, the call stays connected, and it is logged once when it ends.
TEST_F(SipVoiceMail, HoldTheFarEndRefusesIsReportedToTheUser)
{
    StartByHand();
    std::vector<std::unique_ptr<sip_test::Sipp>> callers;
    callers.push_back(CallLine1("a",
        sip_test::AnsweredAndAcked() + sip_test::OurReInvite("a=sendonly", "488 Not Acceptable Here")
            + sip_test::WaitsForOurBye()));
    LineManager& lines = m_app->Lines();
    ActionTarget target;
    ASSERT_TRUE(RunUntil([&] { return (target = Offered()).call != 0; })) << callers.back()->Log();
    LineSlot& slot = lines.GetLineSlot(target.slot);
    ASSERT_GE(slot.AnswerCall(target.call), 0);
    ASSERT_TRUE(RunUntil([&] { return (slot.CallFeatures(target.call) & LINECALLFEATURE_HOLD) != 0; }));

    EXPECT_EQ(lines.RunAction(kActionHold, target), 1);
    ASSERT_TRUE(RunUntil([&] { return !m_prompter.messages.empty(); })) << callers.back()->Log();
    EXPECT_EQ(m_prompter.messages.front().text, "The call could not be put on hold.");
    EXPECT_FALSE(lines.IsOnHold(target));
    EXPECT_TRUE(slot.CallFeatures(target.call) & LINECALLFEATURE_HOLD) << "still connected";

    slot.DropCall(target.call);
    RunWhile(callers, 5000);
    EXPECT_EQ(callers.back()->ExitCode(), 0) << callers.back()->Log();
    const CallLogStore log = LoggedCalls();
    ASSERT_EQ(log.Count(), 1u);
    EXPECT_EQ(log.GetAt(0)->type, kCallTypeIncoming);
    EXPECT_EQ(m_prompter.messages.size(), 1u);
}

// A second SIP caller while the first talks waits; the user holds the first and answers the
// second, then hangs up both: two answered calls in the log, each once.
TEST_F(SipVoiceMail, WaitingCallerIsAnsweredWhileTheFirstIsHeldAndEachCallIsLoggedOnce)
{
    StartByHand();
    std::vector<std::unique_ptr<sip_test::Sipp>> callers;
    callers.push_back(CallLine1("a",
        sip_test::AnsweredAndAcked() + sip_test::OurReInvite("a=sendonly", "200 OK", "a=recvonly")
            + sip_test::WaitsForOurBye()));
    LineManager& lines = m_app->Lines();
    ActionTarget first, second;
    ASSERT_TRUE(RunUntil([&] { return (first = Offered()).call != 0; })) << callers.back()->Log();
    LineSlot& slot = lines.GetLineSlot(first.slot);
    ASSERT_GE(slot.AnswerCall(first.call), 0);
    ASSERT_TRUE(RunUntil([&] { return (slot.CallFeatures(first.call) & LINECALLFEATURE_HOLD) != 0; }));

    callers.push_back(CallLine1("b", sip_test::AnsweredAndAcked() + sip_test::WaitsForOurBye()));
    ASSERT_TRUE(RunUntil([&] { return (second = Offered()).call != 0; })) << callers.back()->Log();
    EXPECT_EQ(second.slot, first.slot) << "the waiting call is on the same line";
    EXPECT_EQ(lines.RunAction(kActionHold, first), 1);
    ASSERT_TRUE(RunUntil([&] { return lines.IsOnHold(first); }));
    ASSERT_GE(slot.AnswerCall(second.call), 0);
    ASSERT_TRUE(RunUntil([&] { return (slot.CallFeatures(second.call) & LINECALLFEATURE_HOLD) != 0; }));
    RunUntil([] { return false; }, 1000);

    slot.DropCall(second.call);
    slot.DropCall(first.call);
    RunWhile(callers, 5000);
    for (const auto& caller : callers)
        EXPECT_EQ(caller->ExitCode(), 0) << caller->Log();
    const CallLogStore log = LoggedCalls();
    ASSERT_EQ(log.Count(), 2u);
    for (std::size_t i = 0; i < log.Count(); ++i) {
        EXPECT_EQ(log.GetAt(i)->type, kCallTypeIncoming) << "entry " << i;
        EXPECT_EQ(log.GetAt(i)->number, "2125550100") << "entry " << i;
    }
    EXPECT_TRUE(m_prompter.messages.empty());
}

// The caller transfers us (REFER) to Bob: we call Bob, the caller's call ends once he answers, and
// the user hangs up on Bob. The call log names each party once: Alice on her call, and Bob (the
// number and name of the REFER's Refer-To) on the call to him, whom the user talked to last.
TEST_F(SipVoiceMail, CallTheCallerTransferredUsToIsLoggedWithThePartyTalkedTo)
{
    StartByHand();
    std::vector<std::unique_ptr<sip_test::Sipp>> parties;
    std::filesystem::create_directories(m_dir / "bob");
    const std::uint16_t bobPort = sip_test::FreePort();
    parties.push_back(std::make_unique<sip_test::Sipp>());
    ASSERT_TRUE(parties.back()->Start(m_dir / "bob", sip_test::TransferTargetScenario(), bobPort));
    parties.push_back(CallLine1("alice",
        sip_test::AnsweredAndAcked()
            + sip_test::TransfersUsTo("sip:2125550199@127.0.0.1:" + std::to_string(bobPort))));
    ActionTarget alice;
    ASSERT_TRUE(RunUntil([&] { return (alice = Offered()).call != 0; })) << parties.back()->Log();
    LineSlot& slot = m_app->Lines().GetLineSlot(alice.slot);
    ASSERT_GE(slot.AnswerCall(alice.call), 0);
    HCALL bob = 0;
    const auto bobTalks = [&] {
        for (int i = 0; i < LineSlot::kMaxCalls && bob == 0; ++i)
            if (const HCALL call = slot.CallAt(i).call; call != 0 && call != alice.call)
                bob = call;
        return bob != 0 && (slot.CallFeatures(bob) & LINECALLFEATURE_HOLD) != 0
            && slot.IndexOfCall(alice.call) < 0;
    };
    ASSERT_TRUE(RunUntil(bobTalks, 8000)) << parties.front()->Log() << parties.back()->Log();
    slot.DropCall(bob);
    RunWhile(parties, 5000);
    for (const auto& party : parties)
        EXPECT_EQ(party->ExitCode(), 0) << party->Log();
    const CallLogStore log = LoggedCalls();
    ASSERT_EQ(log.Count(), 2u);
    EXPECT_EQ(PartyOf(*log.GetAt(0)), Party(kCallTypeIncoming, "2125550100", "Alice Example"));
    EXPECT_EQ(PartyOf(*log.GetAt(1)), Party(kCallTypeOutgoing, "2125550199", "Bob Example"));
    EXPECT_TRUE(m_prompter.messages.empty());
}

// The caller hands the call to Bob, whose INVITE replaces her dialog (the far end's attended
// transfer): Bob's call arrives connected and he hangs up. The call log names Alice on her call
// and Bob on his.
TEST_F(SipVoiceMail, CallReplacingTheCallersIsLoggedWithTheNewParty)
{
    StartByHand();
    std::vector<std::unique_ptr<sip_test::Sipp>> callers;
    callers.push_back(CallLine1("alice", sip_test::ReplacedByBob()));
    ActionTarget alice;
    ASSERT_TRUE(RunUntil([&] { return (alice = Offered()).call != 0; })) << callers.back()->Log();
    ASSERT_GE(m_app->Lines().GetLineSlot(alice.slot).AnswerCall(alice.call), 0);
    RunWhile(callers, 8000);
    EXPECT_EQ(callers.back()->ExitCode(), 0) << callers.back()->Log();
    const CallLogStore log = LoggedCalls();
    ASSERT_EQ(log.Count(), 2u);
    EXPECT_EQ(PartyOf(*log.GetAt(0)), Party(kCallTypeIncoming, "2125550100", "Alice Example"));
    EXPECT_EQ(PartyOf(*log.GetAt(1)), Party(kCallTypeIncoming, "2125550199", "Bob Example"));
    EXPECT_TRUE(m_prompter.messages.empty());
}

// Six SIP accounts, six callers at once. Kestrium keeps rows 1 to 4 for telephone-network lines,
// so it opens IP Line 1 and 2 only: the four lines nobody has open refuse their callers (480)
// instead of answering them, and both open lines' callers reach voice mail and leave a message.
class SipVoiceMailSixAccounts : public SipVoiceMail {
protected:
    bool HasAnalogLines() const override { return false; }
    std::vector<std::string> SipLineKeys() const override { return std::vector<std::string>(6, ""); }
};

TEST_F(SipVoiceMailSixAccounts, LinesNobodyOpenedRefuseAndBothOpenLinesKeepTheirMessages)
{
    sip_test::WriteRtpPcap(m_dir / "message.pcap", Tone(900, 3000));
    const std::string leavesMessage
        = sip_test::CallingScenario(sip_test::AnsweredThenTone((m_dir / "message.pcap").string(), 3300));
    std::vector<std::string> scenarios(2, leavesMessage);
    scenarios.resize(6, sip_test::RefusedCallScenario(480));
    const CallLogStore log = CallIn(scenarios);
    ASSERT_EQ(log.Count(), 2u);
    for (std::size_t i = 0; i < log.Count(); ++i) {
        EXPECT_EQ(log.GetAt(i)->type, kCallTypeVoicemail) << "entry " << i;
        EXPECT_GT(ToneInMessage(*log.GetAt(i), 900), 0.8) << "entry " << i;
    }
}

// With present-as = analog on four of them, the six accounts fill the six rows: six callers, six
// messages.
class SipVoiceMailSixRows : public SipVoiceMail {
protected:
    bool HasAnalogLines() const override { return false; }
    std::vector<std::string> SipLineKeys() const override
    {
        std::vector<std::string> keys(4, "present-as = analog\n");
        keys.resize(6, "present-as = ip\n");
        return keys;
    }
};

TEST_F(SipVoiceMailSixRows, SixAccountsPresentedAsTelephoneLinesAndIpLinesEachTakeAMessage)
{
    sip_test::WriteRtpPcap(m_dir / "message.pcap", Tone(900, 3000));
    const CallLogStore log = CallIn(std::vector<std::string>(
        6, sip_test::CallingScenario(sip_test::AnsweredThenTone((m_dir / "message.pcap").string(), 3300))));
    ASSERT_EQ(log.Count(), 6u);
    // Six real-time callers at once outrun a ThreadSanitizer build's slowed audio threads: there
    // each message must hold the caller's tone, not mostly.
    const double share = KESTRIUM_SANITIZED_THREADS ? 0.0 : 0.8;
    for (std::size_t i = 0; i < log.Count(); ++i) {
        EXPECT_EQ(log.GetAt(i)->type, kCallTypeVoicemail) << "entry " << i;
        EXPECT_GT(ToneInMessage(*log.GetAt(i), 900), share) << "entry " << i;
    }
}

} // namespace
