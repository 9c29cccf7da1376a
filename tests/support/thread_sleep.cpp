#include "support/thread_sleep.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace testing_support {

long ThreadWakeUps(pid_t pid, const std::string& name)
{
    namespace fs = std::filesystem;
    std::error_code error;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream comm(task.path() / "comm");
        std::string taskName;
        if (!std::getline(comm, taskName) || taskName != name)
            continue;
        std::ifstream status(task.path() / "status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
                return std::stol(line.substr(line.find(':') + 1));
    }
    return -1;
}

bool ThreadSleeps(pid_t pid, const std::string& name)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        const long before = ThreadWakeUps(pid, name);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        if (before >= 0 && ThreadWakeUps(pid, name) == before)
            return true;
    }
    return false;
}

} // namespace testing_support
