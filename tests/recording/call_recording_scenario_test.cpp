// Call recording, voice-mail answering and call notes through the real libtapi32.so on the manual
// clock, with the real notes window offscreen.
#include "support/far_end_audio.h"
#include "support/telephony_scenario.h"

#include "platform/tone.h"
#include "recording/call_recording.h"
#include "settings/app_settings.h"
#include "sound_file.h"
#include "store/recording_path.h"
#include "support/file_size_limit.h"
#include "telephony/call_snapshot.h"
#include "ui/panels/notes_dialog.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <optional>
#include <random>

namespace {

namespace fs = std::filesystem;
using namespace testing_support;

constexpr int kRate = 8000;

void WriteWave(const fs::path& path, const std::vector<std::int16_t>& samples)
{
    ASSERT_TRUE(testing_support::WriteSoundFile(path.string(), samples)) << path;
}

std::vector<fs::path> FilesIn(const std::string& folder)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::string FileText(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

NotesDialog* OpenNotesDialog()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = dynamic_cast<NotesDialog*>(widget); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

// Windows that were closed are deleted once control is back in the event loop.
void DeleteClosedWindows()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class CallRecordingScenario : public TelephonyScenario {
protected:
    void SetUp() override
    {
        TelephonyScenario::SetUp();
        m_appSettings = AppSettings::Read(m_settings, m_dir.Path().string());
        m_recording
            = std::make_unique<CallRecording>(*m_manager, m_appSettings, NotesDialog::Factory(m_prompter));
        m_manager->SetRecordingPort(m_recording.get());
        Start();
    }
    void TearDown() override
    {
        m_manager->CloseAllLines();
        Settle();
        m_recording.reset();
        DeleteClosedWindows();
        TelephonyScenario::TearDown();
    }

    // The greeting and beep files are polled on real time: let the poll timer tick.
    void LetThePollRun()
    {
        QTest::qWait(3 * CallRecording::kPollIntervalMs);
        Settle();
    }

    // A caller rings the line and is answered for voice mail, as the ring handling does it.
    HCALL AnswerForVoiceMail(DWORD line, const char* number, const char* name)
    {
        Ring(line, number, name);
        const HCALL call = OnlyCall(int(line));
        const LONG request = Slot(int(line)).AnswerCall(call);
        EXPECT_GT(request, 0);
        Slot(int(line)).SetPendingAnswerRequest(request);
        Slot(int(line)).SetSetupCall(call, 1);
        return call;
    }

    HCALL ConnectedCall(int slot, const char* number)
    {
        AddDialRule(number, TAPISIM_OUTCOME_ANSWER, 500);
        EXPECT_EQ(Slot(slot).PlaceCall(number, number, "", false), 1);
        Advance(3000);
        return OnlyCall(slot);
    }

    // The far end hangs up; the call model sees it before the clock moves on.
    void HangUp(DWORD line)
    {
        ASSERT_EQ(tapisimHangUp(line), TAPISIM_OK);
        Settle();
    }

    int Act(int action) { return m_manager->GetTargetCallForAction(false, action); }
    bool Offered(int action) { return m_manager->GetTargetCallForAction(true, action) == 1; }

    // The recording of the only logged call of the type, as samples.
    testing_support::SoundFile LoggedRecording(const CallLogEntry& entry)
    {
        return testing_support::ReadSoundFile(RecordingPath::ToLocalFile(entry.recordingPath).string());
    }

    AppSettings m_appSettings;
    std::unique_ptr<CallRecording> m_recording;
};

TEST_F(CallRecordingScenario, VoiceMailCallerHearsTheGreetingAndBeepAndLeavesAnUnheardMessage)
{
    const std::vector<std::int16_t> greeting = Noise(1, 1000);
    const std::vector<std::int16_t> message = Noise(2, 2000);
    WriteWave(m_appSettings.greetingFile, greeting);
    WriteWave(m_dir / "caller.wav", message);
    // A voice-mail caller gets the tone whatever the beep settings say, never the beep file.
    const std::vector<std::int16_t> beep = Noise(10, 300);
    WriteWave(m_appSettings.beepFile, beep);
    m_appSettings.playBeepWhenRecording = 0;
    m_appSettings.playBeepFromFile = 1;

    AnswerForVoiceMail(1, "5559999", "Fay");
    Advance(300); // the answer completes and the greeting starts
    EXPECT_EQ(m_recording->GetRecordingState(1), CallRecordingPort::Starting);
    Advance(1100);
    LetThePollRun();
    EXPECT_TRUE(ContainsPart(Heard(1), greeting, 100, 900)) << "the caller heard the greeting";
    EXPECT_NE(Generated(1).find("tone beep 600"), std::string::npos) << Generated(1);
    EXPECT_EQ(m_recording->GetRecordingState(1), CallRecordingPort::Starting)
        << "recording waits for the tone";
    Advance(700);
    ASSERT_EQ(m_recording->GetRecordingState(1), CallRecordingPort::Recording);
    EXPECT_FALSE(ContainsPart(Heard(1), beep, 20, 280));

    ASSERT_EQ(tapisimSetFarEndWave(1, (m_dir / "caller.wav").c_str()), TAPISIM_OK);
    Advance(2500);
    HangUp(1);
    Advance(1000);

    EXPECT_EQ(m_recording->GetRecordingState(1), CallRecordingPort::Idle);
    const CallLogStore log = LoggedCalls();
    ASSERT_EQ(log.Count(), 1u);
    const CallLogEntry& entry = *log.GetAt(0);
    EXPECT_EQ(entry.TypeCode(), kCallTypeVoicemail);
    EXPECT_EQ(entry.callerName, "Fay");
    EXPECT_TRUE(entry.IsUnheard());
    const fs::path file = RecordingPath::ToLocalFile(entry.recordingPath);
    EXPECT_EQ(FilesIn(m_appSettings.voiceMailFolder), std::vector<fs::path>{ file })
        << "one WAVE file and no temporary file in the voice-mail folder";
    EXPECT_EQ(file.filename().string().rfind("Kes", 0), 0u);
    EXPECT_EQ(file.extension(), ".wav");
    const testing_support::SoundFile recorded = LoggedRecording(entry);
    ASSERT_TRUE(recorded.opened);
    EXPECT_EQ(recorded.rate, kRate);
    EXPECT_TRUE(ContainsPart(recorded.samples, message, 0, 1900)) << "the message is the caller's";
    EXPECT_FALSE(ContainsPart(recorded.samples, greeting, 100, 900)) << "the greeting is not recorded";
}

// The disk fills up in the middle of a voice message: the recording ends at once, the message up
// to then plays, the call is logged with it when the caller hangs up, and the user hears of it once.
TEST_F(CallRecordingScenario, AFullDiskEndsTheVoiceMessageKeepsItPlayableAndTellsTheUserOnce)
{
    const std::vector<std::int16_t> message = Noise(6, 5000);
    WriteWave(m_dir / "caller.wav", message);
    AnswerForVoiceMail(1, "5557777", "Gil");
    Advance(300); // the answer completes; with no greeting file the tone follows at once
    Advance(700);
    ASSERT_EQ(m_recording->GetRecordingState(1), CallRecordingPort::Recording);
    ASSERT_EQ(tapisimSetFarEndWave(1, (m_dir / "caller.wav").c_str()), TAPISIM_OK);
    {
        testing_support::FileSizeLimit fullDisk(40000); // about 2.5 s of a voice message
        Advance(4500);
    }
    // The failure reaches the window thread, and the message the user, through the event loop.
    QTest::qWait(50);
    EXPECT_EQ(m_recording->GetRecordingState(1), CallRecordingPort::Idle) << "the recording stopped";
    ASSERT_EQ(m_prompter.messages.size(), 1u);
    const std::string told = m_prompter.messages[0].text;
    EXPECT_NE(told.find("disk may be full"), std::string::npos) << told;
    Advance(2000);
    HangUp(1);
    Advance(1000);
    EXPECT_EQ(m_prompter.messages.size(), 1u) << "told once";

    const CallLogStore log = LoggedCalls();
    ASSERT_EQ(log.Count(), 1u);
    const CallLogEntry& entry = *log.GetAt(0);
    EXPECT_EQ(entry.TypeCode(), kCallTypeVoicemail);
    EXPECT_EQ(entry.callerName, "Gil");
    EXPECT_TRUE(entry.IsUnheard());
    const fs::path file = RecordingPath::ToLocalFile(entry.recordingPath);
    EXPECT_NE(told.find(file.string()), std::string::npos) << told;
    EXPECT_EQ(FilesIn(m_appSettings.voiceMailFolder), std::vector<fs::path>{ file }) << "no marker is left";
    const testing_support::SoundFile recorded = LoggedRecording(entry);
    ASSERT_TRUE(recorded.opened);
    EXPECT_GT(recorded.frames, 8000);
    EXPECT_LE(fs::file_size(file), 40000u);
    EXPECT_TRUE(ContainsPart(recorded.samples, message, 0, 900)) << "the message is the caller's";
}

struct WarningCase {
    const char* name;
    int beepWhenRecording;
    int beepFromFile;
};

void PrintTo(const WarningCase& warning, std::ostream* out)
{
    *out << warning.name;
}

class RecordedCallWarning : public CallRecordingScenario,
                            public ::testing::WithParamInterface<WarningCase> { };

// "Record call" on a connected call: the warning as the settings say (read while the program runs),
// then one recording of the far end in the call recordings folder, logged with the call.
TEST_P(RecordedCallWarning, RecordCallWarnsAsSetThenRecordsTheFarEnd)
{
    const WarningCase warning = GetParam();
    m_appSettings.playBeepWhenRecording = warning.beepWhenRecording;
    m_appSettings.playBeepFromFile = warning.beepFromFile;
    const std::vector<std::int16_t> beep = Noise(3, 300);
    WriteWave(m_appSettings.beepFile, beep);
    const std::vector<std::int16_t> farEnd = Noise(4, 1500);
    WriteWave(m_dir / "far.wav", farEnd);

    ConnectedCall(0, "5551234");
    tapisimClearHeard(0);
    ASSERT_TRUE(Offered(kActionRecord));
    ASSERT_EQ(Act(kActionRecord), 1);
    if (warning.beepWhenRecording == 0) {
        EXPECT_EQ(m_recording->GetRecordingState(0), CallRecordingPort::Recording) << "no beep: at once";
    } else if (warning.beepFromFile == 0) {
        EXPECT_NE(Generated(0).find("tone beep 600"), std::string::npos) << Generated(0);
        EXPECT_EQ(m_recording->GetRecordingState(0), CallRecordingPort::Starting);
        Advance(700);
    } else {
        Advance(400);
        LetThePollRun();
        EXPECT_TRUE(ContainsPart(Heard(0), beep, 20, 280)) << "the beep file went down the line";
    }
    ASSERT_EQ(m_recording->GetRecordingState(0), CallRecordingPort::Recording);
    EXPECT_EQ(Generated(0).empty(), warning.beepWhenRecording == 0 || warning.beepFromFile != 0)
        << Generated(0);
    EXPECT_FALSE(Offered(kActionRecord)) << "a recording call is not offered for recording";
    EXPECT_TRUE(Offered(kActionPauseRecording));

    ASSERT_EQ(tapisimSetFarEndWave(0, (m_dir / "far.wav").c_str()), TAPISIM_OK);
    Advance(2000);
    ASSERT_EQ(Act(kActionDrop), 1);
    Advance(1000);

    const CallLogStore log = LoggedCalls();
    ASSERT_EQ(log.Count(), 1u);
    EXPECT_EQ(log.GetAt(0)->TypeCode(), kCallTypeOutgoing);
    const fs::path file = RecordingPath::ToLocalFile(log.GetAt(0)->recordingPath);
    EXPECT_EQ(FilesIn(m_appSettings.callRecordingsFolder), std::vector<fs::path>{ file });
    const testing_support::SoundFile recorded = LoggedRecording(*log.GetAt(0));
    EXPECT_TRUE(ContainsPart(recorded.samples, farEnd, 0, 1400));
    EXPECT_TRUE(FilesIn(m_appSettings.voiceMailFolder).empty());
}

INSTANTIATE_TEST_SUITE_P(Settings, RecordedCallWarning,
    ::testing::Values(
        WarningCase{ "Tone", 1, 0 }, WarningCase{ "NoBeep", 0, 0 }, WarningCase{ "BeepFile", 1, 1 }),
    [](const ::testing::TestParamInfo<WarningCase>& info) { return info.param.name; });

TEST_F(CallRecordingScenario, PauseAndResumeKeepOneFileWithoutThePausedPart)
{
    m_appSettings.playBeepWhenRecording = 0;
    const std::vector<std::int16_t> farEnd = Noise(5, 3500);
    WriteWave(m_dir / "far.wav", farEnd);
    ConnectedCall(2, "5552222");
    ASSERT_EQ(Act(kActionRecord), 1);
    ASSERT_EQ(tapisimSetFarEndWave(2, (m_dir / "far.wav").c_str()), TAPISIM_OK);
    Advance(1000);
    ASSERT_EQ(Act(kActionPauseRecording), 1);
    EXPECT_EQ(m_recording->GetRecordingState(2), CallRecordingPort::Paused);
    EXPECT_TRUE(Offered(kActionRecord)) << "a paused recording is offered for resuming";
    Advance(1000);
    ASSERT_EQ(Act(kActionRecord), 1);
    EXPECT_EQ(m_recording->GetRecordingState(2), CallRecordingPort::Recording);
    Advance(1000);
    HangUp(2);
    Advance(1000);

    ASSERT_EQ(FilesIn(m_appSettings.callRecordingsFolder).size(), 1u);
    const testing_support::SoundFile recorded = LoggedRecording(*LoggedCalls().GetAt(0));
    EXPECT_NEAR(double(recorded.frames), 2.0 * kRate, 0.1 * kRate) << "two of the three seconds";

    EXPECT_TRUE(ContainsPart(recorded.samples, farEnd, 100, 900));
    EXPECT_FALSE(ContainsPart(recorded.samples, farEnd, 1200, 1800)) << "nothing of the pause";
    EXPECT_TRUE(ContainsPart(recorded.samples, farEnd, 2200, 2900));
}

// Holding the call pauses its recording and taking it back resumes it: one file without the held
// part, logged with the call.
TEST_F(CallRecordingScenario, HoldPausesTheRecordingUntilTheCallIsTakenBack)
{
    m_appSettings.playBeepWhenRecording = 0;
    const HCALL call = ConnectedCall(3, "5553333");
    ASSERT_EQ(tapisimSetFarEndTone(3, 1000, -10), TAPISIM_OK);
    ASSERT_EQ(Act(kActionRecord), 1);
    Advance(1000);
    ASSERT_EQ(m_manager->RunAction(kActionHold, { call, 3 }), 1);
    Advance(100);
    EXPECT_EQ(m_recording->GetRecordingState(3), CallRecordingPort::Paused);
    EXPECT_FALSE(Offered(kActionRecord)) << "a held call is not recorded";
    Advance(900);
    ASSERT_EQ(m_manager->RunAction(kActionHold, { call, 3 }), 1);
    Advance(100);
    EXPECT_EQ(m_recording->GetRecordingState(3), CallRecordingPort::Recording);
    Advance(900);
    HangUp(3);
    Advance(1000);

    ASSERT_EQ(FilesIn(m_appSettings.callRecordingsFolder).size(), 1u);
    const testing_support::SoundFile recorded = LoggedRecording(*LoggedCalls().GetAt(0));
    EXPECT_NEAR(double(recorded.frames), 2.0 * kRate, 0.15 * kRate) << "the held second is left out";
}

// With auto-record on, a waiting call answered while the first is held gets a recording of its
// own; the held call's recording waits and goes on when the call is taken back (which holds the
// other). Each call is logged with its own file, which holds only its own far end.
TEST_F(CallRecordingScenario, EachCallOfALineKeepsItsOwnRecordingThroughHoldAndAWaitingCall)
{
    m_appSettings.playBeepWhenRecording = 0;
    m_settings.Write(Settings::kAutoRecordCalls, 1);
    // The program sees a call's new state once the clock stops: small steps keep what the line
    // carries meanwhile from landing in the other call's file.
    const auto advanceFinely = [this](DWORD ms) {
        for (DWORD step = 0; step < ms; step += 10)
            Advance(10);
    };
    ASSERT_EQ(tapisimSetFarEndTone(3, 1000, -10), TAPISIM_OK);
    const HCALL first = ConnectedCall(3, "5553333");
    EXPECT_EQ(m_recording->GetRecordingCall(3), first);
    Advance(1000);
    Ring(3, "5558888", "Ringer");
    const HCALL waiting = Slot(3).FindOfferingCall();
    ASSERT_NE(waiting, 0u);
    CallSnapshot snapshot;
    ASSERT_TRUE(snapshot.Fetch(m_tapi, waiting));
    ASSERT_EQ(tapisimSetCallFarEndTone(3, snapshot.Info().dwCallID, 1500, -10), TAPISIM_OK);
    ASSERT_EQ(Act(kActionAnswer), 1);
    advanceFinely(500);
    ASSERT_TRUE(m_manager->IsOnHold({ first, 3 }));
    EXPECT_EQ(m_recording->GetRecordingCall(3), waiting);
    EXPECT_EQ(m_recording->GetRecordingState(3), CallRecordingPort::Recording);
    EXPECT_TRUE(m_recording->HasSetAsideRecording(3, first));
    CallDescription shown;
    ASSERT_TRUE(Slot(3).DescribeCall(waiting, shown));
    EXPECT_EQ(shown.text, "Ringer,5558888 (Recording)");
    Advance(1000);

    ASSERT_EQ(m_manager->RunAction(kActionHold, { first, 3 }), 1);
    advanceFinely(500);
    ASSERT_TRUE(m_manager->IsOnHold({ waiting, 3 }));
    EXPECT_EQ(m_recording->GetRecordingCall(3), first);
    EXPECT_EQ(m_recording->GetRecordingState(3), CallRecordingPort::Recording);
    EXPECT_TRUE(m_recording->HasSetAsideRecording(3, waiting));
    Advance(1000);
    EXPECT_EQ(Slot(3).DropAllCalls(), 1);
    advanceFinely(1000);
    EXPECT_FALSE(m_recording->HasSetAsideRecording(3, waiting));

    const CallLogStore log = LoggedCalls();
    ASSERT_EQ(log.Count(), 2u);
    ASSERT_EQ(FilesIn(m_appSettings.callRecordingsFolder).size(), 2u);
    for (std::size_t i = 0; i < log.Count(); ++i) {
        const CallLogEntry& entry = *log.GetAt(i);
        const bool isFirst = entry.number == "5553333";
        ASSERT_FALSE(entry.recordingPath.empty()) << entry.number;
        const testing_support::SoundFile sound = LoggedRecording(entry);
        // The first call: a second before the hold and one and a half after it; the waiting one:
        // from its answer until it was held.
        EXPECT_NEAR(double(sound.frames), (isFirst ? 2.5 : 1.5) * kRate, 0.25 * kRate) << entry.number;
        const std::vector<std::int16_t>& heard = sound.samples;
        EXPECT_GT(ToneShare(heard, 0, heard.size(), isFirst ? 1000 : 1500), 0.9) << entry.number;
        EXPECT_LT(ToneShare(heard, 0, heard.size(), isFirst ? 1500 : 1000), 0.02)
            << entry.number << ": nothing of the other call";
    }
}

// A recorded call that becomes a conference records the mixed audio of both parties, but not the
// private consultation before the join: one file, logged with the first party.
TEST_F(CallRecordingScenario, ConferenceRecordsTheMixedAudioOfItsParties)
{
    m_appSettings.playBeepWhenRecording = 0;
    const HCALL first = ConnectedCall(3, "5553333");
    ASSERT_EQ(tapisimSetFarEndTone(3, 1000, -10), TAPISIM_OK);
    ASSERT_EQ(Act(kActionRecord), 1);
    Advance(1000);
    AddDialRule("5550199", TAPISIM_OUTCOME_ANSWER, 500);
    ASSERT_TRUE(m_manager->ConferenceCall({ first, 3 }, "5550199"));
    Advance(100);
    EXPECT_EQ(m_recording->GetRecordingState(3), CallRecordingPort::Paused) << "the consultation is private";
    HCALL conference = 0, second = 0;
    for (int i = 0; i < LineSlot::kMaxCalls; ++i) {
        const HCALL call = Slot(3).CallAt(i).call;
        if (call != 0 && call != first)
            (Slot(3).FirstPartyOf(call) != 0 ? conference : second) = call;
    }
    ASSERT_NE(conference, 0u);
    ASSERT_NE(second, 0u);
    CallSnapshot snapshot;
    ASSERT_TRUE(snapshot.Fetch(m_tapi, second));
    ASSERT_EQ(tapisimSetCallFarEndTone(3, snapshot.Info().dwCallID, 1500, -10), TAPISIM_OK);
    Advance(3000);
    ASSERT_TRUE(m_manager->ConferenceCall({}, ""));
    Advance(100);
    EXPECT_EQ(m_recording->GetRecordingState(3), CallRecordingPort::Recording);
    EXPECT_EQ(m_recording->GetRecordingCall(3), first);
    Advance(2000);
    Slot(3).DropCall(conference);
    Settle();
    Advance(1000);
    EXPECT_EQ(m_recording->GetRecordingState(3), CallRecordingPort::Idle);

    const CallLogStore log = LoggedCalls();
    ASSERT_EQ(log.Count(), 2u);
    const std::size_t recorded = log.GetAt(0)->recordingPath.empty() ? 1 : 0;
    EXPECT_EQ(log.GetAt(recorded)->number, "5553333");
    EXPECT_EQ(log.GetAt(recorded)->type, kCallTypeConference);
    EXPECT_TRUE(log.GetAt(1 - recorded)->recordingPath.empty()) << "one file, named by one entry";
    ASSERT_EQ(FilesIn(m_appSettings.callRecordingsFolder).size(), 1u);
    const testing_support::SoundFile sound = LoggedRecording(*log.GetAt(recorded));
    EXPECT_NEAR(double(sound.frames), 3.2 * kRate, 0.25 * kRate) << "the consultation is left out";
    const std::size_t second8k = kRate;
    EXPECT_GT(ToneShare(sound.samples, second8k / 5, second8k / 2, 1000), 0.8);
    EXPECT_LT(ToneShare(sound.samples, second8k / 5, second8k / 2, 1500), 0.05) << "only the first party yet";
    const std::size_t mixed = sound.samples.size() - 3 * second8k / 2;
    EXPECT_GT(ToneShare(sound.samples, mixed, second8k, 1000), 0.4);
    EXPECT_GT(ToneShare(sound.samples, mixed, second8k, 1500), 0.4) << "both parties are heard";
}

TEST_F(CallRecordingScenario, NoteIsSavedEmptiedCancelledAndDeleted)
{
    const HCALL call = ConnectedCall(2, "5552468");
    const auto notePath = [&] { return Slot(2).CallAt(Slot(2).IndexOfCall(call)).notesPath; };
    const auto openNotes = [&] {
        EXPECT_EQ(Act(kActionAddNote), 1);
        return OpenNotesDialog();
    };

    NotesDialog* dialog = openNotes();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Notes");
    EXPECT_FALSE(Offered(kActionAddNote)) << "one notes window per call";
    QTest::keyClicks(dialog->Editor(), "Call back Tuesday");
    const int updates = m_window.updates;
    dialog->OkButton()->click();
    DeleteClosedWindows();
    EXPECT_EQ(m_window.updates, updates + 1) << "the main window shows the call's note";
    const std::string saved = notePath();
    EXPECT_EQ(fs::path(saved).parent_path(), fs::path(m_appSettings.callRecordingsFolder));
    EXPECT_EQ(fs::path(saved).extension(), ".txt");
    EXPECT_EQ(FileText(saved), "Call back Tuesday");
    EXPECT_EQ(OpenNotesDialog(), nullptr);

    dialog = openNotes();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->Note(), "Call back Tuesday");
    m_prompter.answers = { true };
    dialog->ClearButton()->click();
    EXPECT_EQ(dialog->Note(), "");
    dialog->CancelButton()->click();
    DeleteClosedWindows();
    EXPECT_EQ(FileText(saved), "Call back Tuesday") << "Clear saves nothing; Cancel keeps the file";

    dialog = openNotes();
    ASSERT_NE(dialog, nullptr);
    dialog->Editor()->clear();
    dialog->OkButton()->click();
    DeleteClosedWindows();
    EXPECT_FALSE(fs::exists(saved)) << "a note saved empty is removed";
    EXPECT_EQ(notePath(), "");

    dialog = openNotes();
    ASSERT_NE(dialog, nullptr);
    QTest::keyClicks(dialog->Editor(), "never mind");
    dialog->CancelButton()->click();
    DeleteClosedWindows();
    EXPECT_EQ(notePath(), "") << "a cancelled new note leaves no empty file behind";
    EXPECT_TRUE(FilesIn(m_appSettings.callRecordingsFolder).empty());

    dialog = openNotes();
    ASSERT_NE(dialog, nullptr);
    QTest::keyClicks(dialog->Editor(), "Wrong number");
    dialog->OkButton()->click();
    DeleteClosedWindows();
    dialog = openNotes();
    ASSERT_NE(dialog, nullptr);
    m_prompter.answers = { true };
    dialog->DeleteButton()->click();
    DeleteClosedWindows();
    EXPECT_EQ(m_prompter.questions.back().text, "Are you sure you want to delete this note ?");
    EXPECT_EQ(notePath(), "");
    EXPECT_TRUE(FilesIn(m_appSettings.callRecordingsFolder).empty()) << "Delete removes the note file";

    dialog = openNotes();
    ASSERT_NE(dialog, nullptr);
    QTest::keyClicks(dialog->Editor(), "Kept");
    dialog->OkButton()->click();
    dialog = openNotes();
    ASSERT_NE(dialog, nullptr);
    HangUp(2);
    Advance(1000);
    DeleteClosedWindows();
    EXPECT_EQ(OpenNotesDialog(), nullptr) << "the window closes when its call ends";
    const CallLogStore log = LoggedCalls();
    ASSERT_EQ(log.Count(), 1u);
    EXPECT_EQ(FileText(log.GetAt(0)->note), "Kept");
}

TEST_F(CallRecordingScenario, CallerWhoHangsUpDuringTheGreetingOrTheBeepLeavesNoRecording)
{
    WriteWave(m_appSettings.greetingFile, Noise(6, 2000));
    AnswerForVoiceMail(1, "5550001", "Early");
    Advance(300);
    Advance(700);
    ASSERT_EQ(m_recording->GetRecordingState(1), CallRecordingPort::Starting);
    HangUp(1);
    EXPECT_EQ(m_recording->GetRecordingState(1), CallRecordingPort::Idle) << "the greeting stops at once";
    Advance(1500);
    LetThePollRun();
    Advance(1000);
    EXPECT_EQ(Generated(1).find("tone"), std::string::npos) << "no tone on a cleared call: " << Generated(1);
    EXPECT_EQ(m_recording->GetRecordingState(1), CallRecordingPort::Idle);

    // Without a greeting file the tone comes at once; the caller hangs up during it.
    fs::remove(m_appSettings.greetingFile);
    AnswerForVoiceMail(3, "5550002", "Quick");
    Advance(500);
    ASSERT_NE(Generated(3).find("tone beep 600"), std::string::npos) << Generated(3);
    HangUp(3);
    Advance(1500);
    EXPECT_EQ(m_recording->GetRecordingState(3), CallRecordingPort::Idle);

    EXPECT_TRUE(FilesIn(m_appSettings.voiceMailFolder).empty()) << "no empty recording";
    const CallLogStore log = LoggedCalls();
    ASSERT_EQ(log.Count(), 2u);
    for (std::size_t i = 0; i < log.Count(); ++i)
        EXPECT_EQ(log.GetAt(i)->recordingPath, "") << log.GetAt(i)->callerName;

    const HCALL next = AnswerForVoiceMail(1, "5550003", "Patient");
    Advance(1000);
    Advance(700);
    EXPECT_EQ(m_recording->GetRecordingState(1), CallRecordingPort::Recording) << "the line records again";
    EXPECT_EQ(m_recording->GetRecordingCall(1), next);
}

TEST_F(CallRecordingScenario, TwoVoiceMailCallsAtOnceAreBothGreetedAndRecorded)
{
    const std::vector<std::int16_t> greeting = Noise(7, 1000);
    WriteWave(m_appSettings.greetingFile, greeting);
    const std::vector<std::int16_t> first = Noise(8, 1500), second = Noise(9, 1500);
    WriteWave(m_dir / "first.wav", first);
    WriteWave(m_dir / "second.wav", second);

    // The answers complete 300 ms apart, so the second greeting starts while the first plays.
    AnswerForVoiceMail(0, "5551111", "Ann");
    Advance(300);
    AnswerForVoiceMail(4, "5554444", "Bob");
    Advance(300);
    EXPECT_EQ(m_recording->GetRecordingState(0), CallRecordingPort::Starting);
    EXPECT_EQ(m_recording->GetRecordingState(4), CallRecordingPort::Starting);
    Advance(1100);
    LetThePollRun();
    Advance(700);
    for (DWORD line : { 0u, 4u }) {
        EXPECT_TRUE(ContainsPart(Heard(line), greeting, 100, 900)) << "line " << line;
        EXPECT_NE(Generated(line).find("tone beep 600"), std::string::npos) << "line " << line;
        EXPECT_EQ(m_recording->GetRecordingState(int(line)), CallRecordingPort::Recording) << "line " << line;
    }
    ASSERT_EQ(tapisimSetFarEndWave(0, (m_dir / "first.wav").c_str()), TAPISIM_OK);
    ASSERT_EQ(tapisimSetFarEndWave(4, (m_dir / "second.wav").c_str()), TAPISIM_OK);
    Advance(2000);
    HangUp(0);
    HangUp(4);
    Advance(1000);

    const CallLogStore log = LoggedCalls();
    ASSERT_EQ(log.Count(), 2u);
    EXPECT_EQ(FilesIn(m_appSettings.voiceMailFolder).size(), 2u);
    for (std::size_t i = 0; i < log.Count(); ++i) {
        const CallLogEntry& entry = *log.GetAt(i);
        EXPECT_EQ(entry.TypeCode(), kCallTypeVoicemail);
        EXPECT_TRUE(entry.IsUnheard());
        const std::vector<std::int16_t>& message = entry.callerName == "Ann" ? first : second;
        EXPECT_TRUE(ContainsPart(LoggedRecording(entry).samples, message, 0, 1400)) << entry.callerName;
    }
}

// A folder too long for a file name fails the recording or the note cleanly.
TEST_F(CallRecordingScenario, FolderTooLongForTheFileNameRecordsNothing)
{
    m_appSettings.playBeepWhenRecording = 0;
    // "<folder>/Kes" + up to 4 digits + ".wav": beyond the recorder's 247 bytes, within a note's 259.
    std::string deep = m_dir.Path().string();
    deep += "/" + std::string(std::max<std::size_t>(1, 239 - deep.size()), 'd');
    ASSERT_TRUE(fs::create_directory(deep));
    ASSERT_EQ(deep.size(), 240u);
    m_appSettings.callRecordingsFolder = deep;
    const HCALL call = ConnectedCall(0, "5557777");

    ASSERT_EQ(Act(kActionRecord), 1);
    EXPECT_EQ(m_recording->GetRecordingState(0), CallRecordingPort::Idle);
    EXPECT_TRUE(Offered(kActionRecord)) << "the call can be recorded once the folder is fixed";
    ASSERT_EQ(Act(kActionAddNote), 1);
    NotesDialog* dialog = OpenNotesDialog();
    ASSERT_NE(dialog, nullptr) << "a note name still fits";
    dialog->CancelButton()->click();
    DeleteClosedWindows();

    m_appSettings.callRecordingsFolder = deep + "/" + std::string(20, 'e');
    EXPECT_EQ(Act(kActionAddNote), 0);
    EXPECT_EQ(OpenNotesDialog(), nullptr);
    EXPECT_TRUE(FilesIn(deep).empty());
    EXPECT_EQ(Slot(0).CallAt(Slot(0).IndexOfCall(call)).recordingPath, "");
}

} // namespace
