#include "settings_program.h"

#include <dlfcn.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

extern char** environ;

namespace tapi {

namespace {

std::string ProgramPath()
{
    if (const char* path = std::getenv("KESTRIUM_TAPI_SETTINGS"); path && *path)
        return path;
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&RunSettingsProgram), &info) == 0 || !info.dli_fname)
        return "tapi-settings";
    return (std::filesystem::path(info.dli_fname).parent_path() / "tapi-settings").string();
}

} // namespace

LONG RunSettingsProgram(const std::vector<std::string>& arguments)
{
    const std::string program = ProgramPath();
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        return LINEERR_OPERATIONFAILED;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return LINEERR_OPERATIONFAILED;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : LINEERR_OPERATIONFAILED;
}

} // namespace tapi
