// kestrium-dial: another application's dialing request (assisted telephony), also the handler
// of tel: links.

#include "tapi.h"
#include "tel_link.h"
#include "terminal_text.h"

#include <cstring>
#include <iostream>
#include <string>

namespace {

void PrintUsage()
{
    std::cout << "Usage: kestrium-dial NUMBER [NAME]\n"
                 "       kestrium-dial tel:NUMBER\n"
                 "\n"
                 "Asks the system dialer to place a call to NUMBER (assisted telephony). The application\n"
                 "that serves dialing requests (Kestrium, when \"Use this application to handle dialing\n"
                 "from other applications.\" is ticked in its setup) places the call on its default line;\n"
                 "NAME is shown as the called party. A tel: link is accepted as it is, for example\n"
                 "tel:+1-212-555-0100; a number holding a control character is refused.\n"
                 "\n"
                 "Exit status: 0 when the request was handed over, 1 when no application serves dialing\n"
                 "requests or the request was refused, 2 for a wrong command line or a number that cannot be\n"
                 "dialled.\n";
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        PrintUsage();
        return 0;
    }
    if (argc < 2 || argc > 3) {
        PrintUsage();
        return 2;
    }
    std::string number;
    if (!kestrium_dial::NumberFromArgument(argv[1], number)) {
        std::cerr << "kestrium-dial: the number holds a control character (such as a NUL or a line feed, "
                     "perhaps written as %00 or %0A); nothing was dialled.\n";
        return 2;
    }
    const LONG result = tapiRequestMakeCallA(number.c_str(), "kestrium-dial", argc > 2 ? argv[2] : "", "");
    switch (result) {
    case 0:
        std::cout << "Asked the system dialer to call " << tapi::EscapeForTerminal(number, false) << ".\n";
        return 0;
    case TAPIERR_NOREQUESTRECIPIENT:
        std::cerr << "kestrium-dial: no application serves dialing requests, so nobody can place the call.\n"
                     "Start Kestrium and tick \"Use this application to handle dialing from other "
                     "applications.\" in its setup.\n";
        return 1;
    case TAPIERR_INVALDESTADDRESS:
        std::cerr << "kestrium-dial: \"" << tapi::EscapeForTerminal(number, false)
                  << "\" is not a number that can be dialled (1 to 79 characters).\n";
        return 2;
    case TAPIERR_REQUESTQUEUEFULL:
        std::cerr << "kestrium-dial: too many dialing requests are waiting; try again later.\n";
        return 1;
    default:
        std::cerr << "kestrium-dial: the request was refused (error " << result << ").\n";
        return 1;
    }
}
