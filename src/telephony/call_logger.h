#pragma once

#include "store/call_journal.h"
#include "store/call_time.h"
#include "tapi/include/tapi.h"

#include <filesystem>
#include <functional>
#include <string>

class CallLogStore;
class CallSnapshot;
class LineSlot;
struct CallLogEntry;
struct CallRecord;

// Turns every call that ends after it was offered to the user or was talking into one call log
// entry, on disk at once. It runs first on every call-state change, while the call can still be
// queried, and keeps what it needs in the call's record: the last state and the start time.
// Until a call is logged, the entry it would get is kept in the journal of calls in progress
// beside the log, so that a call cut off by a kill is logged at the next start.
class CallLogger {
public:
    using Clock = std::function<CallTime()>;

    CallLogger(CallLogStore& store, std::filesystem::path logFile);

    // The local time source; tests set one that follows the exchange's manual clock.
    void SetClock(Clock clock) { m_clock = std::move(clock); }

    void RecordCallState(LineSlot& slot, HCALL call, DWORD state);

    // A recording of the call starts at `path`: the entry the call would get now is kept beside
    // the file until the call is logged, so that a recording cut off by the end of the program is
    // logged with its caller at the next start. False when it cannot be written.
    bool MarkRecording(LineSlot& slot, HCALL call, const std::string& path);

    // The far end handed the call on (its connected id changed): the journal names the new party.
    void RecordPartyChange(LineSlot& slot, HCALL call);

    // Moves the journal's end time of talking calls on; the once-a-second display tick calls it.
    void RefreshJournal() { m_journal.Refresh(m_clock()); }

private:
    struct Party;
    // False for a call that the program only monitors: it is never logged.
    bool ReadParty(LineSlot& slot, HCALL call, Party& party) const;
    // The type of the entry for a call that went idle, or -1 when it is not logged.
    int EndedCallType(const LineSlot& slot, HCALL call, const CallRecord& record, DWORD origin) const;
    CallLogEntry MakeEntry(const CallRecord& record, const Party& party, int type) const;
    // True when the entry reached the disk.
    bool Log(LineSlot& slot, CallRecord& record, const Party& party, int type);
    // The journal keeps the entry the call would get if it ended now, or none.
    void Journal(LineSlot& slot, HCALL call, const CallRecord& record, const Party& party);

    CallLogStore& m_store;
    std::filesystem::path m_logFile;
    Clock m_clock;
    CallJournal m_journal;
};
