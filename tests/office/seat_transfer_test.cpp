// Transfers between seats through Kamailio: the program's telephony in this process is seat 201
// and hands a colleague's call (seat 202, the real program) to a third seat (203, the real program
// too), blind (REFER) and after consulting (REFER with Replaces, the new call's INVITE routed
// through the server). Each seat's call log keeps what its user saw of it.
#include "kestrium_seat.h"
#include "office_scenario.h"

#include "audio/sound_file.h"
#include "sip/sip_fixture.h"
#include "store/recording_path.h"
#include "telephony/action_target.h"

#include <functional>
#include <memory>
#include <string>

namespace {

using office_test::KestriumSeat;

// Seat 202 records its calls with the warning beep, seat 203 without (and its voice mail answers
// after two rings): what each recording holds came from the other seat. Both end a call that gets
// no audio for 2 s.
class OfficeSeatTransfer : public office_test::OfficeScenario {
protected:
    std::vector<std::string> Users() const override
    {
        return { "201:secret-201", "202:secret-202", "203:secret-203" };
    }
    // Seats that call each other keep a minute (see OfficeSeats).
    unsigned GrantedSeconds() const override { return 60; }

    void SetUp() override
    {
        OfficeScenario::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        m_caller = StartSeat(
            "202", [](SettingsStore& settings) { settings.Write(Settings::kAutoRecordCalls, 1); });
        m_target = StartSeat("203", [](SettingsStore& settings) {
            settings.Write(Settings::kAutoRecordCalls, 1);
            settings.Write(Settings::kPlayBeepWhenRecording, 0);
            settings.Write(Settings::kAnswerAfter, 2);
        });
        Start();
        ASSERT_TRUE(RunUntil(
            [&] {
                return SeatState().find("registered") != std::string::npos && Registered(*m_caller)
                    && Registered(*m_target);
            },
            5000, 100))
            << SeatState() << "\n"
            << m_caller->SipLineState() << "\n"
            << m_target->SipLineState() << m_server->Log();
    }

    std::unique_ptr<KestriumSeat> StartSeat(
        const std::string& user, const std::function<void(SettingsStore&)>& settings)
    {
        auto seat
            = std::make_unique<KestriumSeat>(user, "secret-" + user, m_server->Port(), "rtp-timeout = 2\n");
        seat->ChangeSettings(settings);
        EXPECT_TRUE(seat->Start()) << seat->Output();
        return seat;
    }
    static bool Registered(const KestriumSeat& seat)
    {
        return seat.SipLineState().find("in service: registered") != std::string::npos;
    }
    bool RunUntilSeat(const KestriumSeat& seat, const std::string& text, int timeoutMs)
    {
        return RunUntil([&] { return seat.SipLineState().find(text) != std::string::npos; }, timeoutMs, 100);
    }

    // The state of this seat's only call (0 without one).
    DWORD SeatCallState() { return SeatSlot().CallState(OnlyCall(SeatSlotIndex())); }
    // Seat 202 dials this seat, which answers.
    void AnswerCallFromCaller()
    {
        m_caller->Dial("201");
        EXPECT_TRUE(RunUntil([&] { return SeatCallState() == LINECALLSTATE_OFFERING; }, 5000))
            << SeatState() << m_caller->SipLineState();
        EXPECT_EQ(m_manager->GetTargetCallForAction(false, kActionAnswer), 1);
        EXPECT_TRUE(RunUntil([&] { return SeatCallState() == LINECALLSTATE_CONNECTED; }, 3000))
            << SeatState();
        EXPECT_TRUE(RunUntilSeat(*m_caller, "connected to 201", 3000)) << m_caller->SipLineState();
    }

    // The entries of a call log as "type number" lines, in the log's order.
    static std::string Entries(const CallLogStore& log)
    {
        static const char* const kTypes[] = { "missed", "incoming", "outgoing", "conference", "voice mail" };
        std::string text;
        for (std::size_t i = 0; i < log.Count(); ++i) {
            const int type = log.GetAt(i)->TypeCode();
            text += (type >= 0 && type <= kCallTypeVoicemail ? kTypes[type] : "?");
            text += " " + log.GetAt(i)->number + "\n";
        }
        return text;
    }
    // The samples of a logged call's recording (8 kHz).
    static std::vector<std::int16_t> Recorded(const CallLogEntry& entry)
    {
        EXPECT_FALSE(entry.recordingPath.empty()) << entry.number;
        return testing_support::ReadSoundFile(RecordingPath::ToLocalFile(entry.recordingPath).string())
            .samples;
    }
    // Once 201 handed the call over, 202 and 203 are connected and stay so for 2.5 s, longer than
    // either waits for audio; then 203 hangs up and both are idle.
    void ExpectCallerAndTargetTalkThenHangUp()
    {
        EXPECT_TRUE(m_prompter.messages.empty()) << PromptedText();
        EXPECT_TRUE(RunUntilSeat(*m_caller, "connected to 203", 2000)) << m_caller->SipLineState();
        EXPECT_TRUE(RunUntilSeat(*m_target, "connected from 202", 2000)) << m_target->SipLineState();
        RunUntil([] { return false; }, 2500);
        EXPECT_NE(m_caller->SipLineState().find("connected to 203"), std::string::npos)
            << m_caller->SipLineState() << m_caller->Output();
        EXPECT_NE(m_target->SipLineState().find("connected from 202"), std::string::npos)
            << m_target->SipLineState() << m_target->Output();
        m_target->Linesim("hangup 5");
        EXPECT_TRUE(RunUntilSeat(*m_caller, "idle", 3000)) << m_caller->SipLineState();
        EXPECT_TRUE(RunUntilSeat(*m_target, "idle", 3000)) << m_target->SipLineState();
    }
    std::string PromptedText() const
    {
        return m_prompter.messages.empty() ? std::string() : m_prompter.messages.back().text;
    }

    std::unique_ptr<KestriumSeat> m_caller; // A: extension 202
    std::unique_ptr<KestriumSeat> m_target; // C: extension 203
};

// 202 calls 201, which hands the call to 203 without asking first: 202 calls 203 (REFER through the
// server), 203's voice mail answers, and 201's call goes. 202 hears 203's greeting; the new call
// stays up (both seats end a call that gets no audio for 2 s).
TEST_F(OfficeSeatTransfer, BlindTransferHandsTheCallerToTheThirdSeat)
{
    const CallTime beforeAnswer = Now();
    AnswerCallFromCaller();
    const CallTime answered = Now();
    ASSERT_TRUE(m_manager->TransferCall({}, "203")) << PromptedText();
    ASSERT_TRUE(RunUntilSeat(*m_target, "offering from 202", 5000)) << m_target->SipLineState();
    EXPECT_NE(OnlyCall(SeatSlotIndex()), 0u) << "the call stays until the new party answered";
    // Voice mail answers after two rings of 1.5 s; the caller reports it and 201's call goes.
    ASSERT_TRUE(RunUntil([&] { return OnlyCall(SeatSlotIndex()) == 0; }, 8000))
        << SeatState() << m_caller->SipLineState();
    const CallTime handedOver = Now();
    EXPECT_NE(SeatState().find("idle; transferred 202 to 203"), std::string::npos) << SeatState();
    ExpectCallerAndTargetTalkThenHangUp();

    // 201: the call it answered, once, until it was handed over.
    const CallLogStore log = LoggedCalls();
    ASSERT_EQ(Entries(log), "incoming 202\n");
    EXPECT_GE(log.GetAt(0)->startTime, beforeAnswer);
    EXPECT_LE(log.GetAt(0)->startTime, answered);
    EXPECT_EQ(log.GetAt(0)->endTime, handedOver);
    // 202: its call to 201, then the call to 203 it was handed to, which heard 203's greeting.
    ASSERT_TRUE(RunUntil([&] { return m_caller->CallLog().Count() == 2; }, 3000, 100));
    const CallLogStore callerLog = m_caller->CallLog();
    ASSERT_EQ(Entries(callerLog), "outgoing 201\noutgoing 203\n");
    EXPECT_GT(BestShareOf(Recorded(*callerLog.GetAt(1)), 600), 0.8) << "203's greeting reached 202";
    // 203: a voice message from 202.
    ASSERT_TRUE(RunUntil([&] { return m_target->CallLog().Count() == 1; }, 3000, 100));
    EXPECT_EQ(Entries(m_target->CallLog()), "voice mail 202\n");
}

// 202 calls 201; 201 holds it pending transfer and calls 203 (both through the server), which
// answers; 201 completes the transfer: 202 calls 203 with Replaces naming 201's call with 203, the
// server routes it to 203, which takes it in place of 201's call. 201 is free, 202 and 203 talk:
// 203 hears 202's recording beep, and the call stays up.
TEST_F(OfficeSeatTransfer, TransferAfterConsultingConnectsTheCallerWithTheThirdSeat)
{
    AnswerCallFromCaller();
    ASSERT_TRUE(m_manager->ConsultTransferCall({}, "203")) << PromptedText();
    ASSERT_TRUE(RunUntilSeat(*m_target, "offering from 201", 5000))
        << m_target->SipLineState() << SeatState();
    m_target->Linesim("handset 5 up");
    ASSERT_TRUE(RunUntil([&] { return SeatState().find("connected to 203") != std::string::npos; }, 3000))
        << SeatState();
    EXPECT_NE(SeatState().find("held for transfer"), std::string::npos) << SeatState();
    RunUntil([] { return false; }, 500); // the consultation

    ASSERT_TRUE(m_manager->TransferCall({}, "")) << PromptedText();
    ASSERT_TRUE(
        RunUntil([&] { return SeatState().find("idle; transferred 202 to 203") != std::string::npos; }, 5000))
        << SeatState() << "\n"
        << m_caller->SipLineState() << "\n"
        << m_target->SipLineState() << m_server->Log();
    EXPECT_TRUE(RunUntil([&] { return OnlyCall(SeatSlotIndex()) == 0; }, 2000)) << SeatState();
    ExpectCallerAndTargetTalkThenHangUp();
    m_target->Linesim("handset 5 down");

    // 201: each party it talked to, once.
    EXPECT_EQ(Entries(LoggedCalls()), "incoming 202\noutgoing 203\n");
    // 202: its call to 201, then the call to 203 it was handed to.
    ASSERT_TRUE(RunUntil([&] { return m_caller->CallLog().Count() == 2; }, 3000, 100));
    EXPECT_EQ(Entries(m_caller->CallLog()), "outgoing 201\noutgoing 203\n");
    // 203: 201's consultation call, then 202's call that took its place, which heard 202's beep.
    ASSERT_TRUE(RunUntil([&] { return m_target->CallLog().Count() == 2; }, 3000, 100));
    const CallLogStore targetLog = m_target->CallLog();
    ASSERT_EQ(Entries(targetLog), "incoming 201\nincoming 202\n");
    EXPECT_GT(BestShareOf(Recorded(*targetLog.GetAt(1)), 1000), 0.8) << "202's beep reached 203";
}

} // namespace
