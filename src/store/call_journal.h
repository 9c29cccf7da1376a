#pragma once

#include "store/call_log_entry.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string_view>
#include <vector>

class CallLogStore;

// The calls in progress, kept in "KestriumCallsInProgress.csv" beside the call log and in its
// format, so that a call survives the program being killed: each call has the entry it would be
// logged with now, written when it is offered to the user or starts talking and removed once it
// is logged. While calls talk their end time is moved on now and then. A file still there at
// start-up holds the calls of a run that never ended them; Replay logs them.
class CallJournal {
public:
    static constexpr std::string_view kFileName = "KestriumCallsInProgress.csv";
    // How often a talking call's end time is written again: the most a replayed duration lacks.
    static constexpr int kRefreshSeconds = 5;

    explicit CallJournal(std::filesystem::path file);

    // The entry the call would be logged with now; the file is written when it differs from the
    // one kept (end time aside).
    void Keep(std::uint64_t call, const CallLogEntry& entry);
    // The call is logged, or ends without an entry.
    void Drop(std::uint64_t call);
    // Talking calls are still going at `now`: once `kRefreshSeconds` have passed since their end
    // time was last written, it moves to `now` and the file is written.
    void Refresh(const CallTime& now);

    // Appends to `log` every call of the journal at `journalFile` that it does not already hold (a
    // recorded call is logged by the recording's recovery), saves it to `logFile` and removes the
    // journal. A missed call ends when it was offered; any other at its last written end time.
    // Returns the entries added, so that they can be announced; the journal stays when the log
    // cannot be saved.
    static std::vector<CallLogEntry> Replay(
        CallLogStore& log, const std::filesystem::path& logFile, const std::filesystem::path& journalFile);

private:
    void Write();

    std::filesystem::path m_file;
    std::map<std::uint64_t, CallLogEntry> m_calls;
    CallTime m_refreshed;
};
