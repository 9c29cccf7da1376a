#include "telephony/colleague_lines.h"

#include "telephony/tapi_binding.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace {

ColleagueLines::State StateOfCode(DWORD_PTR code)
{
    switch (code) {
    case TAPIWATCH_IDLE:
        return ColleagueLines::State::Idle;
    case TAPIWATCH_RINGING:
        return ColleagueLines::State::Ringing;
    case TAPIWATCH_INCALL:
        return ColleagueLines::State::InCall;
    default:
        return ColleagueLines::State::Unknown;
    }
}

std::string_view Trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace

ColleagueLines::ColleagueLines(TapiBinding& tapi)
    : m_tapi(tapi)
{
}

bool ColleagueLines::IsColleagueNumber(std::string_view number)
{
    const std::string_view text = Trimmed(number);
    if (text.size() > TAPIWATCH_MAXADDRESS || text.find('\n') != std::string_view::npos)
        return false;
    if (text.starts_with("sip:") || text.starts_with("sips:"))
        return text.size() > 5;
    if (const auto at = text.find('@'); at != std::string_view::npos)
        return at > 0 && at + 1 < text.size();
    std::size_t digits = 0;
    for (char c : text) {
        if (std::isdigit(static_cast<unsigned char>(c)))
            ++digits;
        else if (c != ' ' && c != '-')
            return false;
    }
    return digits >= 2 && digits <= kMaxExtensionDigits;
}

void ColleagueLines::SetNumbers(const std::vector<std::string_view>& numbers)
{
    std::vector<std::string> wanted;
    std::set<std::string_view> seen;
    for (std::string_view number : numbers) {
        const std::string_view text = Trimmed(number);
        if (wanted.size() < TAPIWATCH_MAXLINES && IsColleagueNumber(text) && seen.insert(text).second)
            wanted.emplace_back(text);
    }
    if (wanted == m_numbers)
        return;
    const bool anyKnown
        = std::any_of(m_states.begin(), m_states.end(), [](State state) { return state != State::Unknown; });
    m_numbers = std::move(wanted);
    // The service keeps the states of entries it watched before; Send asks it for all of them.
    m_states.assign(m_numbers.size(), State::Unknown);
    if (anyKnown && m_changed) // the states shown so far are gone
        m_changed();
    if (m_line && !Send())
        UseLines(m_candidates);
}

void ColleagueLines::UseLines(const std::vector<HLINE>& lines)
{
    m_candidates = lines;
    m_line = 0;
    for (HLINE line : lines) {
        m_line = line;
        if (Send())
            return;
    }
    m_line = 0;
    SetAllUnknown();
}

void ColleagueLines::ForgetLines()
{
    m_candidates.clear();
    m_line = 0;
    SetAllUnknown();
}

bool ColleagueLines::Send()
{
    std::string list;
    for (const std::string& number : m_numbers)
        list += number + "\n";
    if (m_tapi.tapiWatchLines(m_line, list.c_str()) != 0)
        return false;
    std::vector<State> states = m_states;
    for (std::size_t i = 0; i < m_numbers.size(); ++i) {
        DWORD state = TAPIWATCH_UNKNOWN;
        if (m_tapi.tapiGetWatchedLine(m_line, DWORD(i), &state) == 0)
            states[i] = StateOfCode(state);
    }
    SetStates(std::move(states));
    return true;
}

void ColleagueLines::SetAllUnknown()
{
    SetStates(std::vector<State>(m_states.size(), State::Unknown));
}

// The window hears of a change only when a state did change: telling it costs a pass over the
// contacts it shows.
void ColleagueLines::SetStates(std::vector<State> states)
{
    if (states == m_states)
        return;
    m_states = std::move(states);
    if (m_changed)
        m_changed();
}

void ColleagueLines::OnDevSpecific(HLINE line, DWORD_PTR kind, DWORD_PTR index, DWORD_PTR state)
{
    if (kind != TAPIDEVSPECIFIC_WATCHEDLINE || line != m_line || index >= m_states.size())
        return;
    std::vector<State> states = m_states;
    states[index] = StateOfCode(state);
    SetStates(std::move(states));
}

ColleagueLines::State ColleagueLines::StateOf(std::string_view number) const
{
    const std::string_view text = Trimmed(number);
    const auto it = std::find(m_numbers.begin(), m_numbers.end(), text);
    return it == m_numbers.end() ? State::Unknown : m_states[std::size_t(it - m_numbers.begin())];
}
