#pragma once

#include "tapi.h"

#include <string>
#include <string_view>

namespace platform {
class RegistryHive;
}

namespace tapi {

// The calling location that canonical addresses are translated for.
struct Location {
    std::string name = "My Location";
    DWORD countryCode = 1;
    std::string areaCode = "212";
    std::string localAccess; // dialled first for local calls (an outside line), e.g. "9"
    std::string longDistanceAccess; // dialled first for long-distance and international calls
    std::string nationalPrefix = "1";
    std::string internationalPrefix = "011";
    bool toneDialing = true;

    bool operator==(const Location&) const = default;
};

struct Translation {
    std::string dialable;
    std::string displayable;
    DWORD currentCountry = 0;
    DWORD destCountry = 0;
    DWORD results = 0;
};

// Dialing rules kept in the registry under "SOFTWARE\Kestrium Telephony\Locations".
class DialingRules {
public:
    static constexpr const char* kKey = "SOFTWARE\\Kestrium Telephony\\Locations";

    // The current location; the default location when none is stored.
    static Location Load(platform::RegistryHive& hive);
    static bool Save(platform::RegistryHive& hive, const Location& location);

    // Canonical "+CC [(area)] number" becomes a dialable string for the location; anything else
    // passes unchanged. LINEERR_INVALADDRESS for an empty or malformed canonical address.
    static LONG Translate(const Location& location, std::string_view address, Translation& out);
};

} // namespace tapi
