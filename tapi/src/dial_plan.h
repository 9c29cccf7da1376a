#pragma once

#include "device_config.h"

#include <string>
#include <string_view>
#include <vector>

namespace tapi {

// How the far end answers dialled numbers: the first matching rule decides.
class DialPlan {
public:
    void Add(DialRule rule) { m_rules.push_back(std::move(rule)); }
    void Clear() { m_rules.clear(); }
    const std::vector<DialRule>& Rules() const { return m_rules; }

    // The rule for a dialled address; the default rule (ring back 3 s, answer) when none matches.
    DialRule Match(std::string_view dialled) const;

    // The characters of an address that reach the exchange: 0-9, *, #, A-D.
    static std::string DialledDigits(std::string_view address);
    static bool Matches(std::string_view pattern, std::string_view digits);

private:
    std::vector<DialRule> m_rules;
};

} // namespace tapi
