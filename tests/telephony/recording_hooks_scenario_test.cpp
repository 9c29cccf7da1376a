#include "support/telephony_scenario.h"

#include "store/recording_path.h"

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
    int OpenNotes(int, HCALL) override { return 0; }
    void CloseNotes(int, HCALL) override { }
    void AnswerForVoiceMail(int slot, HCALL call) override { voiceMailAnswers.push_back({ slot, call }); }
    bool OnToneDone(HCALL call) override
    {
        tonesDone.push_back(call);
        return true;
    }

    int state = Idle;
    HCALL recordingCall = 0;
    std::vector<std::pair<HCALL, int>> started;
    std::vector<std::pair<int, HCALL>> voiceMailAnswers;
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
    std::string Generated(DWORD line)
    {
        char text[512] = {};
        tapisimGetGeneratedLog(line, text, sizeof text);
        return text;
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

TEST_F(RecordingHooksScenario, VoiceMailCallIsLoggedWithAnUnheardRecording)
{
    Ring(1, "5559999", "Fay");
    const HCALL call = OnlyCall(1);
    const LONG request = Slot(1).AnswerCall(call);
    ASSERT_GT(request, 0);
    Slot(1).SetPendingAnswerRequest(request);
    Slot(1).SetSetupCall(call, 1);
    Advance(500);
    ASSERT_EQ(m_recording.voiceMailAnswers.size(), 1u);
    EXPECT_EQ(m_recording.voiceMailAnswers[0], std::make_pair(1, call));
    EXPECT_EQ(CallText(1), "Fay,5559999 (Voicemail)");

    const std::string path = (m_dir / "VoiceMail" / "Kes1A.wav").string();
    Slot(1).SetCallPaths(call, &path, nullptr);
    tapisimHangUp(1);
    Advance(1000);
    const CallLogStore log = LoggedCalls();
    ASSERT_EQ(log.Count(), 1u);
    EXPECT_EQ(log.GetAt(0)->type, kCallTypeVoicemail);
    EXPECT_TRUE(log.GetAt(0)->IsUnheard());
    EXPECT_EQ(log.GetAt(0)->recordingPath.rfind("File:///", 0), 0u);
    EXPECT_EQ(RecordingPath::ToLocalFile(log.GetAt(0)->recordingPath), path);
    EXPECT_EQ(Slot(1).GetSetupCall(), 0u) << "the setup call is forgotten when it goes idle";
}

TEST_F(RecordingHooksScenario, RejectWithBeepAnswersBeepsDropsAndLogsAMissedCall)
{
    Ring(2, "5550101", "Gus");
    const CallTime offered = Now();
    const HCALL call = OnlyCall(2);
    const LONG request = Slot(2).AnswerCall(call);
    ASSERT_GT(request, 0);
    Slot(2).SetIgnoredCall(call);
    Slot(2).SetPendingBeepRejectRequest(request);
    Advance(1000); // the answer completes; the beep starts and the drop waits for it
    Advance(1000);
    EXPECT_EQ(OnlyCall(2), 0u);
    EXPECT_NE(Generated(2).find("tone beep 500"), std::string::npos) << Generated(2);
    EXPECT_EQ(Slot(2).GetIgnoredCall(), 0u);
    const CallLogStore log = LoggedCalls();
    ASSERT_EQ(log.Count(), 1u);
    EXPECT_EQ(log.GetAt(0)->type, kCallTypeMissed);
    EXPECT_EQ(log.GetAt(0)->startTime, offered);
    EXPECT_EQ(log.GetAt(0)->endTime, offered);
}

TEST_F(RecordingHooksScenario, DigitsAreSentAndTheKeypadRefreshedWhenTheyEnd)
{
    AddDialRule("5551234", TAPISIM_OUTCOME_ANSWER, 500);
    ASSERT_EQ(Slot(3).PlaceCall("5551234", "5551234", "", false), 1);
    Advance(3000);
    const HCALL call = OnlyCall(3);
    ASSERT_EQ(Slot(3).SendDigits(call, "5"), 1);
    EXPECT_EQ(m_manager->GetDigitsCall(), call);
    Advance(2000);
    EXPECT_EQ(m_manager->GetDigitsCall(), 0u);
    EXPECT_EQ(m_window.keypadRefreshes, 1);
    EXPECT_TRUE(m_recording.tonesDone.empty()) << "the digits' end is not a warning tone's end";
    char digits[16] = {};
    tapisimGetDetectedDigits(3, digits, sizeof digits);
    EXPECT_STREQ(digits, "5");

    EXPECT_EQ(Slot(3).SendDigits(0xBAD, "1"), 0) << "refused digits leave no digits call";
    EXPECT_EQ(m_manager->GetDigitsCall(), 0u);
}

// Closing the line (setup dialog, exit) while digits are sent: no LINE_GENERATE reaches a closed
// line, so the digits call must end with it or the keypad would stay disabled.
TEST_F(RecordingHooksScenario, ClosingTheLineEndsItsDigitsCall)
{
    AddDialRule("5551234", TAPISIM_OUTCOME_ANSWER, 500);
    ASSERT_EQ(Slot(3).PlaceCall("5551234", "5551234", "", false), 1);
    Advance(3000);
    ASSERT_EQ(Slot(3).SendDigits(OnlyCall(3), "123456789"), 1);
    m_manager->CloseAllLines();
    Advance(5000);
    EXPECT_EQ(m_manager->GetDigitsCall(), 0u);
}

TEST_F(RecordingHooksScenario, SlotRecorderCapturesTheLinesFarEnd)
{
    AddDialRule("5551234", TAPISIM_OUTCOME_ANSWER, 500);
    ASSERT_EQ(Slot(0).PlaceCall("5551234", "5551234", "", false), 1);
    Advance(3000);
    ASSERT_EQ(CallText(0), "5551234 (Connected)");
    ASSERT_EQ(tapisimSetFarEndTone(0, 1000, -10), TAPISIM_OK);
    const std::string path = (m_dir / "call.wav").string();
    ASSERT_EQ(
        Slot(0).GetRecorder().StartRecording(path.c_str(), std::int16_t(Slot(0).GetWaveInDeviceId())), 0);
    Advance(2000);
    ASSERT_EQ(Slot(0).GetRecorder().StopRecording(), 0);
    // Two seconds of 8,000 Hz 16-bit mono, give or take a buffer, after the header.
    EXPECT_GT(std::filesystem::file_size(path), 16000u);
}

} // namespace
