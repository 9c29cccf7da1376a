#pragma once

#include "unique_fd.h"

#include <string>

namespace tapi {

// Where the running telephony service listens: $KESTRIUM_TELEPHONY_SOCKET when set, else
// "$XDG_RUNTIME_DIR/kestrium-telephony.sock". Empty with a reason when neither is set.
std::string ControlSocketPathFromEnvironment(std::string& error);

// A connection to the control socket at socketPath; empty with a reason when nothing listens there.
UniqueFd ConnectControlSocket(const std::string& socketPath, std::string& error);

// Sends one command line and reads the whole reply. False with a reason when the service cannot
// be reached.
bool SendControlCommand(
    const std::string& socketPath, const std::string& command, std::string& reply, std::string& error);

} // namespace tapi
