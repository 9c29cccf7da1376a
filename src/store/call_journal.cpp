#include "store/call_journal.h"

#include "store/call_log_store.h"
#include "store/recording_path.h"

#include <ctime>
#include <optional>

namespace fs = std::filesystem;

namespace {

// The same call as far as the journal can tell: the end time moves while the call talks.
bool SameCall(const CallLogEntry& a, const CallLogEntry& b)
{
    return a.startTime == b.startTime && a.callerName == b.callerName && a.number == b.number
        && a.TypeCode() == b.TypeCode() && a.recordingPath == b.recordingPath && a.note == b.note;
}

bool NamesSameRecording(const CallLogEntry& a, const CallLogEntry& b)
{
    return !a.recordingPath.empty() && !b.recordingPath.empty()
        && RecordingPath::ToLocalFile(a.recordingPath) == RecordingPath::ToLocalFile(b.recordingPath);
}

// Logged already: by the recovery of its recording, or by a run killed after it saved the log but
// before it removed the call from the journal.
bool IsLogged(const CallLogStore& log, const CallLogEntry& call)
{
    for (std::size_t i = 0; i < log.Count(); ++i) {
        const CallLogEntry& entry = *log.GetAt(i);
        if (NamesSameRecording(entry, call)
            || (entry.startTime == call.startTime && entry.number == call.number
                && entry.TypeCode() == call.TypeCode()))
            return true;
    }
    return false;
}

bool IsTalking(const CallLogEntry& entry)
{
    return entry.TypeCode() != kCallTypeMissed;
}

// Whole seconds from `from` to `to`; none when either is not a real date.
std::optional<std::time_t> SecondsBetween(const CallTime& from, const CallTime& to)
{
    const std::optional<std::time_t> start = from.ToTimeT();
    const std::optional<std::time_t> end = to.ToTimeT();
    if (!start || !end)
        return std::nullopt;
    return *end - *start;
}

} // namespace

CallJournal::CallJournal(fs::path file)
    : m_file(std::move(file))
{
}

void CallJournal::Keep(std::uint64_t call, const CallLogEntry& entry)
{
    const auto kept = m_calls.find(call);
    if (kept != m_calls.end() && SameCall(kept->second, entry))
        return;
    m_calls[call] = entry;
    Write();
}

void CallJournal::Drop(std::uint64_t call)
{
    if (m_calls.erase(call) > 0)
        Write();
}

void CallJournal::Refresh(const CallTime& now)
{
    bool talking = false;
    for (const auto& [call, entry] : m_calls)
        talking = talking || IsTalking(entry);
    const std::optional<std::time_t> since = SecondsBetween(m_refreshed, now);
    if (!talking || (since && *since >= 0 && *since < kRefreshSeconds))
        return;
    for (auto& [call, entry] : m_calls)
        if (IsTalking(entry))
            entry.endTime = now;
    Write();
    m_refreshed = now;
}

// Only a journal with calls in it is on disk. It is written without syncing: that keeps it to a
// fraction of a millisecond on the main thread at each call event, and the file outlives a kill of
// the process all the same; a power cut may lose it. A failed write keeps the last one: the calls
// it lacks are lost to a kill, as they were before there was a journal.
void CallJournal::Write()
{
    if (m_calls.empty()) {
        std::error_code error;
        fs::remove(m_file, error);
        return;
    }
    CallLogStore store;
    for (const auto& [call, entry] : m_calls)
        store.Append(entry);
    store.Save(m_file, TextFileWriter::Durability::ProcessEnd);
}

std::vector<CallLogEntry> CallJournal::Replay(
    CallLogStore& log, const fs::path& logFile, const fs::path& journalFile)
{
    std::error_code error;
    if (!fs::exists(journalFile, error))
        return {};
    CallLogStore journal;
    journal.Load(journalFile);
    std::vector<CallLogEntry> added;
    for (std::size_t i = 0; i < journal.Count(); ++i) {
        CallLogEntry call = *journal.GetAt(i);
        if (call.TypeCode() == kCallTypeMissed)
            call.endTime = call.startTime;
        // A recording that could not be started was removed again.
        if (!call.recordingPath.empty() && !fs::exists(RecordingPath::ToLocalFile(call.recordingPath), error))
            call.recordingPath.clear();
        if (!IsLogged(log, call) && log.Append(call))
            added.push_back(std::move(call));
    }
    if (!added.empty()) {
        if (!log.Save(logFile))
            return added;
        log.Load(logFile);
    }
    fs::remove(journalFile, error);
    return added;
}
