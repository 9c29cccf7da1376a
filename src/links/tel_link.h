#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrium_dial {

// The longest number a dialing request carries (the request's 80-byte field with its NUL).
inline constexpr std::size_t kMaxNumberLength = 79;

// What is wrong with a link or a number; None when it can be dialled.
enum class LinkProblem { None, Empty, ControlCharacter, NotDialable, NoDigit, TooLong };

// True for a control character: a byte below 0x20, or 0x7F. A NUL would cut a number short, a line
// feed would split it.
bool HasControlCharacter(std::string_view text);

// True when the argument is a tel: or callto: link (the scheme in any case).
bool IsLink(std::string_view argument);

// The number of a tel: or callto: link: "tel:+1-212-555-0100;ext=12" and "callto://+12125550100/"
// give "+1-212-555-0100" and "+12125550100", percent escapes decoded and whatever follows a ';'
// or '?' left out. The number must be 1 to kMaxNumberLength characters of digits, '+', '*', '#'
// and the separators "-.() ", at least one of them a digit; a link with letters names something
// Kestrium cannot dial, and one of separators only ("tel:---", "tel:%20") nothing at all.
LinkProblem NumberFromLink(std::string_view link, std::string& number);

// Checks a number by the rules of NumberFromLink.
LinkProblem CheckNumber(std::string_view number);

// The reason a link or number is refused, for the user ("the number holds a control character ...").
std::string LinkProblemText(LinkProblem problem);

} // namespace kestrium_dial
