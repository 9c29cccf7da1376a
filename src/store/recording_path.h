#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// A call's recording is stored as a file URI ("file:///home/ann/CallRecordings/rec1.wav",
// percent-encoded). Its scheme is case-insensitive, so the case of the first character can carry
// the unheard flag: "File:///..." is unheard, "file:///..." heard; both name the same file.
// A plain path found in a hand-edited file still names its file and counts as heard.
namespace RecordingPath {

// The stored field for a local file, with the first character raised when `unheard`.
std::string FromLocalFile(const std::filesystem::path& file, bool unheard);

// The local file a stored field names: the URI's path, or the field itself when it is no file URI.
std::filesystem::path ToLocalFile(std::string_view field);

} // namespace RecordingPath
