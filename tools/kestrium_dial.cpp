// kestrium-dial: another application's dialing request (assisted telephony), and the handler of
// tel: and callto: links, which it hands to Kestrium, starting Kestrium first when it does not run.

#include "link_launcher.h"
#include "links/app_link.h"
#include "links/tel_link.h"
#include "tapi.h"
#include "terminal_text.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

using namespace kestrium_dial;

// A link is shown cut to this many characters: a very long one would fill the screen.
constexpr std::size_t kShownLinkLength = 100;

void PrintUsage()
{
    std::cout
        << "Usage: kestrium-dial NUMBER [NAME]\n"
           "       kestrium-dial tel:NUMBER | callto:NUMBER [NAME]\n"
           "       kestrium-dial --start [LINK]\n"
           "\n"
           "NUMBER: asks the system dialer to place a call to NUMBER (assisted telephony). The application\n"
           "that serves dialing requests (Kestrium, when \"Use this application to handle dialing\n"
           "from other applications.\" is ticked in its setup) places the call on its default line;\n"
           "NAME is shown as the called party.\n"
           "\n"
           "A tel: or callto: link (tel:+1-212-555-0100, callto://+12125550100) goes to Kestrium itself,\n"
           "whatever that setting says: the running Kestrium dials it on its default line. When Kestrium\n"
           "does not run, it is started in its data folder ($KESTRIUM_DATA, default ~/Kestrium) and\n"
           "dials once it is ready. A link with letters, a control character, no digit or more than\n"
           "79 characters is refused.\n"
           "\n"
           "--start: the desktop's way in (the menu entry and clicked links): starts Kestrium or brings\n"
           "its window to the front, then dials LINK when one is given; problems are also shown in a\n"
           "message box.\n"
           "\n"
           "Exit status: 0 when the call was placed (or handed to a dialer that does not say), 1 when\n"
           "nobody could take the request or the call was not placed, 2 for a wrong command line or a\n"
           "number that cannot be dialled.\n";
}

// Messages for the user: on standard error, and in a message box as well when the desktop started
// the program and a display can show one.
class Reporter {
public:
    explicit Reporter(bool desktop)
        : m_desktop(desktop)
    {
    }

    int Fail(const std::string& text, int status) const
    {
        std::cerr << "kestrium-dial: " << text << "\n";
        if (m_desktop && DisplayAvailable())
            ShowMessageBox(text);
        return status;
    }

private:
    // An offscreen or minimal platform has nobody to read the box, which would then wait forever.
    static bool DisplayAvailable()
    {
        const char* platform = std::getenv("QT_QPA_PLATFORM");
        if (platform && (std::strcmp(platform, "offscreen") == 0 || std::strcmp(platform, "minimal") == 0))
            return false;
        return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    }

    static void ShowMessageBox(const std::string& text)
    {
        int argc = 1;
        char name[] = "kestrium-dial";
        char* argv[] = { name, nullptr };
        QApplication qt(argc, argv);
        QMessageBox box(QMessageBox::Warning, "Kestrium", QString::fromStdString(text));
        box.setTextFormat(Qt::PlainText);
        box.exec();
    }

    bool m_desktop;
};

std::string Shown(std::string_view text)
{
    const bool cut = text.size() > kShownLinkLength;
    return "\"" + tapi::EscapeForTerminal(text.substr(0, kShownLinkLength), false) + (cut ? "...\"" : "\"");
}

std::filesystem::path KestriumProgram()
{
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error).parent_path() / "kestrium";
}

// Hands the command to Kestrium, starting it when needed; Kestrium's reply line, or a failure.
int HandToKestrium(const std::string& command, const std::string& what, const Reporter& reporter)
{
    std::string reply, error;
    if (!SendToKestrium(command, KestriumProgram(), DataFolderFromEnvironment(),
            std::chrono::duration_cast<std::chrono::milliseconds>(kStartLimit), reply, error))
        return reporter.Fail(error + "; " + what + ".", 1);
    reply = reply.substr(0, reply.find('\n'));
    if (reply.starts_with(kErrorReply))
        return reporter.Fail("Kestrium refused the request: "
                + tapi::EscapeForTerminal(reply.substr(kErrorReply.size()), false) + ".",
            1);
    return 0;
}

int DialLink(std::string_view link, std::string_view name, const Reporter& reporter)
{
    std::string number;
    if (const LinkProblem problem = NumberFromLink(link, number); problem != LinkProblem::None)
        return reporter.Fail(
            "cannot dial " + Shown(link) + ": " + LinkProblemText(problem) + "; nothing was dialled.", 2);
    if (HasControlCharacter(name))
        return reporter.Fail("the name holds a control character; nothing was dialled.", 2);
    const int status = HandToKestrium(DialCommand(number, name), "nothing was dialled", reporter);
    if (status == 0)
        std::cout << "Kestrium dials " << tapi::EscapeForTerminal(number, false) << ".\n";
    return status;
}

// The desktop entry's command: with a link, dials it; without, starts Kestrium or shows its window.
int StartFromDesktop(const std::vector<std::string_view>& arguments)
{
    const Reporter reporter(true);
    if (arguments.empty())
        return HandToKestrium(std::string(kShowCommand), "Kestrium could not be shown", reporter);
    if (arguments.size() > 1 || !IsLink(arguments[0]))
        return reporter.Fail(Shown(arguments[0]) + " is not a tel: or callto: link; nothing was dialled.", 2);
    return DialLink(arguments[0], {}, reporter);
}

// Assisted telephony: the request goes to whichever application serves dialing requests.
int RequestCall(const std::string& number, const char* name)
{
    if (HasControlCharacter(number)) {
        std::cerr << "kestrium-dial: " << LinkProblemText(LinkProblem::ControlCharacter)
                  << "; nothing was dialled.\n";
        return 2;
    }
    const LONG result = tapiRequestMakeCallA(number.c_str(), "kestrium-dial", name, "");
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
    case TAPIERR_REQUESTFAILED:
        std::cerr << "kestrium-dial: the system dialer could not place the call (is its default line open?); "
                     "nothing was dialled.\n";
        return 1;
    case TAPIERR_REQUESTCANCELLED:
        std::cerr
            << "kestrium-dial: the system dialer did not take the request in time; it was withdrawn and "
               "nothing was dialled.\n";
        return 1;
    default:
        std::cerr << "kestrium-dial: the request was refused (error " << result << ").\n";
        return 1;
    }
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    if (!arguments.empty() && (arguments[0] == "--help" || arguments[0] == "-h")) {
        PrintUsage();
        return 0;
    }
    if (!arguments.empty() && arguments[0] == "--start")
        return StartFromDesktop({ arguments.begin() + 1, arguments.end() });
    if (arguments.empty() || arguments.size() > 2) {
        PrintUsage();
        return 2;
    }
    const char* name = arguments.size() > 1 ? argv[2] : "";
    if (IsLink(arguments[0]))
        return DialLink(arguments[0], name, Reporter(false));
    return RequestCall(argv[1], name);
}
