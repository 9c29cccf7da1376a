#pragma once

#include "tapi/include/tapi.h"

#include "store/call_time.h"
#include "telephony/call_description.h"

#include <cstdint>
#include <optional>
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
    // The call's recording was paused because the call went on hold: taking it back resumes it.
    bool recordingHeld = false;
    // The conference call this call is a party of (0: none), and whether it ever was one.
    HCALL conference = 0;
    bool conferenced = false;
    // The make-call request that will fill in `call`; the record is reserved until it completes.
    LONG pendingRequest = 0;
    // The party of a call the program placed, known before TAPI has the call.
    std::string placedParty;
    // Touch tones: the batch being generated, the digits typed meanwhile that wait for its end,
    // and the digits whose generation has finished.
    std::string digitsInFlight;
    std::string digitsQueued;
    std::string digitsSent;
    // The line manager's clock (ms) at the call's first CONNECTED.
    std::optional<std::uint64_t> connectedAt;
    // How an outgoing call that never connected ended; shown for a while after it has gone.
    std::optional<CallOutcome> outcome;

    bool IsFree() const { return call == 0 && pendingRequest == 0; }
};
