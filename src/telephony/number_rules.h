#pragma once

#include <string>
#include <string_view>

// The text rules that turn a typed number into an address the dialing rules accept.
namespace NumberRules {

// Removes a "," or "-" right before "(" and right after ")": "555,(212),123" gives "555(212)123".
void CleanBrackets(std::string& number);

// For a number that begins with "+": the first blank, "-" or "," after the country code becomes the
// blank of the canonical form, and a "(" is accepted as it stands. False when the "+" is followed
// by neither ("+121"). Numbers without "+" pass unchanged.
bool ApplyPlusRule(std::string& number);

// A dialable string handed back with a leading "T" (tone) or "P" (pulse) loses that letter.
std::string_view StripDialModePrefix(std::string_view dialable);

// The redial feeding rule: with no name and a "," in the text, the text after the last "," (one
// following blank skipped) is the number and the text before it the name.
void SplitNameAndNumber(std::string& name, std::string& number);

// A text the user typed as a number rather than a name: at least one digit, and otherwise only
// the dial characters "+*#" and the usual separators (blank, "-", ".", "(", ")", "/").
bool LooksLikeNumber(std::string_view text);

} // namespace NumberRules
