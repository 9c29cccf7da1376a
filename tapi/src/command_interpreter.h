#pragma once

#include "exchange.h"
#include "tapi.h"

#include <chrono>
#include <string>
#include <vector>

namespace tapi {

// The text commands of the control socket and of tapisimCommand. Line numbers are 1-based.
class CommandInterpreter {
public:
    // A "request" waits up to `requestAnswerLimit` for the application that serves dialing
    // requests to say whether it placed the call; with none it answers once the request is queued
    // (the caller then runs that application's events itself).
    explicit CommandInterpreter(
        Exchange& exchange, std::chrono::milliseconds requestAnswerLimit = std::chrono::milliseconds(0))
        : m_exchange(exchange)
        , m_requestAnswerLimit(requestAnswerLimit)
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
    LONG RequestFateReply(Exchange::RequestFate fate, std::string& reply);
    LONG LineCommand(const Words& words, std::string& reply);
    LONG CallCommand(const Words& words, std::string& reply);
    LONG Transfer(const Words& words, std::string& reply);
    bool LineArgument(const Words& words, std::size_t index, DWORD& line, std::string& reply);

    Exchange& m_exchange;
    std::chrono::milliseconds m_requestAnswerLimit;
};

} // namespace tapi
