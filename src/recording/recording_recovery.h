#pragma once

#include <cstddef>
#include <filesystem>

class CallLogStore;
struct AppSettings;

// Start-up's care for recordings that an earlier run left unfinished (the program was killed or
// the machine went down while one was written): each one in the voice-mail and call recordings
// folders gets its header brought up to its real length and, unless the call log already names
// it, an entry: the one kept beside it when the recording started, otherwise an unknown caller's.
// Nothing is deleted but the markers of recordings that are logged. Returns the entries added;
// the log file is saved when there are any.
std::size_t RecoverRecordings(
    CallLogStore& log, const std::filesystem::path& logFile, const AppSettings& settings);
