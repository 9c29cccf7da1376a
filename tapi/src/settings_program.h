#pragma once

#include "tapi.h"

#include <string>
#include <vector>

namespace tapi {

// Runs the service's settings program (tapi-settings, beside libtapi32.so, or the program named
// by $KESTRIUM_TAPI_SETTINGS) with the arguments and waits until it ends. 0 when it ran and ended
// normally, LINEERR_OPERATIONFAILED otherwise.
LONG RunSettingsProgram(const std::vector<std::string>& arguments);

} // namespace tapi
