#pragma once

#include "tapi/include/tapi.h"

// A call that a call action can apply to, with its slot.
struct ActionTarget {
    HCALL call = 0;
    int slot = 0;
};

// The call actions of the tool bar and menus.
enum CallAction : int {
    kActionDrop = 0,
    kActionAnswer = 1,
    kActionRecord = 2,
    kActionPauseRecording = 3,
    kActionAddNote = 4,
    // Holds a connected call or takes a held one back, as the call's features allow.
    kActionHold = 5,
    // Hands a connected call to another number (the number is given to the line manager).
    kActionTransfer = 6,
    // Starts a conference from a connected call, joins the party consulted, or takes a party out
    // of its conference, as the call's features allow.
    kActionConference = 7,
    // Holds a connected call pending transfer and calls the number to transfer it to.
    kActionConsultTransfer = 8
};
