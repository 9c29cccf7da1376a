// linesim: drives the simulated exchange of a running Kestrium through its control socket.

#include "command_help.h"
#include "command_words.h"
#include "control_client.h"
#include "terminal_text.h"

#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

namespace {

void PrintUsage()
{
    std::cout
        << "Usage: linesim [--socket PATH] COMMAND [ARGUMENTS...]\n"
           "\n"
           "Controls the simulated telephone exchange of a running Kestrium: rings lines, plays the far\n"
           "end, answers or refuses dialled calls, lifts handsets and shows what the far end heard.\n"
           "The exchange listens on $XDG_RUNTIME_DIR/kestrium-telephony.sock\n"
           "($KESTRIUM_TELEPHONY_SOCKET or --socket name another socket).\n"
           "\n"
        << tapi::kControlCommandHelp
        << "\n"
           "Examples:\n"
           "  linesim list\n"
           "  linesim ring 1 2125550100 \"Alice Example\" --give-up 5\n"
           "  linesim ring 2 --blocked\n"
           "  linesim play 1 greeting.wav\n"
           "  linesim dialplan add 555* busy\n"
           "  linesim heard 1\n";
}

// Replies and errors carry caller names and file names: they are printed escaped.
void Print(std::ostream& out, const std::string& text)
{
    out << tapi::EscapeForTerminal(text, true);
}

// The service runs in another working folder: "play LINE FILE" sends FILE as an absolute path.
bool ResolveFileArgument(std::vector<std::string>& words)
{
    if (words.size() != 3 || words[0] != "play" || words[2].rfind("--", 0) == 0)
        return true;
    std::error_code error;
    const std::filesystem::path file = std::filesystem::absolute(words[2], error);
    if (error) {
        Print(std::cerr, "linesim: cannot tell where " + words[2] + " is (" + error.message() + ")\n");
        return false;
    }
    words[2] = file.string();
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    std::string socket;
    int first = 1;
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        PrintUsage();
        return 0;
    }
    if (argc > 2 && std::strcmp(argv[1], "--socket") == 0) {
        socket = argv[2];
        first = 3;
    }
    if (first >= argc) {
        PrintUsage();
        return 2;
    }
    std::string error;
    if (socket.empty())
        socket = tapi::ControlSocketPathFromEnvironment(error);
    if (socket.empty()) {
        Print(std::cerr, "linesim: " + error + "\n");
        return 2;
    }
    std::vector<std::string> words(argv + first, argv + argc);
    if (!ResolveFileArgument(words))
        return 2;
    std::string command;
    for (const std::string& word : words)
        command += (command.empty() ? "" : " ") + tapi::QuoteCommandWord(word);
    std::string reply;
    if (!tapi::SendControlCommand(socket, command, reply, error)) {
        Print(std::cerr, "linesim: " + error + "\nIs Kestrium running?\n");
        return 2;
    }
    const bool failed = reply.rfind("error: ", 0) == 0;
    Print(failed ? std::cerr : std::cout, (failed ? "linesim: " : "") + reply);
    return failed ? 1 : 0;
}
