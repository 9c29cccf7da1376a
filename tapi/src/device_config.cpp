#include "device_config.h"

#include "tapisim.h"

#include <array>
#include <charconv>

namespace tapi {

namespace {

constexpr std::array kOutcomeNames{ "answer", "busy", "noanswer", "badaddress", "reject", "manual" };
constexpr DWORD kMinRingPeriodMs = 500;
constexpr DWORD kMaxRingPeriodMs = 60000;

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
            else
                return "kind must be analog, ip or modem";
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
