#pragma once

#include "tapi/include/tapi.h"

#include "store/call_time.h"

#include <string>

// One call on a line, as far as the program must remember it between events; everything shown
// about a call is read fresh from TAPI.
struct CallRecord {
    // The longest recording or notes path a record keeps.
    static constexpr std::size_t kMaxPathLength = 259;

    HCALL call = 0; // 0: free
    DWORD lastState = LINECALLSTATE_IDLE;
    // Local time of the first OFFERING and of each CONNECTED; all zero until then.
    CallTime startTime;
    std::string recordingPath;
    std::string notesPath;
    // The make-call request that will fill in `call`; the record is reserved until it completes.
    LONG pendingRequest = 0;

    bool IsFree() const { return call == 0 && pendingRequest == 0; }
};
