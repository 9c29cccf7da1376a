#include "recording/recording_recovery.h"

#include "audio/recording_file.h"
#include "settings/app_settings.h"
#include "store/call_log_store.h"
#include "store/recording_path.h"
#include "store/unlogged_recording.h"

#include <string>
#include <vector>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

constexpr const char* kUnknownCaller = "Unknown";

bool EndsWith(const std::string& text, std::string_view end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool NamesFile(const CallLogEntry& entry, const fs::path& file)
{
    if (entry.recordingPath.empty())
        return false;
    const fs::path named = RecordingPath::ToLocalFile(entry.recordingPath);
    std::error_code error;
    return named.filename() == file.filename() && fs::equivalent(named, file, error);
}

bool IsLogged(const CallLogStore& log, const fs::path& file)
{
    for (std::size_t i = 0; i < log.Count(); ++i)
        if (NamesFile(*log.GetAt(i), file))
            return true;
    return false;
}

// The last time the file was written: the end of what it recorded.
std::time_t LastWritten(const fs::path& file)
{
    struct stat status { };
    return ::stat(file.c_str(), &status) == 0 ? status.st_mtime : std::time(nullptr);
}

// The entry kept when the recording started, or one for an unknown caller whose call began as long
// before the file's last write as the recording lasts. The message is new either way.
CallLogEntry RecoveredEntry(
    const fs::path& file, bool voiceMail, std::time_t end, const RecordingFile::RepairInfo& repair)
{
    CallLogEntry entry;
    if (std::optional<CallLogEntry> kept = UnloggedRecording::Read(file)) {
        entry = *kept;
    } else {
        entry.number = kUnknownCaller;
        entry.type = voiceMail ? kCallTypeVoicemail : kCallTypeIncoming;
        entry.startTime = CallTime::FromTimeT(end - std::time_t(repair.lengthMs / 1000));
    }
    entry.endTime = CallTime::FromTimeT(end);
    // A file that never got its header holds nothing to play; it is left alone.
    entry.recordingPath = repair.result == RecordingFile::RepairResult::NotARecording
        ? std::string()
        : RecordingPath::FromLocalFile(file, true);
    return entry;
}

struct Recovery {
    CallLogStore& log;
    std::vector<fs::path> done;
    std::size_t added = 0;

    void Folder(const fs::path& folder, bool voiceMail);
    void Recording(const fs::path& file, bool voiceMail);
};

void Recovery::Folder(const fs::path& folder, bool voiceMail)
{
    std::error_code error;
    for (const fs::directory_entry& item : fs::directory_iterator(folder, error)) {
        const fs::path& path = item.path();
        const std::string name = path.filename().string();
        if (EndsWith(name, ".wav") && item.is_regular_file(error))
            Recording(path, voiceMail);
        else if (EndsWith(name, UnloggedRecording::kSuffix)
            && !fs::exists(path.parent_path() / path.stem(), error))
            done.push_back(path.parent_path() / path.stem());
    }
}

// Unfinished: its marker is still there, or its header did not match its length.
void Recovery::Recording(const fs::path& file, bool voiceMail)
{
    std::error_code error;
    const bool marked = fs::exists(UnloggedRecording::MarkerOf(file), error);
    // Read before the repair writes to the file.
    const std::time_t end = LastWritten(file);
    const RecordingFile::RepairInfo repair = RecordingFile::Repair(file.string());
    if (!marked && repair.result != RecordingFile::RepairResult::Repaired)
        return;
    if (!IsLogged(log, file) && log.Append(RecoveredEntry(file, voiceMail, end, repair)))
        ++added;
    done.push_back(file);
}

} // namespace

std::size_t RecoverRecordings(CallLogStore& log, const fs::path& logFile, const AppSettings& settings)
{
    Recovery recovery{ log, {}, 0 };
    recovery.Folder(settings.voiceMailFolder, true);
    if (settings.callRecordingsFolder != settings.voiceMailFolder)
        recovery.Folder(settings.callRecordingsFolder, false);
    // The markers go once the entries are on disk: a failed save finds them again next time.
    if (recovery.added > 0) {
        if (!log.Save(logFile))
            return recovery.added;
        log.Load(logFile);
    }
    for (const fs::path& file : recovery.done)
        UnloggedRecording::Unmark(file);
    return recovery.added;
}
