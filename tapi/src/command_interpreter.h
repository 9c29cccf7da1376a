#pragma once

#include "tapi.h"

#include <string>
#include <vector>

namespace tapi {

class Exchange;

// The text commands of the control socket and of tapisimCommand. Line numbers are 1-based.
class CommandInterpreter {
public:
    explicit CommandInterpreter(Exchange& exchange)
        : m_exchange(exchange)
    {
    }

    // Runs one command line; the reply ends with a newline and starts with "error: " on failure.
    LONG Run(const std::string& command, std::string& reply);

private:
    using Words = std::vector<std::string>;

    LONG Dispatch(const Words& words, std::string& reply);
    LONG Ring(const Words& words, std::string& reply);
    LONG Play(const Words& words, std::string& reply);
    LONG Handset(const Words& words, std::string& reply);
    LONG DialPlan(const Words& words, std::string& reply);
    LONG Request(const Words& words, std::string& reply);
    LONG LineCommand(const Words& words, std::string& reply);
    bool LineArgument(const Words& words, std::size_t index, DWORD& line, std::string& reply);

    Exchange& m_exchange;
};

} // namespace tapi
