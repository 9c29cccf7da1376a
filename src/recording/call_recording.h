#pragma once

#include "recording/notes_window.h"
#include "telephony/call_recording_port.h"
#include "telephony/line_manager.h"

#include <QTimer>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct AppSettings;

// Call recording, warning beeps, voice-mail answering and call notes on the line slots. Each slot
// records with its own WaveRecorder from the line's wave-in device; greetings and beep files are
// played down the line with the same slot's player (free until capture starts), so several lines
// can greet callers at once. Everything runs on the window thread.
//
// The line manager must outlive this object; the object unsets itself as the manager's recording
// port when it goes. The settings are read at each use, so changes of the setup dialog apply at
// once.
class CallRecording : public CallRecordingPort, public NoteSaver {
public:
    static constexpr DWORD kBeepToneMs = 600;
    static constexpr int kPollIntervalMs = 100;
    // A note holds at most this many bytes of UTF-8 text.
    static constexpr std::size_t kMaxNoteLength = 1000;

    CallRecording(LineManager& manager, const AppSettings& settings, NotesWindowFactory notesFactory);

    // A note file's text, at most kMaxNoteLength bytes and never cut inside a character; empty
    // when the file cannot be read.
    static std::string ReadNoteFile(const std::string& path);
    // Creates a new, empty note file in `folder`, named like the recordings ("Kes....txt").
    static bool CreateNoteFile(const std::string& folder, std::string& path);
    ~CallRecording() override;
    CallRecording(const CallRecording&) = delete;
    CallRecording& operator=(const CallRecording&) = delete;

    int GetRecordingState(int slot) const override;
    // While the beep or greeting is under way (Starting) this is the call it is for: that call
    // leaving the connected state cancels the sequence.
    HCALL GetRecordingCall(int slot) const override;
    HCALL GetNotesCall(int slot) const override;
    bool HasNotesDialog(int slot, HCALL call) const override;

    // Starts the warning and then the recording of a call, or resumes the call's paused or set-aside
    // recording; another call's recording is set aside first. 0 when the call is already recorded
    // or a warning is under way on the slot.
    int StartCallRecording(int slot, HCALL call, int voiceMail) override;
    // Creates the file and starts capture; 1 on success. A call that is no longer connected is not
    // recorded.
    int BeginCapture(int slot, HCALL call);
    int PauseCallRecording(int slot) override;
    int ResumeCallRecording(int slot);
    // Ends a recording, or cancels the greeting, beep or tone that leads to one.
    int StopCallRecording(int slot) override;
    bool HasSetAsideRecording(int slot, HCALL call) const override;
    int StopSetAsideRecording(int slot, HCALL call) override;
    void AnswerForVoiceMail(int slot, HCALL call) override;
    bool OnToneDone(HCALL call) override;

    int OpenNotes(int slot, HCALL call) override;
    void SaveNote(int slot, HCALL call, std::optional<std::string_view> text) override;
    // Closes the notes window of the call (0: of the slot's notes call).
    void CloseNotes(int slot, HCALL call) override;

private:
    enum class PlayPurpose { None = 0, Greeting = 1, BeepFile = 2 };

    struct NotesEntry {
        HCALL call = 0;
        std::unique_ptr<NotesWindow> window;
    };

    // A recording waiting for its call, its file open; the recorder keeps it under the call.
    struct SetAsideRecording {
        HCALL call = 0;
        std::string path;
    };

    struct SlotState {
        int state = Idle;
        HCALL recordingCall = 0;
        std::string recordingPath;
        // The call whose greeting, beep file or tone is under way.
        HCALL startingCall = 0;
        HCALL toneCall = 0;
        PlayPurpose purpose = PlayPurpose::None;
        std::uint32_t fileLength = 0;
        HCALL notesCall = 0;
        std::vector<SetAsideRecording> setAside;
        // One per call entry of the slot, at the entry's index.
        std::array<NotesEntry, LineSlot::kMaxCalls> notes;
    };

    LineSlot& Line(int slot) const { return m_manager.GetLineSlot(slot); }
    bool IsConnected(HCALL call) const;
    const std::string& FolderFor(int slot, HCALL call) const;

    void StartWarning(int slot, HCALL call, int voiceMail);
    bool PlayDownTheLine(int slot, const std::string& path, PlayPurpose purpose);
    void Poll();
    void PollSlot(int slot);
    bool Capture(int slot, HCALL call);
    bool IsTakingMessage(int slot) const;
    bool SetAside(int slot);
    int TakeBack(int slot, HCALL call);
    void FinishRecording(int slot);
    void Finished(int slot, HCALL call, const std::string& path, bool writeFailed);
    void OnWriteFailed(int slot);
    void ReportWriteFailure(const std::string& path, bool kept);
    void CancelWarning(int slot);

    int NotesIndex(int slot, HCALL call) const;
    bool EnsureNotePath(int slot, HCALL call);
    void WriteNote(int slot, HCALL call, std::string_view text);
    void ForgetEmptyNote(int slot, HCALL call);

    LineManager& m_manager;
    const AppSettings& m_settings;
    NotesWindowFactory m_notesFactory;
    std::array<SlotState, LineManager::kSlotCount> m_slots;
    // Polls the greetings and beep files being played; runs while any plays.
    QTimer m_pollTimer;
};
