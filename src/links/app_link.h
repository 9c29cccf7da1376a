#pragma once

// Kestrium's own socket, where a running Kestrium takes the links that kestrium-dial hands it:
// one command line per connection, answered with one reply line.
//   "show"                    the main window comes to the front          -> "shown"
//   "dial<TAB>NUMBER<TAB>NAME" the number is dialled on the default line   -> "dialing"
// A refused command is answered with "error: " and the reason.

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrium_dial {

inline constexpr std::string_view kShowCommand = "show";
inline constexpr std::string_view kShownReply = "shown";
inline constexpr std::string_view kDialingReply = "dialing";
inline constexpr std::string_view kErrorReply = "error: ";
// The longest command line the program takes.
inline constexpr std::size_t kMaxCommandBytes = 1024;
// The longest called-party name a dialing request carries (its 40-byte field with its NUL).
inline constexpr std::size_t kMaxNameBytes = 39;

// "$XDG_RUNTIME_DIR/kestrium.sock"; empty when XDG_RUNTIME_DIR is not set.
std::string AppSocketPath();

// The dialing command; a name longer than Kestrium keeps is cut to kMaxNameBytes (between
// characters) here, so a long name never makes the command too long to be taken.
std::string DialCommand(std::string_view number, std::string_view name);

struct AppCommand {
    enum class Kind { Show, Dial, Invalid };
    Kind kind = Kind::Invalid;
    std::string number;
    std::string name; // at most kMaxNameBytes, cut between characters
    std::string problem; // why an Invalid command was refused
};

// Reads a command line; a number that cannot be dialled and a name with a control character make
// it Invalid.
AppCommand ParseAppCommand(std::string_view line);

} // namespace kestrium_dial
