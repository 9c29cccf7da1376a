#include "dialing_rules.h"

#include "platform/registry.h"

#include <cctype>

namespace tapi {

namespace {

constexpr const char* kCurrent = "Current Location";

std::string LocationKey()
{
    return std::string(DialingRules::kKey) + "\\Location 1";
}

std::string QueryText(
    platform::RegistryHive& hive, const std::string& key, const char* name, std::string fallback)
{
    const auto value = hive.Query(key, name);
    if (!value || value->type != platform::RegType::Sz)
        return fallback;
    return std::string(value->data.begin(), value->data.end());
}

DWORD QueryNumber(platform::RegistryHive& hive, const std::string& key, const char* name, DWORD fallback)
{
    const auto value = hive.Query(key, name);
    if (!value || value->type != platform::RegType::Dword || value->data.size() != 4)
        return fallback;
    return DWORD(value->data[0]) | DWORD(value->data[1]) << 8 | DWORD(value->data[2]) << 16
        | DWORD(value->data[3]) << 24;
}

bool IsDigit(char c)
{
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// The characters of a subscriber number that are dialled: digits, *, #, pause "," and flash "!".
std::string DialableCharacters(std::string_view text)
{
    std::string out;
    for (char c : text)
        if (IsDigit(c) || c == '*' || c == '#' || c == ',' || c == '!' || c == 'W' || c == 'w' || c == '@')
            out += c;
    return out;
}

struct Canonical {
    std::string country;
    std::string area;
    std::string number;
};

bool ParseCanonical(std::string_view text, Canonical& out)
{
    std::size_t i = 1; // after "+"
    while (i < text.size() && IsDigit(text[i]))
        out.country += text[i++];
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (i < text.size() && text[i] == '(') {
        const auto close = text.find(')', i);
        if (close == std::string_view::npos)
            return false;
        out.area = DialableCharacters(text.substr(i + 1, close - i - 1));
        i = close + 1;
    }
    out.number = DialableCharacters(text.substr(i));
    return !out.country.empty() && out.country.size() <= 4 && !out.number.empty();
}

} // namespace

Location DialingRules::Load(platform::RegistryHive& hive)
{
    const Location defaults;
    const std::string key = LocationKey();
    Location location;
    location.name = QueryText(hive, key, "Name", defaults.name);
    location.countryCode = QueryNumber(hive, key, "Country Code", defaults.countryCode);
    location.areaCode = QueryText(hive, key, "Area Code", defaults.areaCode);
    location.localAccess = QueryText(hive, key, "Local Access", defaults.localAccess);
    location.longDistanceAccess = QueryText(hive, key, "Long Distance Access", defaults.longDistanceAccess);
    location.nationalPrefix = QueryText(hive, key, "National Prefix", defaults.nationalPrefix);
    location.internationalPrefix = QueryText(hive, key, "International Prefix", defaults.internationalPrefix);
    location.toneDialing = QueryNumber(hive, key, "Tone Dialing", defaults.toneDialing ? 1 : 0) != 0;
    return location;
}

bool DialingRules::Save(platform::RegistryHive& hive, const Location& location)
{
    using platform::RegValue;
    const std::string key = LocationKey();
    return hive.Set(kKey, kCurrent, RegValue::Number(1))
        && hive.Set(key, "Name", RegValue::Text(location.name))
        && hive.Set(key, "Country Code", RegValue::Number(location.countryCode))
        && hive.Set(key, "Area Code", RegValue::Text(location.areaCode))
        && hive.Set(key, "Local Access", RegValue::Text(location.localAccess))
        && hive.Set(key, "Long Distance Access", RegValue::Text(location.longDistanceAccess))
        && hive.Set(key, "National Prefix", RegValue::Text(location.nationalPrefix))
        && hive.Set(key, "International Prefix", RegValue::Text(location.internationalPrefix))
        && hive.Set(key, "Tone Dialing", RegValue::Number(location.toneDialing ? 1 : 0));
}

LONG DialingRules::Translate(const Location& location, std::string_view address, Translation& out)
{
    // A canonical address may carry a subaddress ("|") and a name ("^"): neither is dialled.
    address = address.substr(0, address.find_first_of("|^\r\n"));
    if (address.empty())
        return LINEERR_INVALADDRESS;
    out = Translation{};
    out.currentCountry = location.countryCode;
    if (address.front() != '+') {
        out.dialable = std::string(address);
        out.displayable = out.dialable;
        out.destCountry = location.countryCode;
        return 0;
    }
    Canonical canonical;
    if (!ParseCanonical(address, canonical))
        return LINEERR_INVALADDRESS;
    out.destCountry = static_cast<DWORD>(std::stoul(canonical.country));
    out.results = LINETRANSLATERESULT_CANONICAL;
    std::string digits;
    if (out.destCountry != location.countryCode) {
        digits = location.longDistanceAccess + location.internationalPrefix + canonical.country
            + canonical.area + canonical.number;
        out.results |= LINETRANSLATERESULT_INTERNATIONAL;
    } else if (!canonical.area.empty() && canonical.area != location.areaCode) {
        digits = location.longDistanceAccess + location.nationalPrefix + canonical.area + canonical.number;
        out.results |= LINETRANSLATERESULT_LONGDISTANCE;
    } else {
        digits = location.localAccess + canonical.number;
        out.results |= LINETRANSLATERESULT_LOCAL;
    }
    out.dialable = (location.toneDialing ? "T" : "P") + digits;
    out.displayable = digits;
    return 0;
}

} // namespace tapi
