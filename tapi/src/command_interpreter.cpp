#include "command_interpreter.h"

#include "command_help.h"
#include "command_words.h"
#include "exchange.h"

#include <charconv>
#include <cstring>

namespace tapi {

namespace {

bool ParseNumber(const std::string& text, DWORD& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

LONG Fail(std::string& reply, LONG code, const std::string& message)
{
    reply = "error: " + message + "\n";
    return code;
}

std::string ErrorText(LONG code)
{
    switch (code) {
    case TAPISIM_E_BADLINE:
        return "no such line";
    case TAPISIM_E_NOCALL:
        return "the line has no call for that";
    case TAPISIM_E_BUSY:
        return "the line already has a call";
    case TAPISIM_E_FILE:
        return "the file cannot be played";
    default:
        return "the command failed";
    }
}

LONG Done(std::string& reply, LONG code, const std::string& ok)
{
    if (code != TAPISIM_OK)
        return Fail(reply, code, ErrorText(code));
    reply = ok + "\n";
    return TAPISIM_OK;
}

} // namespace

LONG CommandInterpreter::Run(const std::string& command, std::string& reply)
{
    Words words;
    if (command.size() > 4096)
        return Fail(reply, TAPISIM_E_BADARG, "the command is too long");
    if (command.find('\0') != std::string::npos || !SplitCommandWords(command, words))
        return Fail(reply, TAPISIM_E_BADARG, "the command cannot be read (an unterminated quote?)");
    if (words.empty())
        return Fail(reply, TAPISIM_E_BADARG, "empty command; try \"help\"");
    // Commands come from outside the application: whatever goes wrong is a refused command, never
    // an exception in the thread that serves the control socket.
    try {
        return Dispatch(words, reply);
    } catch (const std::exception& e) {
        return Fail(reply, TAPISIM_E_FAILED, std::string("the command failed (") + e.what() + ")");
    }
}

LONG CommandInterpreter::Dispatch(const Words& words, std::string& reply)
{
    const std::string& verb = words[0];
    if (verb == "help") {
        reply = kControlCommandHelp;
        return TAPISIM_OK;
    }
    if (verb == "list") {
        reply = m_exchange.DescribeLines();
        return TAPISIM_OK;
    }
    if (verb == "reload") {
        std::string message;
        if (const LONG result = m_exchange.ReloadConfig(message); result != TAPISIM_OK)
            return Fail(reply, result, message);
        reply = "reloaded the lines' accounts\n";
        return TAPISIM_OK;
    }
    if (verb == "ring")
        return Ring(words, reply);
    if (verb == "play")
        return Play(words, reply);
    if (verb == "handset")
        return Handset(words, reply);
    if (verb == "dialplan")
        return DialPlan(words, reply);
    if (verb == "request")
        return Request(words, reply);
    if (verb == "hangup" || verb == "hold" || verb == "unhold")
        return CallCommand(words, reply);
    if (verb == "transfer")
        return Transfer(words, reply);
    if (verb == "answer" || verb == "refuse" || verb == "heard" || verb == "clear")
        return LineCommand(words, reply);
    return Fail(reply, TAPISIM_E_BADARG, "unknown command \"" + verb.substr(0, 40) + "\"; try \"help\"");
}

bool CommandInterpreter::LineArgument(const Words& words, std::size_t index, DWORD& line, std::string& reply)
{
    DWORD number = 0;
    if (index >= words.size() || !ParseNumber(words[index], number) || number == 0
        || number > m_exchange.LineDeviceCount()) {
        Fail(reply, TAPISIM_E_BADLINE,
            "a line number from 1 to " + std::to_string(m_exchange.LineDeviceCount()) + " is needed");
        return false;
    }
    line = number - 1;
    return true;
}

LONG CommandInterpreter::LineCommand(const Words& words, std::string& reply)
{
    DWORD line = 0;
    if (!LineArgument(words, 1, line, reply))
        return TAPISIM_E_BADLINE;
    if (words.size() > 2)
        return Fail(reply, TAPISIM_E_BADARG, "too many arguments");
    const std::string& verb = words[0];
    if (verb == "answer")
        return Done(reply, m_exchange.AnswerDialled(line, true), "the far end answered");
    if (verb == "refuse")
        return Done(reply, m_exchange.AnswerDialled(line, false), "the far end refused the call");
    if (verb == "clear")
        return Done(reply, m_exchange.ClearHeard(line), "cleared");
    LONG result = TAPISIM_OK;
    reply = m_exchange.DescribeHeard(line, result);
    return result;
}

// The far end of one call: the line's current call, or the call numbered as "list" shows it.
LONG CommandInterpreter::CallCommand(const Words& words, std::string& reply)
{
    DWORD line = 0;
    if (!LineArgument(words, 1, line, reply))
        return TAPISIM_E_BADLINE;
    DWORD call = 0;
    if (words.size() > 3)
        return Fail(reply, TAPISIM_E_BADARG, "too many arguments");
    if (words.size() == 3 && (!ParseNumber(words[2], call) || call == 0))
        return Fail(reply, TAPISIM_E_BADARG, "CALL is a call number as \"list\" shows it");
    const std::string& verb = words[0];
    if (verb == "hangup")
        return Done(reply, m_exchange.FarEndHangUp(line, call), "the far end hung up");
    const bool hold = verb == "hold";
    return Done(reply, m_exchange.FarEndHold(line, call, hold),
        hold ? "the far end put the call on hold" : "the far end took the call back");
}

// transfer LINE [CALL] NUMBER: the far end hands the call to NUMBER.
LONG CommandInterpreter::Transfer(const Words& words, std::string& reply)
{
    DWORD line = 0;
    if (!LineArgument(words, 1, line, reply))
        return TAPISIM_E_BADLINE;
    if (words.size() < 3)
        return Fail(reply, TAPISIM_E_BADARG, "the number to transfer the call to is needed");
    if (words.size() > 4)
        return Fail(reply, TAPISIM_E_BADARG, "too many arguments");
    DWORD call = 0;
    if (words.size() == 4 && (!ParseNumber(words[2], call) || call == 0))
        return Fail(reply, TAPISIM_E_BADARG, "CALL is a call number as \"list\" shows it");
    const std::string& number = words.back();
    const LONG result = m_exchange.FarEndTransfer(line, call, number);
    if (result == TAPISIM_E_BADARG)
        return Fail(reply, result, "NUMBER must hold at least one digit");
    return Done(reply, result, "the far end transferred the call to " + number);
}

LONG CommandInterpreter::Ring(const Words& words, std::string& reply)
{
    DWORD line = 0;
    if (!LineArgument(words, 1, line, reply))
        return TAPISIM_E_BADLINE;
    TAPISIM_CALLER caller{};
    std::vector<const std::string*> positional;
    for (std::size_t i = 2; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word == "--blocked") {
            caller.flags |= TAPISIM_CALLER_BLOCKED;
        } else if (word == "--out-of-area") {
            caller.flags |= TAPISIM_CALLER_OUTOFAREA;
        } else if (word == "--disconnects") {
            caller.flags |= TAPISIM_CALLER_DISCONNECTS;
        } else if (word == "--give-up" || word == "--hang-up-after") {
            DWORD value = 0;
            if (i + 1 >= words.size() || !ParseNumber(words[i + 1], value) || value > 86400)
                return Fail(reply, TAPISIM_E_BADARG, word + " needs a number");
            if (word == "--give-up")
                caller.giveUpAfterRings = value;
            else
                caller.hangUpAfterMs = value * 1000;
            ++i;
        } else if (word.rfind("--", 0) == 0) {
            return Fail(reply, TAPISIM_E_BADARG, "unknown option " + word.substr(0, 40));
        } else {
            positional.push_back(&word);
        }
    }
    if (positional.size() > 2)
        return Fail(reply, TAPISIM_E_BADARG, "ring takes a number and a name; quote a name with blanks");
    if (!positional.empty())
        caller.number = positional[0]->c_str();
    if (positional.size() > 1)
        caller.name = positional[1]->c_str();
    return Done(reply, m_exchange.Ring(line, caller), "ringing line " + words[1]);
}

LONG CommandInterpreter::Play(const Words& command, std::string& reply)
{
    DWORD line = 0;
    if (!LineArgument(command, 1, line, reply))
        return TAPISIM_E_BADLINE;
    // "--call CALL": a tone from that call's own far end (a consulted or conferenced party).
    Words words = command;
    DWORD call = 0;
    if (words.size() >= 4 && words[2] == "--call") {
        if (!ParseNumber(words[3], call) || call == 0)
            return Fail(reply, TAPISIM_E_BADARG, "--call needs a call number from \"list\"");
        words.erase(words.begin() + 2, words.begin() + 4);
        if (words.size() < 4 || words[2] != "--tone")
            return Fail(reply, TAPISIM_E_BADARG, "play LINE --call CALL --tone HZ [DBM0]");
    }
    if (words.size() == 3 && words[2] == "--silence")
        return Done(reply, m_exchange.SetFarEndSilence(line), "the far end is silent");
    if (words.size() >= 4 && words.size() <= 5 && words[2] == "--tone") {
        DWORD frequency = 0;
        int level = -10;
        if (!ParseNumber(words[3], frequency))
            return Fail(reply, TAPISIM_E_BADARG, "--tone needs a frequency in Hz");
        if (words.size() == 5) {
            const auto [end, error]
                = std::from_chars(words[4].data(), words[4].data() + words[4].size(), level);
            if (error != std::errc() || end != words[4].data() + words[4].size())
                return Fail(reply, TAPISIM_E_BADARG, "the level is a number of dBm0, like -10");
        }
        const LONG result = m_exchange.SetFarEndTone(line, frequency, level, call);
        if (result == TAPISIM_E_BADARG)
            return Fail(reply, result, "the tone needs 1 to 4000 Hz and a level from -60 to 3 dBm0");
        const std::string who = call ? "the far end of call " + std::to_string(call) : "the far end";
        return Done(reply, result, who + " sends " + words[3] + " Hz");
    }
    if (words.size() == 3 && words[2].rfind("--", 0) != 0) {
        const LONG result = m_exchange.SetFarEndWave(line, words[2]);
        if (result == TAPISIM_E_FILE)
            return Fail(reply, result, m_exchange.LastError());
        return Done(reply, result, "the far end plays " + words[2]);
    }
    return Fail(
        reply, TAPISIM_E_BADARG, "play LINE FILE.wav | play LINE --tone HZ [DBM0] | play LINE --silence");
}

LONG CommandInterpreter::Handset(const Words& words, std::string& reply)
{
    DWORD line = 0;
    if (!LineArgument(words, 1, line, reply))
        return TAPISIM_E_BADLINE;
    if (words.size() != 3 || (words[2] != "up" && words[2] != "down"))
        return Fail(reply, TAPISIM_E_BADARG, "handset LINE up|down");
    const int phone = m_exchange.PhoneIdOfLine(line);
    if (phone < 0)
        return Fail(reply, TAPISIM_E_BADLINE, "line " + words[1] + " has no phone");
    return Done(reply, m_exchange.SetHandset(static_cast<DWORD>(phone), words[2] == "up"),
        words[2] == "up" ? "the handset is lifted" : "the handset is down");
}

LONG CommandInterpreter::DialPlan(const Words& words, std::string& reply)
{
    if (words.size() == 1) {
        reply.clear();
        for (const auto& rule : m_exchange.DialRules())
            reply += rule.pattern + " " + OutcomeName(rule.outcome) + " " + std::to_string(rule.delayMs) + " "
                + std::to_string(rule.hangUpAfterMs) + "\n";
        reply += "* answer 3000 0 (default)\n";
        return TAPISIM_OK;
    }
    if (words.size() == 2 && words[1] == "clear")
        return Done(reply, m_exchange.ClearDialPlan(), "the dial plan is empty");
    if (words[1] != "add" || words.size() < 4 || words.size() > 6)
        return Fail(
            reply, TAPISIM_E_BADARG, "dialplan [clear | add PATTERN OUTCOME [DELAY_MS [HANG_UP_AFTER_MS]]]");
    DialRule rule;
    rule.pattern = words[2];
    if (!ParseOutcome(words[3], rule.outcome))
        return Fail(
            reply, TAPISIM_E_BADARG, "OUTCOME is answer, busy, noanswer, badaddress, reject or manual");
    if ((words.size() > 4 && !ParseNumber(words[4], rule.delayMs))
        || (words.size() > 5 && !ParseNumber(words[5], rule.hangUpAfterMs)))
        return Fail(reply, TAPISIM_E_BADARG, "DELAY_MS and HANG_UP_AFTER_MS are numbers of milliseconds");
    return Done(reply, m_exchange.AddDialRule(rule), "rule added");
}

LONG CommandInterpreter::Request(const Words& words, std::string& reply)
{
    if (words.size() < 2 || words.size() > 5)
        return Fail(reply, TAPISIM_E_BADARG, "request NUMBER [APP [NAME [COMMENT]]]");
    LINEREQMAKECALL request{};
    const auto copy = [&](char* out, std::size_t size, std::size_t index) {
        if (index < words.size())
            std::strncpy(out, words[index].c_str(), size - 1);
    };
    if (words[1].empty() || words[1].size() >= sizeof request.szDestAddress)
        return Fail(reply, TAPISIM_E_BADARG, "the number has 1 to 79 characters");
    copy(request.szDestAddress, sizeof request.szDestAddress, 1);
    copy(request.szAppName, sizeof request.szAppName, 2);
    copy(request.szCalledParty, sizeof request.szCalledParty, 3);
    copy(request.szComment, sizeof request.szComment, 4);
    DWORD id = 0;
    const bool awaited = m_requestAnswerLimit.count() > 0;
    const LONG result = m_exchange.RequestMakeCall(request, awaited ? &id : nullptr);
    if (result == TAPIERR_NOREQUESTRECIPIENT)
        return Fail(reply, TAPISIM_E_NOCALL, "no application serves dialing requests");
    if (result == TAPIERR_REQUESTQUEUEFULL)
        return Fail(reply, TAPISIM_E_BUSY, "too many dialing requests are waiting");
    if (!awaited) {
        reply = "requested\n";
        return TAPISIM_OK;
    }
    return RequestFateReply(m_exchange.WaitForRequestFate(id, m_requestAnswerLimit), reply);
}

// The requester learns whether the call was placed: the recipient answers at once when it runs.
LONG CommandInterpreter::RequestFateReply(Exchange::RequestFate fate, std::string& reply)
{
    switch (fate) {
    case Exchange::RequestFate::Placed:
        reply = "placed\n";
        return TAPISIM_OK;
    case Exchange::RequestFate::Failed:
        return Fail(reply, TAPISIM_E_FAILED, "the dialing application could not place the call");
    case Exchange::RequestFate::NotTaken:
        return Fail(reply, TAPISIM_E_BUSY,
            "the dialing application did not take the request in time; it was withdrawn");
    case Exchange::RequestFate::Unanswered:
        break;
    }
    reply = "requested\n";
    return TAPISIM_OK;
}

} // namespace tapi
