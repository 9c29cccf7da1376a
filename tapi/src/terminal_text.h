#pragma once

#include <string>
#include <string_view>

namespace tapi {

// Text from outside (caller names, file names, replies of the service) made safe to print on a
// terminal: control characters (C0, DEL, C1) become \xHH or \uHHHH and bytes that are not valid
// UTF-8 become \xHH, so they cannot move the cursor, ring the bell or start escape sequences.
// Line feeds are kept when keepLineBreaks is true.
std::string EscapeForTerminal(std::string_view text, bool keepLineBreaks);

} // namespace tapi
