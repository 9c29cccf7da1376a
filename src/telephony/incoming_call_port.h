#pragma once

#include "tapi/include/tapi.h"

class LineSlot;

// The "Incoming call:" pop-ups and ring handling, as the line events reach them.
class IncomingCallPort {
public:
    virtual ~IncomingCallPort() = default;

    // After each LINE_CALLSTATE, LINE_CALLINFO and LINE_APPNEWCALL of the slot.
    virtual void UpdateIncomingPopups(LineSlot& slot, HCALL call) = 0;
    // After LINE_LINEDEVSTATE with LINEDEVSTATE_RINGING; TAPI counts rings from 0.
    virtual void OnRing(LineSlot& slot, DWORD ringMode, DWORD ringCount) = 0;
    // The slot's line has closed: its calls are gone without further events.
    virtual void OnLineClosed(LineSlot& slot) = 0;
};

// The port a line manager starts with, before the application sets its own (and in telephony
// tests): offered calls ring without a pop-up and are never answered by themselves; they can still
// be answered from the keypad tab and the call actions.
class NoIncomingCalls : public IncomingCallPort {
public:
    void UpdateIncomingPopups(LineSlot&, HCALL) override { }
    void OnRing(LineSlot&, DWORD, DWORD) override { }
    void OnLineClosed(LineSlot&) override { }
};
