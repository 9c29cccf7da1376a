#include "support/telephony_scenario.h"

namespace {

// Stands in for call recording and notes: remembers what the call model asked of it.
class FakeRecording : public CallRecordingPort {
public:
    int GetRecordingState(int) const override { return state; }
    HCALL GetRecordingCall(int) const override { return recordingCall; }
    HCALL GetNotesCall(int) const override { return 0; }
    bool HasNotesDialog(int, HCALL) const override { return false; }
    int StartCallRecording(int, HCALL call, int voiceMail) override
    {
        started.push_back({ call, voiceMail });
        recordingCall = call;
        state = Recording;
        return 1;
    }
    int PauseCallRecording(int) override { return 0; }
    int StopCallRecording(int) override
    {
        ++stops;
        recordingCall = 0;
        state = Idle;
        return 1;
    }
    bool HasSetAsideRecording(int, HCALL) const override { return false; }
    int StopSetAsideRecording(int, HCALL) override { return 0; }
    int OpenNotes(int, HCALL) override { return 0; }
    void CloseNotes(int, HCALL) override { }
    void AnswerForVoiceMail(int, HCALL) override { }
    bool OnToneDone(HCALL call) override
    {
        tonesDone.push_back(call);
        return true;
    }

    int state = Idle;
    HCALL recordingCall = 0;
    std::vector<std::pair<HCALL, int>> started;
    std::vector<HCALL> tonesDone;
    int stops = 0;
};

class RecordingHooksScenario : public TelephonyScenario {
protected:
    void SetUp() override
    {
        TelephonyScenario::SetUp();
        m_manager->SetRecordingPort(&m_recording);
        Start();
    }
    FakeRecording m_recording;
};

TEST_F(RecordingHooksScenario, AutoRecordStartsOnConnectionAndStopsWhenTheCallLeavesIt)
{
    m_settings.Write(Settings::kAutoRecordCalls, 1);
    AddDialRule("5551234", TAPISIM_OUTCOME_ANSWER, 1000);
    ASSERT_EQ(Slot(0).PlaceCall("5551234", "5551234", "", false), 1);
    Advance(4000);
    const HCALL call = OnlyCall(0);
    ASSERT_EQ(m_recording.started.size(), 1u);
    EXPECT_EQ(m_recording.started[0], std::make_pair(call, 0));
    EXPECT_EQ(m_recording.stops, 0);
    tapisimHangUp(0);
    Advance(500);
    EXPECT_EQ(m_recording.stops, 1);
}

// The setup dialog closes and reopens the lines: their calls end without further events, so their
// recording stops at once and a voice-mail setup call does not outlive them.
TEST_F(RecordingHooksScenario, ClosingTheLineStopsItsCallsRecordingAndForgetsItsSetupCall)
{
    m_settings.Write(Settings::kAutoRecordCalls, 1);
    AddDialRule("5551234", TAPISIM_OUTCOME_ANSWER, 1000);
    ASSERT_EQ(Slot(0).PlaceCall("5551234", "5551234", "", false), 1);
    Advance(4000);
    ASSERT_EQ(m_recording.started.size(), 1u);
    Slot(0).SetSetupCall(OnlyCall(0), 1);
    m_manager->CloseAllLines();
    EXPECT_EQ(m_recording.stops, 1);
    EXPECT_EQ(Slot(0).GetSetupCall(), 0u);

    m_manager->OpenAllLines();
    ASSERT_EQ(Slot(0).PlaceCall("5551234", "5551234", "", false), 1);
    Advance(4000);
    EXPECT_EQ(m_recording.started.size(), 2u) << "automatic recording works on the reopened line";
}

TEST_F(RecordingHooksScenario, DigitsAreSentAndTheirCallRowUpdatedWhenTheyEnd)
{
    AddDialRule("5551234", TAPISIM_OUTCOME_ANSWER, 500);
    ASSERT_EQ(Slot(3).PlaceCall("5551234", "5551234", "", false), 1);
    Advance(3000);
    const HCALL call = OnlyCall(3);
    const CallRecord& record = Slot(3).CallAt(Slot(3).IndexOfCall(call));
    ASSERT_EQ(Slot(3).SendDigits(call, "5"), 1);
    EXPECT_EQ(record.digitsInFlight, "5");
    Advance(2000);
    EXPECT_TRUE(record.digitsInFlight.empty());
    EXPECT_EQ(record.digitsSent, "5");
    EXPECT_EQ(m_window.tree.CallTexts(), std::vector<std::string>{ "5551234 (Connected) 0:02 Sent: 5" });
    EXPECT_TRUE(m_recording.tonesDone.empty()) << "the digits' end is not a warning tone's end";
    char digits[16] = {};
    tapisimGetDetectedDigits(3, digits, sizeof digits);
    EXPECT_STREQ(digits, "5");

    EXPECT_EQ(Slot(3).SendDigits(0xBAD, "1"), 0) << "a call not in the table takes no digits";
}

// Closing the line (setup dialog, exit) while digits are sent: no LINE_GENERATE reaches a closed
// line, so the digits and those waiting end with it.
TEST_F(RecordingHooksScenario, ClosingTheLineEndsItsDigits)
{
    AddDialRule("5551234", TAPISIM_OUTCOME_ANSWER, 500);
    ASSERT_EQ(Slot(3).PlaceCall("5551234", "5551234", "", false), 1);
    Advance(3000);
    ASSERT_EQ(Slot(3).SendDigits(OnlyCall(3), "123456789"), 1);
    ASSERT_EQ(Slot(3).SendDigits(OnlyCall(3), "0"), 1);
    EXPECT_EQ(Slot(3).CallAt(0).digitsQueued, "0");
    m_manager->CloseAllLines();
    Advance(5000);
    EXPECT_TRUE(Slot(3).CallAt(0).digitsInFlight.empty());
    EXPECT_TRUE(Slot(3).CallAt(0).digitsQueued.empty());
}
} // namespace
