#include "sip_service.h"

#include "platform/regular_file.h"

#include <sys/stat.h>

#include <cstdio>

// The password file of a SIP account.

namespace tapi {

namespace {

constexpr std::size_t kMaxPasswordBytes = 4096;

} // namespace

bool ReadSipPassword(const std::string& path, std::string& password, std::string& error)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & (S_IRWXG | S_IRWXO))) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", unsigned(info.st_mode & 07777));
        error = "the password file " + path + " can be read by others (mode " + mode
            + "); make it private with: chmod 600 '" + path + "'";
        return false;
    }
    std::string text;
    switch (platform::ReadRegularFile(path, kMaxPasswordBytes, text, error)) {
    case platform::FileRead::Missing:
        error = "there is no password file " + path;
        return false;
    case platform::FileRead::Refused:
        error = "the password file " + path + " " + error;
        return false;
    case platform::FileRead::Read:
        break;
    }
    password = text.substr(0, text.find_first_of("\r\n"));
    return true;
}

} // namespace tapi
