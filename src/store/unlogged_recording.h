#pragma once

#include "store/call_log_entry.h"

#include <filesystem>
#include <optional>

// A recording whose call is not logged yet has a small file beside it ("<recording>.unlogged")
// that holds the call log entry as far as it was known when the recording started, in the call
// log's own format. Logging the call removes it; a file still there at start-up marks a recording
// that an earlier run left unfinished, and tells whom it was from.
namespace UnloggedRecording {

inline constexpr const char* kSuffix = ".unlogged";

std::filesystem::path MarkerOf(const std::filesystem::path& recording);
// False when the file cannot be written.
bool Mark(const std::filesystem::path& recording, const CallLogEntry& entry);
// The entry kept for the recording; none without a readable marker.
std::optional<CallLogEntry> Read(const std::filesystem::path& recording);
void Unmark(const std::filesystem::path& recording);

} // namespace UnloggedRecording
