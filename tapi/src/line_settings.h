#pragma once

#include "tapi.h"

#include <string>

namespace platform {
class RegistryHive;
}

namespace tapi {

// Per-line settings of the service, kept in the registry under
// "SOFTWARE\Kestrium Telephony\Lines\<line name>" and edited by the line configuration dialog.
class LineSettings {
public:
    static constexpr DWORD kDefaultNoAnswerSeconds = 60;
    static constexpr DWORD kMinNoAnswerSeconds = 5;
    static constexpr DWORD kMaxNoAnswerSeconds = 300;

    // How long a dialled call may ring before the exchange gives up, when the application's call
    // parameters do not say.
    static DWORD NoAnswerSeconds(platform::RegistryHive& hive, const std::string& lineName);
    static bool SetNoAnswerSeconds(platform::RegistryHive& hive, const std::string& lineName, DWORD seconds);
};

} // namespace tapi
