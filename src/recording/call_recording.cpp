#include "recording/call_recording.h"

#include "platform/kernel.h"
#include "settings/app_settings.h"
#include "settings/prompter.h"
#include "store/text_limit.h"
#include "store/unlogged_recording.h"
#include "telephony/call_logger.h"
#include "telephony/call_snapshot.h"
#include "telephony/main_window_link.h"
#include "telephony/tapi_binding.h"
#include "telephony/tapi_block.h"

#include <QCoreApplication>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <utility>

namespace {

// Recordings and notes are named "Kes" and a unique number, like the system's temporary files,
// with their own ending; an older file of the same name is never reused or overwritten.
constexpr std::string_view kFilePrefix = "Kes";
constexpr std::string_view kRecordingExtension = "wav";
constexpr std::string_view kNoteExtension = "txt";

// Reads a note: at most the note limit, never ending inside a character. A few bytes more are read
// so that a character across the limit is seen whole and left out.
bool IsEmptyFile(const std::string& path)
{
    std::error_code error;
    return std::filesystem::file_size(path, error) == 0 && !error;
}

void RemoveFile(const std::string& path)
{
    std::error_code error;
    std::filesystem::remove(path, error);
}

bool FileExists(const std::string& path)
{
    std::error_code error;
    return std::filesystem::exists(path, error);
}

// A recording file that is given up goes with its marker.
void RemoveRecording(const std::string& path)
{
    RemoveFile(path);
    UnloggedRecording::Unmark(path);
}

std::string WriteFailureText(const std::string& path, bool kept)
{
    if (kept)
        return QCoreApplication::translate("CallRecording",
            "Kestrium could not write a recording: the disk may be full, or its folder is gone. The "
            "recording was stopped; what was recorded until then is kept in:\n%1")
            .arg(QString::fromStdString(path))
            .toStdString();
    return QCoreApplication::translate("CallRecording",
        "Kestrium could not write a recording: the disk may be full, or its folder is gone. The call is "
        "not recorded. The folder is:\n%1")
        .arg(QString::fromStdString(std::filesystem::path(path).parent_path().string()))
        .toStdString();
}

} // namespace

CallRecording::CallRecording(
    LineManager& manager, const AppSettings& settings, NotesWindowFactory notesFactory)
    : m_manager(manager)
    , m_settings(settings)
    , m_notesFactory(std::move(notesFactory))
{
    m_pollTimer.setInterval(kPollIntervalMs);
    QObject::connect(&m_pollTimer, &QTimer::timeout, [this] { Poll(); });
}

CallRecording::~CallRecording()
{
    if (&m_manager.Recording() == this)
        m_manager.SetRecordingPort(nullptr);
    for (int slot = 0; slot < LineManager::kSlotCount; ++slot) {
        StopCallRecording(slot);
        while (!m_slots[slot].setAside.empty())
            StopSetAsideRecording(slot, m_slots[slot].setAside.front().call);
        Line(slot).GetRecorder().SetWriteFailureHandler(nullptr);
        for (NotesEntry& entry : m_slots[slot].notes)
            entry.window.reset();
    }
}

int CallRecording::GetRecordingState(int slot) const
{
    return m_slots[slot].state;
}

HCALL CallRecording::GetRecordingCall(int slot) const
{
    const SlotState& s = m_slots[slot];
    return s.state == Starting ? s.startingCall : s.recordingCall;
}

HCALL CallRecording::GetNotesCall(int slot) const
{
    return m_slots[slot].notesCall;
}

bool CallRecording::HasNotesDialog(int slot, HCALL call) const
{
    return NotesIndex(slot, call) >= 0;
}

bool CallRecording::IsConnected(HCALL call) const
{
    if (call == 0)
        return false;
    TapiBlock<LINECALLSTATUS> status(CallSnapshot::kStatusSize);
    return m_manager.Tapi().lineGetCallStatus(call, status.Get()) == 0
        && status->dwCallState == LINECALLSTATE_CONNECTED;
}

// A voice-mail call's files go to the voice-mail folder, every other call's to the call recordings.
std::string CallRecording::ReadNoteFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::string text(kMaxNoteLength + 3, '\0');
    file.read(text.data(), std::streamsize(text.size()));
    text.resize(std::size_t(std::max<std::streamsize>(file.gcount(), 0)));
    return std::string(CutToLimit(text, kMaxNoteLength));
}

bool CallRecording::CreateNoteFile(const std::string& folder, std::string& path)
{
    return platform::CreateUniqueFile(folder, kFilePrefix, kNoteExtension, path, CallRecord::kMaxPathLength);
}

const std::string& CallRecording::FolderFor(int slot, HCALL call) const
{
    const LineSlot& line = Line(slot);
    const bool voiceMail = line.GetVoiceMailFlag() != 0 && call == line.GetSetupCall();
    return voiceMail ? m_settings.voiceMailFolder : m_settings.callRecordingsFolder;
}

// ---- voice mail, warning and capture ----

// A caller who hung up before the answer completed gets no greeting.
void CallRecording::AnswerForVoiceMail(int slot, HCALL call)
{
    SlotState& s = m_slots[slot];
    if (s.state != Idle || !IsConnected(call))
        return;
    Line(slot).SetSetupCall(call, 1);
    s.state = Starting;
    s.startingCall = call;
    if (!PlayDownTheLine(slot, m_settings.greetingFile, PlayPurpose::Greeting))
        StartWarning(slot, call, 1);
}

int CallRecording::StartCallRecording(int slot, HCALL call, int voiceMail)
{
    SlotState& s = m_slots[slot];
    if (s.state != Idle && s.recordingCall == call)
        return s.state == Paused ? ResumeCallRecording(slot) : 0;
    if (s.state == Starting || Line(slot).IndexOfCall(call) < 0 || IsTakingMessage(slot))
        return 0;
    if (s.state != Idle && !SetAside(slot))
        return 0;
    if (HasSetAsideRecording(slot, call))
        return TakeBack(slot, call);
    Line(slot).SetSetupCall(call, voiceMail);
    s.state = Starting;
    s.startingCall = call;
    StartWarning(slot, call, voiceMail);
    return 1;
}

// A voice-mail caller always gets the tone. A tone the line refuses is skipped like a beep file
// that cannot play: the recording follows at once instead of never starting.
void CallRecording::StartWarning(int slot, HCALL call, int voiceMail)
{
    if (voiceMail == 0 && m_settings.playBeepWhenRecording == 0) {
        BeginCapture(slot, call);
        return;
    }
    if (voiceMail == 0 && m_settings.playBeepFromFile != 0) {
        if (!PlayDownTheLine(slot, m_settings.beepFile, PlayPurpose::BeepFile))
            BeginCapture(slot, call);
        return;
    }
    if (m_manager.Tapi().lineGenerateTone(call, LINETONEMODE_BEEP, kBeepToneMs, 0, nullptr) == 0)
        m_slots[slot].toneCall = call;
    else
        BeginCapture(slot, call);
}

// Plays a file from its start on the line's wave-out device; false when the line has none or the
// file cannot be measured or played.
bool CallRecording::PlayDownTheLine(int slot, const std::string& path, PlayPurpose purpose)
{
    LineSlot& line = Line(slot);
    if (line.GetWaveOutDeviceId() < 0)
        return false;
    WaveRecorder& player = line.GetRecorder();
    std::uint32_t length = 0;
    if (!player.GetFileLength(path.c_str(), &length).Ok()
        || !player.Play(path.c_str(), 0, std::int16_t(line.GetWaveOutDeviceId())).Ok())
        return false;
    SlotState& s = m_slots[slot];
    s.purpose = purpose;
    s.fileLength = length;
    if (!m_pollTimer.isActive())
        m_pollTimer.start();
    return true;
}

void CallRecording::Poll()
{
    bool playing = false;
    for (int slot = 0; slot < LineManager::kSlotCount; ++slot) {
        if (m_slots[slot].purpose != PlayPurpose::None)
            PollSlot(slot);
        playing = playing || m_slots[slot].purpose != PlayPurpose::None;
    }
    if (!playing)
        m_pollTimer.stop();
}

// A player that cannot tell its position any more has nothing left to play either.
void CallRecording::PollSlot(int slot)
{
    SlotState& s = m_slots[slot];
    WaveRecorder& player = Line(slot).GetRecorder();
    std::uint32_t position = 0;
    if (player.GetPosition(&position).Ok() && position < s.fileLength)
        return;
    player.ClosePlayback();
    const PlayPurpose purpose = std::exchange(s.purpose, PlayPurpose::None);
    if (purpose == PlayPurpose::Greeting)
        StartWarning(slot, s.startingCall, 1);
    else
        BeginCapture(slot, s.startingCall);
}

bool CallRecording::OnToneDone(HCALL call)
{
    for (int slot = 0; slot < LineManager::kSlotCount; ++slot) {
        if (call != 0 && m_slots[slot].toneCall == call) {
            m_slots[slot].toneCall = 0;
            BeginCapture(slot, call);
            return true;
        }
    }
    return false;
}

// A failed start ends the sequence, so the slot can record again.
int CallRecording::BeginCapture(int slot, HCALL call)
{
    SlotState& s = m_slots[slot];
    if (s.state == Paused)
        return ResumeCallRecording(slot);
    if (s.state != Idle && s.state != Starting)
        return 0;
    if (Capture(slot, call))
        return 1;
    CancelWarning(slot);
    return 0;
}

// A capture file that cannot be started is removed again, so no empty recording is left behind.
bool CallRecording::Capture(int slot, HCALL call)
{
    LineSlot& line = Line(slot);
    if (line.IndexOfCall(call) < 0 || !IsConnected(call) || line.GetWaveInDeviceId() < 0)
        return false;
    std::string path;
    if (!platform::CreateUniqueFile(
            FolderFor(slot, call), kFilePrefix, kRecordingExtension, path, WaveRecorder::kMaxTargetPath))
        return false;
    m_manager.Logger().MarkRecording(line, call, path);
    WaveRecorder& recorder = line.GetRecorder();
    recorder.SetWriteFailureHandler([this, slot] {
        QMetaObject::invokeMethod(
            &m_pollTimer, [this, slot] { OnWriteFailed(slot); }, Qt::QueuedConnection);
    });
    if (const AudioResult started
        = recorder.StartRecording(path.c_str(), std::int16_t(line.GetWaveInDeviceId()));
        !started.Ok()) {
        RemoveRecording(path);
        if (started == AudioResult::Platform(MMIOERR_CANNOTWRITE))
            ReportWriteFailure(path, false);
        return false;
    }
    // Only the call's latest recording is logged with it: an earlier one is no longer waiting.
    if (const std::string& earlier = line.CallAt(line.IndexOfCall(call)).recordingPath; !earlier.empty())
        UnloggedRecording::Unmark(earlier);
    line.SetCallPaths(call, &path, nullptr);
    SlotState& s = m_slots[slot];
    s.state = Recording;
    s.recordingCall = call;
    s.recordingPath = path;
    s.startingCall = s.toneCall = 0;
    return true;
}

int CallRecording::PauseCallRecording(int slot)
{
    SlotState& s = m_slots[slot];
    if (s.state != Recording || !Line(slot).GetRecorder().Pause(WaveRecorder::kCaptureTarget).Ok())
        return 0;
    s.state = Paused;
    return 1;
}

int CallRecording::ResumeCallRecording(int slot)
{
    SlotState& s = m_slots[slot];
    if (s.state != Paused || !Line(slot).GetRecorder().Resume(WaveRecorder::kCaptureTarget).Ok())
        return 0;
    s.state = Recording;
    return 1;
}

int CallRecording::StopCallRecording(int slot)
{
    switch (m_slots[slot].state) {
    case Recording:
    case Paused:
        FinishRecording(slot);
        return 1;
    case Starting:
        CancelWarning(slot);
        return 1;
    default:
        return 0;
    }
}

namespace {

std::uintptr_t RecorderKey(HCALL call)
{
    return std::uintptr_t(call);
}

} // namespace

// A caller's voice message is never set aside: it ends with the caller.
bool CallRecording::IsTakingMessage(int slot) const
{
    const LineSlot& line = Line(slot);
    return m_slots[slot].state != Idle && line.GetVoiceMailFlag() != 0
        && line.GetSetupCall() == m_slots[slot].recordingCall;
}

// The recording under way or paused waits, its file open, for its call to be recorded again.
bool CallRecording::SetAside(int slot)
{
    SlotState& s = m_slots[slot];
    if (!Line(slot).GetRecorder().SetAsideRecording(RecorderKey(s.recordingCall)).Ok())
        return false;
    s.setAside.push_back({ s.recordingCall, std::exchange(s.recordingPath, std::string()) });
    s.state = Idle;
    s.recordingCall = 0;
    return true;
}

// A recording that cannot go on is finished with what it holds.
int CallRecording::TakeBack(int slot, HCALL call)
{
    SlotState& s = m_slots[slot];
    const auto found = std::find_if(s.setAside.begin(), s.setAside.end(),
        [call](const SetAsideRecording& entry) { return entry.call == call; });
    s.recordingPath = found->path;
    s.setAside.erase(found);
    s.recordingCall = call;
    s.state = Paused;
    Line(slot).SetSetupCall(call, 0);
    if (Line(slot).GetRecorder().TakeBackRecording(RecorderKey(call)).Ok()) {
        s.state = Recording;
        return 1;
    }
    FinishRecording(slot);
    return 0;
}

bool CallRecording::HasSetAsideRecording(int slot, HCALL call) const
{
    const std::vector<SetAsideRecording>& setAside = m_slots[slot].setAside;
    return std::any_of(setAside.begin(), setAside.end(),
        [call](const SetAsideRecording& entry) { return entry.call == call; });
}

int CallRecording::StopSetAsideRecording(int slot, HCALL call)
{
    std::vector<SetAsideRecording>& setAside = m_slots[slot].setAside;
    const auto found = std::find_if(setAside.begin(), setAside.end(),
        [call](const SetAsideRecording& entry) { return entry.call == call; });
    if (found == setAside.end())
        return 0;
    const std::string path = found->path;
    setAside.erase(found);
    const AudioResult stopped = Line(slot).GetRecorder().StopSetAsideRecording(RecorderKey(call));
    Finished(slot, call, path, stopped == AudioResult::Platform(MMIOERR_CANNOTWRITE));
    return 1;
}

void CallRecording::FinishRecording(int slot)
{
    SlotState& s = m_slots[slot];
    WaveRecorder& recorder = Line(slot).GetRecorder();
    recorder.StopRecording();
    Finished(slot, s.recordingCall, s.recordingPath, recorder.WriteFailed());
    s.state = Idle;
    s.recordingCall = 0;
    s.recordingPath.clear();
}

// When nothing was captured the recorder keeps no file: the call then has no recording either.
void CallRecording::Finished(int slot, HCALL call, const std::string& path, bool writeFailed)
{
    const bool kept = FileExists(path);
    if (!kept) {
        const std::string none;
        Line(slot).SetCallPaths(call, &none, nullptr);
        UnloggedRecording::Unmark(path);
    }
    if (writeFailed)
        ReportWriteFailure(path, kept);
}

// The recorder could not write: the recording ends now (not when the call does), and the call
// keeps what was written. A later recording on the slot has its own failure flag.
void CallRecording::OnWriteFailed(int slot)
{
    const int state = m_slots[slot].state;
    if ((state != Recording && state != Paused) || !Line(slot).GetRecorder().WriteFailed())
        return;
    FinishRecording(slot);
    if (MainWindowLink* window = m_manager.ReadyWindow())
        window->UpdateControls();
}

// Told once per recording, from the event loop: the failure may be found in the middle of a call
// event, and a message box must not hold that up.
void CallRecording::ReportWriteFailure(const std::string& path, bool kept)
{
    const std::string text = WriteFailureText(path, kept);
    QTimer::singleShot(0, &m_pollTimer,
        [this, text] { m_manager.GetPrompter().ShowMessage(text, "Kestrium", Prompter::Icon::Exclamation); });
}

// Stops a greeting or beep file and forgets a tone, so nothing follows for the call.
void CallRecording::CancelWarning(int slot)
{
    SlotState& s = m_slots[slot];
    if (std::exchange(s.purpose, PlayPurpose::None) != PlayPurpose::None)
        Line(slot).GetRecorder().ClosePlayback();
    s.state = Idle;
    s.startingCall = s.toneCall = 0;
}

// ---- notes ----

// The call entry whose notes window belongs to the call, -1 when it has none open.
int CallRecording::NotesIndex(int slot, HCALL call) const
{
    const auto& notes = m_slots[slot].notes;
    for (std::size_t i = 0; i < notes.size(); ++i)
        if (call != 0 && notes[i].call == call && notes[i].window)
            return int(i);
    return -1;
}

// The note file is named before the window opens: without a file there is nothing to edit.
int CallRecording::OpenNotes(int slot, HCALL call)
{
    const int index = Line(slot).IndexOfCall(call);
    if (index < 0)
        return 0;
    if (NotesIndex(slot, call) >= 0)
        return 1;
    if (!m_notesFactory || !EnsureNotePath(slot, call))
        return 0;
    NotesEntry& entry = m_slots[slot].notes[index];
    entry.window = m_notesFactory(*this, slot, call);
    if (!entry.window) {
        ForgetEmptyNote(slot, call);
        return 0;
    }
    entry.call = call;
    entry.window->SetNote(ReadNoteFile(Line(slot).CallAt(index).notesPath));
    entry.window->Show();
    m_slots[slot].notesCall = call;
    return 1;
}

bool CallRecording::EnsureNotePath(int slot, HCALL call)
{
    LineSlot& line = Line(slot);
    if (!line.CallAt(line.IndexOfCall(call)).notesPath.empty())
        return true;
    std::string path;
    if (!CreateNoteFile(FolderFor(slot, call), path))
        return false;
    line.SetCallPaths(call, nullptr, &path);
    return true;
}

void CallRecording::SaveNote(int slot, HCALL call, std::optional<std::string_view> text)
{
    if (text)
        WriteNote(slot, call, *text);
    CloseNotes(slot, call);
    if (MainWindowLink* window = m_manager.ReadyWindow())
        window->UpdateControls();
}

// A non-empty text replaces the file's contents; an empty one deletes the file and the call's note.
void CallRecording::WriteNote(int slot, HCALL call, std::string_view text)
{
    LineSlot& line = Line(slot);
    const int index = line.IndexOfCall(call);
    if (index < 0 || line.CallAt(index).notesPath.empty())
        return;
    const std::string path = line.CallAt(index).notesPath;
    if (text.empty()) {
        RemoveFile(path);
        const std::string none;
        line.SetCallPaths(call, nullptr, &none);
        return;
    }
    const std::string_view note = CutToLimit(text, kMaxNoteLength);
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(note.data(), std::streamsize(note.size()));
}

// The window is taken out of the table before it is destroyed, so that anything it does while it
// closes finds the table consistent.
void CallRecording::CloseNotes(int slot, HCALL call)
{
    SlotState& s = m_slots[slot];
    if (call == 0)
        call = s.notesCall;
    const int index = NotesIndex(slot, call);
    if (index < 0)
        return;
    NotesEntry& entry = s.notes[index];
    std::unique_ptr<NotesWindow> window = std::move(entry.window);
    entry.call = 0;
    if (call == s.notesCall)
        s.notesCall = 0;
    ForgetEmptyNote(slot, call);
}

// A note file that was named but never written is no note: unless the call is logged already
// (its log entry names the file), the file goes and the call keeps no note path.
void CallRecording::ForgetEmptyNote(int slot, HCALL call)
{
    LineSlot& line = Line(slot);
    const int index = line.IndexOfCall(call);
    if (index < 0 || line.CallAt(index).lastState == LINECALLSTATE_IDLE)
        return;
    const std::string path = line.CallAt(index).notesPath;
    if (path.empty() || !IsEmptyFile(path))
        return;
    RemoveFile(path);
    const std::string none;
    line.SetCallPaths(call, nullptr, &none);
}
