#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace testing_support {

struct ToolRun {
    int status = -1; // the exit status, -1 when the command did not end normally
    std::string output; // standard output and standard error together
};

// Runs a shell command line and waits for it.
ToolRun RunTool(const std::string& command);

// Checks the condition every 100 ms until it holds or the limit passes.
bool WaitUntil(
    const std::function<bool()>& condition, std::chrono::milliseconds limit = std::chrono::seconds(30));

} // namespace testing_support
