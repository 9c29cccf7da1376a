#include "store/unlogged_recording.h"

#include "store/call_log_store.h"

namespace UnloggedRecording {

std::filesystem::path MarkerOf(const std::filesystem::path& recording)
{
    std::filesystem::path marker = recording;
    marker += kSuffix;
    return marker;
}

bool Mark(const std::filesystem::path& recording, const CallLogEntry& entry)
{
    CallLogStore store;
    return store.Append(entry) && store.Save(MarkerOf(recording));
}

std::optional<CallLogEntry> Read(const std::filesystem::path& recording)
{
    CallLogStore store;
    store.Load(MarkerOf(recording));
    if (store.Count() != 1)
        return std::nullopt;
    return *store.GetAt(0);
}

void Unmark(const std::filesystem::path& recording)
{
    std::error_code error;
    std::filesystem::remove(MarkerOf(recording), error);
}

} // namespace UnloggedRecording
