#pragma once

#include <chrono>
#include <filesystem>
#include <string>

namespace kestrium_dial {

// Where a Kestrium started for a link keeps its data: $KESTRIUM_DATA, else ~/Kestrium. Empty when
// neither that nor HOME is set.
std::filesystem::path DataFolderFromEnvironment();

// How long a started Kestrium has until its socket answers.
inline constexpr std::chrono::seconds kStartLimit{ 15 };

// Hands a command line (app_link.h) to the running Kestrium and reads its reply. When none answers,
// `program` is started detached in `dataFolder` (created when missing) and the command follows once
// its socket answers, within `limit`. Launchers take turns, so two links clicked at once start one
// Kestrium. False with a reason when Kestrium could not be reached or started.
bool SendToKestrium(const std::string& command, const std::filesystem::path& program,
    const std::filesystem::path& dataFolder, std::chrono::milliseconds limit, std::string& reply,
    std::string& error);

} // namespace kestrium_dial
