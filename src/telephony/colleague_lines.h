#pragma once

#include "tapi/include/tapi.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TapiBinding;

// Colleagues' lines in view: the contacts' numbers that are lines on the office's SIP server
// (extensions and SIP addresses) are watched through a SIP line of the program, and each one's
// state (idle, ringing, in a call) follows the service's reports. Without a SIP line, or with a
// server that has no presence, every state stays Unknown and nothing is shown.
class ColleagueLines {
public:
    enum class State { Unknown, Idle, Ringing, InCall };
    // Extensions are numbers of this many digits at most (longer ones are telephone numbers).
    static constexpr std::size_t kMaxExtensionDigits = 6;

    explicit ColleagueLines(TapiBinding& tapi);

    // A SIP address (sip:, sips:, user@host) or a short extension (2 to kMaxExtensionDigits digits;
    // blanks and dashes do not count).
    static bool IsColleagueNumber(std::string_view number);

    // The numbers to watch from now on; those that are no colleague numbers are left out, and the
    // list goes to the service only when it changed. At most TAPIWATCH_MAXLINES are watched.
    void SetNumbers(const std::vector<std::string_view>& numbers);
    // The lines that may watch, the preferred first: the first SIP line among them watches.
    void UseLines(const std::vector<HLINE>& lines);
    // The lines are closed: nothing is watched any more.
    void ForgetLines();
    // A LINE_DEVSPECIFIC message of a line.
    void OnDevSpecific(HLINE line, DWORD_PTR kind, DWORD_PTR index, DWORD_PTR state);

    State StateOf(std::string_view number) const;
    // The line that watches, 0 for none.
    HLINE WatchingLine() const { return m_line; }
    // Called after a state changed (the contacts tab and speed dials show them again).
    void SetChangeHandler(std::function<void()> handler) { m_changed = std::move(handler); }

private:
    bool Send();
    void SetAllUnknown();
    void SetStates(std::vector<State> states);

    TapiBinding& m_tapi;
    std::vector<HLINE> m_candidates;
    HLINE m_line = 0; // the line that watches, 0 for none
    std::vector<std::string> m_numbers;
    std::vector<State> m_states;
    std::function<void()> m_changed;
};
