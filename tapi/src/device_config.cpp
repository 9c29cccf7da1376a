#include "device_config.h"

#include "tapisim.h"

#include <arpa/inet.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <optional>
#include <utility>

namespace tapi {

namespace {

constexpr std::array kOutcomeNames{ "answer", "busy", "noanswer", "badaddress", "reject", "manual" };
constexpr DWORD kMinRingPeriodMs = 500;
constexpr DWORD kMaxRingPeriodMs = 60000;
constexpr std::size_t kMaxSipText = 128;

std::string_view Trim(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

bool ParseNumber(std::string_view text, DWORD& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

bool ParseBool(std::string_view text, bool& value)
{
    if (text == "yes" || text == "true" || text == "1")
        value = true;
    else if (text == "no" || text == "false" || text == "0")
        value = false;
    else
        return false;
    return true;
}

// Characters of SIP user names, host names and URIs (RFC 3261 unreserved, escaped and the
// delimiters of a URI); anything else, such as blanks, quotes or angle brackets, could break out
// of the header a value is written into.
bool IsUriText(std::string_view text)
{
    static constexpr std::string_view kAllowed = "-_.!~*'()&=+$,;?/%:@[]#";
    return !text.empty() && text.size() <= kMaxSipText && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || kAllowed.find(c) != std::string_view::npos;
    });
}

// A display name is written between quotes: no quote, backslash or control character.
bool IsDisplayName(std::string_view text)
{
    return text.size() <= kMaxSipText && std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F || c == '"' || c == '\\';
    });
}

bool ParseRange(std::string_view text, DWORD low, DWORD high, DWORD& value)
{
    DWORD parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size() || parsed < low || parsed > high)
        return false;
    value = parsed;
    return true;
}

std::string SipText(std::string& field, std::string_view value, const char* key)
{
    if (!IsUriText(value))
        return std::string(key) + " must be 1 to 128 characters of a SIP address (no blanks, quotes or <>)";
    field = value;
    return {};
}

// IP addresses separated by commas or blanks, at most 32 of them.
std::string AddressList(std::vector<std::string>& field, std::string_view value)
{
    constexpr std::size_t kMaxAddresses = 32;
    const std::string error = "allow-calls-from must be 1 to 32 IP addresses separated by commas";
    std::vector<std::string> addresses;
    std::size_t at = 0;
    while ((at = value.find_first_not_of(", \t", at)) != std::string_view::npos) {
        const std::size_t end = std::min(value.find_first_of(", \t", at), value.size());
        std::string address(value.substr(at, end - at));
        in6_addr parsed{};
        if (::inet_pton(AF_INET, address.c_str(), &parsed) != 1
            && ::inet_pton(AF_INET6, address.c_str(), &parsed) != 1)
            return error + " (" + address + " is not one)";
        addresses.push_back(std::move(address));
        at = end;
    }
    if (addresses.empty() || addresses.size() > kMaxAddresses)
        return error;
    field = std::move(addresses);
    return {};
}

// A file of certificate authorities must be there and readable now; its certificates are loaded
// when the line starts.
std::string CaFile(std::string& field, std::string_view value)
{
    const std::string path(value);
    if (path.empty() || path.size() > 4096)
        return "ca-file must be a path";
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error) || ::access(path.c_str(), R_OK) != 0)
        return "ca-file " + path + " is not a file that can be read";
    field = path;
    return {};
}

// The account keys of a line of kind sip; an empty answer when the key was taken.
std::optional<std::string> SipValue(SipAccount& sip, std::string_view key, std::string_view value)
{
    if (key == "display-name") {
        if (!IsDisplayName(value))
            return "display-name has at most 128 characters and no quotes, backslashes or control characters";
        sip.displayName = value;
        return std::string();
    }
    const std::pair<const char*, std::string*> texts[] = { { "user", &sip.user }, { "domain", &sip.domain },
        { "registrar", &sip.registrar }, { "outbound-proxy", &sip.outboundProxy },
        { "fallback-outbound-proxy", &sip.fallbackOutboundProxy }, { "auth-user", &sip.authUser },
        { "local-address", &sip.localAddress } };
    for (const auto& [name, field] : texts)
        if (key == name)
            return SipText(*field, value, name);
    if (key == "password-file") {
        if (value.empty() || value.size() > 4096)
            return "password-file must be a path";
        sip.passwordFile = value;
        return std::string();
    }
    if (key == "ca-file")
        return CaFile(sip.caFile, value);
    if (key == "transport") {
        if (value == "udp")
            sip.transport = SipTransport::Udp;
        else if (value == "tcp")
            sip.transport = SipTransport::Tcp;
        else if (value == "tls")
            sip.transport = SipTransport::Tls;
        else
            return "transport must be udp, tcp or tls";
        return std::string();
    }
    if (key == "local-port")
        return ParseRange(value, 0, 65535, sip.localPort) ? std::string() : "local-port must be 0 to 65535";
    if (key == "register")
        return ParseBool(value, sip.registers) ? std::string() : "register must be yes or no";
    if (key == "register-interval")
        return ParseRange(value, 60, 86400, sip.registerIntervalS)
            ? std::string()
            : "register-interval must be 60 to 86400 seconds";
    if (key == "allow-calls-from")
        return AddressList(sip.allowCallsFrom, value);
    if (key == "rtp-timeout")
        return ParseRange(value, 2, 3600, sip.rtpTimeoutS) ? std::string()
                                                           : "rtp-timeout must be 2 to 3600 seconds";
    if (key == "present-as") {
        if (value != "ip" && value != "analog")
            return "present-as must be ip or analog";
        sip.presentsAsAnalog = value == "analog";
        return std::string();
    }
    return std::nullopt;
}

LineConfig MakeLine(std::string name, LineKind kind)
{
    LineConfig line;
    line.name = std::move(name);
    line.kind = kind;
    line.hasPhone = kind != LineKind::Modem;
    return line;
}

// Reads the configuration one line at a time; each method answers an error text, empty when fine.
class ConfigParser {
public:
    explicit ConfigParser(DeviceConfig& config)
        : m_config(config)
    {
    }

    std::string Line(std::string_view text)
    {
        text = Trim(text);
        if (text.empty() || text.front() == '#' || text.front() == ';')
            return {};
        if (text.front() == '[')
            return Section(text);
        const auto equals = text.find('=');
        if (equals == std::string_view::npos)
            return "expected \"key = value\"";
        return Value(Trim(text.substr(0, equals)), Trim(text.substr(equals + 1)));
    }

    std::string Finish()
    {
        if (m_config.lines.empty())
            return "no [line] section";
        return CheckLastLine();
    }

private:
    std::string Section(std::string_view text)
    {
        if (auto error = CheckLastLine(); !error.empty())
            return error;
        if (text == "[line]") {
            if (m_config.lines.size() >= kMaxLines)
                return "more than " + std::to_string(kMaxLines) + " lines";
            m_config.lines.push_back(LineConfig{});
            m_section = Kind::Line;
        } else if (text == "[dial]") {
            m_config.dialPlan.push_back(DialRule{});
            m_section = Kind::Dial;
        } else {
            return "unknown section " + std::string(text);
        }
        return {};
    }

    std::string CheckLastLine()
    {
        if (m_section == Kind::Line && m_config.lines.back().name.empty())
            return "the [line] section before this point has no name";
        if (m_section == Kind::Line && m_config.lines.back().kind == LineKind::Sip
            && (m_config.lines.back().sip.user.empty() || m_config.lines.back().sip.domain.empty()))
            return "the sip line before this point needs a user and a domain";
        if (m_section == Kind::Line && !m_config.lines.back().sip.fallbackOutboundProxy.empty()
            && m_config.lines.back().sip.outboundProxy.empty())
            return "the sip line before this point has a fallback-outbound-proxy but no outbound-proxy";
        if (m_section == Kind::Dial && m_config.dialPlan.back().pattern.empty())
            return "the [dial] section before this point has no pattern";
        return {};
    }

    std::string Value(std::string_view key, std::string_view value)
    {
        switch (m_section) {
        case Kind::Line:
            return LineValue(m_config.lines.back(), key, value);
        case Kind::Dial:
            return DialValue(m_config.dialPlan.back(), key, value);
        case Kind::None:
            break;
        }
        return "\"" + std::string(key) + "\" outside a section";
    }

    std::string LineValue(LineConfig& line, std::string_view key, std::string_view value)
    {
        if (key == "name")
            return LineName(line, value);
        if (key == "kind") {
            if (value == "analog")
                line.kind = LineKind::Analog;
            else if (value == "ip")
                line.kind = LineKind::Ip;
            else if (value == "modem")
                line.kind = LineKind::Modem;
            else if (value == "sip")
                line.kind = LineKind::Sip;
            else
                return "kind must be analog, ip, sip or modem";
            line.hasPhone = line.kind != LineKind::Modem;
            return {};
        }
        if (key == "phone")
            return ParseBool(value, line.hasPhone) ? std::string() : "phone must be yes or no";
        if (key == "ring-period-ms") {
            if (!ParseNumber(value, line.ringPeriodMs) || line.ringPeriodMs < kMinRingPeriodMs
                || line.ringPeriodMs > kMaxRingPeriodMs)
                return "ring-period-ms must be a number from 500 to 60000";
            return {};
        }
        if (line.kind == LineKind::Sip)
            if (auto error = SipValue(line.sip, key, value))
                return *error;
        return "unknown key \"" + std::string(key) + "\"";
    }

    std::string LineName(LineConfig& line, std::string_view value)
    {
        if (value.empty() || value.size() > kMaxLineNameLength)
            return "a line name has 1 to 103 characters";
        for (const auto& other : m_config.lines)
            if (other.name == value)
                return "the line name \"" + std::string(value) + "\" is used twice";
        line.name = value;
        return {};
    }

    static std::string DialValue(DialRule& rule, std::string_view key, std::string_view value)
    {
        if (key == "pattern") {
            if (value.empty())
                return "a pattern cannot be empty";
            rule.pattern = value;
            return {};
        }
        if (key == "outcome")
            return ParseOutcome(value, rule.outcome)
                ? std::string()
                : "outcome must be answer, busy, noanswer, badaddress, reject or manual";
        if (key == "delay-ms")
            return ParseNumber(value, rule.delayMs) ? std::string() : "delay-ms must be a number";
        if (key == "hang-up-after-ms")
            return ParseNumber(value, rule.hangUpAfterMs) ? std::string()
                                                          : "hang-up-after-ms must be a number";
        return "unknown key \"" + std::string(key) + "\"";
    }

    enum class Kind { None, Line, Dial };
    DeviceConfig& m_config;
    Kind m_section = Kind::None;
};

} // namespace

DWORD LineConfig::BearerModes() const
{
    switch (kind) {
    case LineKind::Analog:
        return LINEBEARERMODE_VOICE;
    case LineKind::Ip:
        return LINEBEARERMODE_VOICE | LINEBEARERMODE_DATA;
    case LineKind::Sip:
        return sip.presentsAsAnalog ? DWORD(LINEBEARERMODE_VOICE)
                                    : DWORD(LINEBEARERMODE_VOICE | LINEBEARERMODE_DATA);
    case LineKind::Modem:
        return LINEBEARERMODE_DATA;
    }
    return 0;
}

DWORD LineConfig::MediaModes() const
{
    if (kind == LineKind::Modem)
        return LINEMEDIAMODE_DATAMODEM;
    return LINEMEDIAMODE_UNKNOWN | LINEMEDIAMODE_INTERACTIVEVOICE | LINEMEDIAMODE_AUTOMATEDVOICE;
}

DeviceConfig DeviceConfig::BuiltIn()
{
    DeviceConfig config;
    for (int i = 1; i <= 4; ++i)
        config.lines.push_back(MakeLine("Zo-Linka Line " + std::to_string(i), LineKind::Analog));
    for (int i = 1; i <= 2; ++i)
        config.lines.push_back(MakeLine("IP Line " + std::to_string(i), LineKind::Ip));
    config.lines.push_back(MakeLine("Data Modem", LineKind::Modem));
    return config;
}

bool DeviceConfig::Parse(std::string_view text, DeviceConfig& config, std::string& error)
{
    DeviceConfig parsed;
    ConfigParser parser(parsed);
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const auto end = text.find('\n');
        const auto line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (auto message = parser.Line(line); !message.empty()) {
            error = "line " + std::to_string(lineNumber) + ": " + message;
            return false;
        }
    }
    if (auto message = parser.Finish(); !message.empty()) {
        error = "line " + std::to_string(lineNumber) + ": " + message;
        return false;
    }
    config = std::move(parsed);
    return true;
}

bool ParseOutcome(std::string_view word, DWORD& outcome)
{
    for (std::size_t i = 0; i < kOutcomeNames.size(); ++i) {
        if (word == kOutcomeNames[i]) {
            outcome = static_cast<DWORD>(i);
            return true;
        }
    }
    return false;
}

const char* OutcomeName(DWORD outcome)
{
    return outcome < kOutcomeNames.size() ? kOutcomeNames[outcome] : "?";
}

} // namespace tapi
