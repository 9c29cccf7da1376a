#pragma once

namespace tapi {

// The commands of the control socket, as "help" and linesim --help list them.
extern const char* const kControlCommandHelp;

} // namespace tapi
