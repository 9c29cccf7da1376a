#pragma once

#include <string>
#include <string_view>

namespace kestrium_dial {

// The number kestrium-dial hands to the dialer. "tel:+1-212-555-0100;ext=12" gives
// "+1-212-555-0100" with its percent escapes decoded; any other argument is the number as it
// stands. False when the number holds a control character (a byte below 0x20, or 0x7F), decoded
// or not: a NUL would cut the number short, a line feed would split it.
bool NumberFromArgument(std::string_view argument, std::string& number);

} // namespace kestrium_dial
