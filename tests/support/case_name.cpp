#include "support/case_name.h"

#include <cctype>

namespace testing_support {

std::string CaseName(std::string_view text)
{
    std::string name;
    for (char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c)))
            name += c;
        else if (!name.empty() && name.back() != '_')
            name += '_';
    }
    return name.empty() ? "empty" : name;
}

} // namespace testing_support
