#pragma once

#include "tapi/include/tapi.h"

// What the call model needs from call recording, warning beeps, voice-mail answering and call
// notes. Each operation names the line slot by index; the recording state, recording call and
// notes call of a slot live behind this interface.
class CallRecordingPort {
public:
    enum RecordingState { Idle = 0, Recording = 3, Paused = 4, Starting = 5 };

    virtual ~CallRecordingPort() = default;

    virtual int GetRecordingState(int slot) const = 0;
    // The call being recorded, or whose greeting or warning beep is under way; 0 when none. The
    // call leaving the connected state stops what is under way for it.
    virtual HCALL GetRecordingCall(int slot) const = 0;
    virtual HCALL GetNotesCall(int slot) const = 0;
    virtual bool HasNotesDialog(int slot, HCALL call) const = 0;

    // Start (after the beep) or resume the recording of a call; the result of the operation. The
    // recording of another call of the slot is paused and set aside meanwhile, and goes on where it
    // stopped when its own call is recorded again.
    virtual int StartCallRecording(int slot, HCALL call, int voiceMail) = 0;
    virtual int PauseCallRecording(int slot) = 0;
    virtual int StopCallRecording(int slot) = 0;
    // A call's recording that waits, set aside, while another call of the slot records; stopping it
    // finishes its file. 1 when there was one.
    virtual bool HasSetAsideRecording(int slot, HCALL call) const = 0;
    virtual int StopSetAsideRecording(int slot, HCALL call) = 0;
    virtual int OpenNotes(int slot, HCALL call) = 0;
    virtual void CloseNotes(int slot, HCALL call) = 0;
    // The answer made for voice mail completed: play the greeting, then record.
    virtual void AnswerForVoiceMail(int slot, HCALL call) = 0;
    // Tone generation ended on a call; true when it was the warning tone before a recording.
    virtual bool OnToneDone(HCALL call) = 0;
};

// The port a line manager starts with, before the application sets its own (and in telephony
// tests): no call is ever recorded and no notes dialog opens.
class NoCallRecording : public CallRecordingPort {
public:
    int GetRecordingState(int) const override { return Idle; }
    HCALL GetRecordingCall(int) const override { return 0; }
    HCALL GetNotesCall(int) const override { return 0; }
    bool HasNotesDialog(int, HCALL) const override { return false; }
    int StartCallRecording(int, HCALL, int) override { return 0; }
    int PauseCallRecording(int) override { return 0; }
    int StopCallRecording(int) override { return 0; }
    bool HasSetAsideRecording(int, HCALL) const override { return false; }
    int StopSetAsideRecording(int, HCALL) override { return 0; }
    int OpenNotes(int, HCALL) override { return 0; }
    void CloseNotes(int, HCALL) override { }
    void AnswerForVoiceMail(int, HCALL) override { }
    bool OnToneDone(HCALL) override { return false; }
};
