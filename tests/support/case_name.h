#pragma once

#include <string>
#include <string_view>

namespace testing_support {

// A parameterised test case's name made from a text: letters and digits kept, runs of anything
// else become one "_"; "empty" for a text without either.
std::string CaseName(std::string_view text);

} // namespace testing_support
