// The command-line tools against a telephony service running in real time in this process, as
// they run against Kestrium.

#include "control_client.h"
#include "tapi.h"
#include "tapisim.h"

#include "support/temp_dir.h"
#include "support/tool_run.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace {

using testing_support::RunTool;
using testing_support::ToolRun;

struct Message {
    DWORD device, message;
    DWORD_PTR p1, p2, p3;
};
std::vector<Message> g_messages;

void Collect(DWORD device, DWORD message, DWORD_PTR, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3)
{
    g_messages.push_back({ device, message, p1, p2, p3 });
}

// Runs the event loop as the application does until the condition holds or 5 s pass.
bool WaitFor(const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd wait{ tapiGetEventFd(), POLLIN, 0 };
        ::poll(&wait, 1, 50);
        tapiDispatchEvents();
        if (condition())
            return true;
    }
    return false;
}

bool HasState(DWORD state)
{
    for (const auto& m : g_messages)
        if (m.message == LINE_CALLSTATE && m.p1 == state)
            return true;
    return false;
}

const Message* Find(DWORD message)
{
    for (const auto& m : g_messages)
        if (m.message == message)
            return &m;
    return nullptr;
}

const std::string kLinesim = LINESIM_PATH;
const std::string kDial = KESTRIUM_DIAL_PATH;

// Kestrium as the tools meet it: the service running in real time with line 1 open.
class LinesimSmoke : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_messages.clear();
        LINEINITIALIZEEXPARAMS params{ sizeof(LINEINITIALIZEEXPARAMS), 0, 0,
            LINEINITIALIZEEXOPTION_USEHIDDENWINDOW, { 0 }, 0 };
        ASSERT_EQ(lineInitializeExA(&m_app, nullptr, Collect, "Kestrium", &m_lines, &m_version, &params), 0);
        ASSERT_EQ(
            lineOpenA(m_app, 0, &m_line, m_version, 0, 1, LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR,
                LINEMEDIAMODE_INTERACTIVEVOICE, nullptr),
            0);
    }
    void TearDown() override { lineShutdown(m_app); }

    // Runs kestrium-dial while serving its request as Kestrium does: the request is taken and
    // answered with `outcome` (0: placed). What the tool printed.
    ToolRun DialServed(const std::string& arguments, LINEREQMAKECALL& request, LONG outcome = 0)
    {
        g_messages.clear();
        auto dial = std::async(std::launch::async, [arguments] { return RunTool(kDial + " " + arguments); });
        if (WaitFor([] { return Find(LINE_REQUEST) != nullptr; })) {
            EXPECT_EQ(lineGetRequestA(m_app, LINEREQUESTMODE_MAKECALL, &request), 0);
            EXPECT_EQ(tapiReportRequestOutcome(m_app, outcome), 0);
        }
        return dial.get();
    }

    HLINEAPP m_app = 0;
    HLINE m_line = 0;
    DWORD m_lines = 0;
    DWORD m_version = 0x00020000;
};

// A client that sends "list" one byte every 1.5 s until the service drops it.
void TrickleList(int fd)
{
    for (char c : std::string("list\n")) {
        pollfd closed{ fd, POLLIN, 0 };
        if (::send(fd, &c, 1, MSG_NOSIGNAL) != 1 || ::poll(&closed, 1, 1500) != 0)
            return;
    }
}

// A mono 8,000 Hz 16-bit WAVE file of 20 ms silence.
std::string SilentWave()
{
    std::string bytes;
    const auto put = [&](std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i)
            bytes += static_cast<char>(value >> (8 * i));
    };
    bytes += "RIFF";
    put(36 + 320, 4);
    bytes += "WAVEfmt ";
    put(16, 4);
    put(1, 2); // PCM
    put(1, 2); // mono
    put(8000, 4);
    put(16000, 4);
    put(2, 2);
    put(16, 2);
    bytes += "data";
    put(320, 4);
    return bytes + std::string(320, '\0');
}

} // namespace

TEST(ToolsHelp, DescribeEveryCommand)
{
    const ToolRun linesim = RunTool(kLinesim + " --help");
    EXPECT_EQ(linesim.status, 0);
    for (const char* command : { "list", "ring LINE", "hangup LINE", "answer LINE", "refuse LINE",
             "play LINE", "handset LINE", "heard LINE", "dialplan", "request NUMBER", "hold LINE",
             "unhold LINE", "transfer LINE [CALL] NUMBER" })
        EXPECT_NE(linesim.output.find(command), std::string::npos) << command;
    const ToolRun dial = RunTool(kDial + " --help");
    EXPECT_EQ(dial.status, 0);
    EXPECT_NE(dial.output.find("kestrium-dial NUMBER [NAME]"), std::string::npos);
    EXPECT_EQ(RunTool(kDial).status, 2);
}

TEST(ToolsWithoutService, SayClearlyThatNothingServesThem)
{
    const ToolRun dial = RunTool(kDial + " 5551234");
    EXPECT_EQ(dial.status, 1);
    EXPECT_NE(dial.output.find("no application serves dialing requests"), std::string::npos) << dial.output;
    // A control character hidden in a tel: link is refused before anything is asked of the service.
    for (const char* link : { "'tel:911%001-800-555-0100'", "'tel:555%0Aring%201'", "'tel:5%7F5'" }) {
        const ToolRun refused = RunTool(kDial + " " + link);
        EXPECT_EQ(refused.status, 2) << link;
        EXPECT_NE(refused.output.find("the number holds a control character"), std::string::npos)
            << refused.output;
    }
    const ToolRun linesim = RunTool(kLinesim + " list");
    EXPECT_EQ(linesim.status, 2);
    EXPECT_NE(linesim.output.find("no telephony service is listening"), std::string::npos) << linesim.output;
}

TEST_F(LinesimSmoke, DrivesARunningServiceInRealTime)
{
    ASSERT_EQ(lineSetStatusMessages(m_line, LINEDEVSTATE_RINGING, 0), 0);

    ToolRun run = RunTool(kLinesim + " ring 1 2125550100 \"Alice Example\"");
    ASSERT_EQ(run.status, 0) << run.output;
    ASSERT_TRUE(WaitFor([] { return HasState(LINECALLSTATE_OFFERING) && Find(LINE_LINEDEVSTATE); }));
    const HCALL call = static_cast<HCALL>(Find(LINE_APPNEWCALL)->p2);
    run = RunTool(kLinesim + " list");
    EXPECT_NE(run.output.find("offering from 2125550100 \"Alice Example\""), std::string::npos) << run.output;

    ASSERT_GT(lineAnswer(call, nullptr, 0), 0);
    ASSERT_TRUE(WaitFor([] { return HasState(LINECALLSTATE_CONNECTED); }));
    ASSERT_EQ(lineGenerateDigitsA(call, LINEDIGITMODE_DTMF, "31", 0), 0);
    ASSERT_TRUE(WaitFor([] { return Find(LINE_GENERATE) != nullptr; }));
    run = RunTool(kLinesim + " heard 1");
    EXPECT_NE(run.output.find("digits detected: 31"), std::string::npos) << run.output;

    run = RunTool(kLinesim + " hangup 1");
    EXPECT_EQ(run.status, 0) << run.output;
    ASSERT_TRUE(WaitFor([] { return HasState(LINECALLSTATE_DISCONNECTED); }));
    run = RunTool(kLinesim + " hangup 9");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("error: a line number from 1 to 7 is needed"), std::string::npos) << run.output;

    ASSERT_EQ(lineRegisterRequestRecipient(m_app, 0, LINEREQUESTMODE_MAKECALL, 1), 0);
    LINEREQMAKECALL request{};
    run = DialServed("+1-212-555-0199 Bob", request);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_STREQ(request.szDestAddress, "+1-212-555-0199");
    EXPECT_STREQ(request.szCalledParty, "Bob");
    // A request the dialer could not place (its default line has no device) is a failure.
    run = DialServed("5550123", request, LINEERR_NODEVICE);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("could not place the call"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("Asked the system dialer"), std::string::npos) << run.output;
}

TEST_F(LinesimSmoke, SlowClientsHoldUpNeitherLinesimNorDialingRequests)
{
    ASSERT_EQ(lineRegisterRequestRecipient(m_app, 0, LINEREQUESTMODE_MAKECALL, 1), 0);
    std::string error;
    std::vector<tapi::UniqueFd> idle;
    for (int i = 0; i < 10; ++i)
        idle.push_back(tapi::ConnectControlSocket(tapisimControlSocketPath(), error));
    const tapi::UniqueFd slow = tapi::ConnectControlSocket(tapisimControlSocketPath(), error);
    std::thread trickle(TrickleList, slow.Get());
    LINEREQMAKECALL request{};
    const ToolRun dial = DialServed("5550199", request);
    const ToolRun list = RunTool(kLinesim + " list");
    trickle.join();
    EXPECT_EQ(dial.status, 0) << dial.output;
    EXPECT_STREQ(request.szDestAddress, "5550199");
    EXPECT_NE(list.output.find("line 1: Zo-Linka Line 1"), std::string::npos) << list.output;
}

TEST_F(LinesimSmoke, LinesimPlaysTheFileItWasGiven)
{
    testing_support::TempDir dir;
    testing_support::WriteBytes(dir / "greeting.wav", SilentWave());
    const ToolRun run = RunTool("cd '" + dir.Path().string() + "' && " + kLinesim + " play 1 greeting.wav");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, "the far end plays " + (dir / "greeting.wav").string() + "\n");
}

TEST_F(LinesimSmoke, ControlCharactersAndBadUtf8AreShownEscaped)
{
    // ESC, BEL, CR, an invalid byte and the one-byte CSI (U+009B); the "ë" is valid and stays.
    const std::string hostile = "\"$(printf 'Eve\\033[2J\\007\\r\\377 Zo\\303\\253\\302\\2332J')\"";
    ASSERT_EQ(RunTool(kLinesim + " ring 1 555 " + hostile).status, 0);
    const ToolRun list = RunTool(kLinesim + " list");
    EXPECT_NE(
        list.output.find("from 555 \"Eve\\x1b[2J\\x07\\x0d\\xff Zo\xc3\xab\\u009b2J\"\n"), std::string::npos)
        << list.output;
    const ToolRun unknown = RunTool(kLinesim + " " + hostile);
    EXPECT_NE(unknown.output.find("unknown command \"Eve\\x1b[2J"), std::string::npos) << unknown.output;
    ASSERT_EQ(lineRegisterRequestRecipient(m_app, 0, LINEREQUESTMODE_MAKECALL, 1), 0);
    const ToolRun dial = RunTool(kDial + " " + hostile);
    for (const ToolRun& run : { list, unknown, dial })
        EXPECT_EQ(run.output.find_first_of("\x1b\x07\r\xff\x9b"), std::string::npos) << run.output;
}

TEST_F(LinesimSmoke, AClientOverTheLimitGetsTheServicesRefusal)
{
    std::string error;
    std::vector<tapi::UniqueFd> idle;
    for (int i = 0; i < 32; ++i)
        idle.push_back(tapi::ConnectControlSocket(tapisimControlSocketPath(), error));
    // A command longer than the socket's buffer cannot be sent to a service that closed the
    // connection after its refusal; the refusal is read all the same.
    std::string reply;
    ASSERT_TRUE(tapi::SendControlCommand(tapisimControlSocketPath(), std::string(1 << 20, 'x'), reply, error))
        << error;
    EXPECT_NE(reply.find("error: too many clients"), std::string::npos) << reply;
    const ToolRun list = RunTool(kLinesim + " list");
    EXPECT_EQ(list.status, 1);
    EXPECT_NE(list.output.find("linesim: error: too many clients"), std::string::npos) << list.output;
    EXPECT_EQ(list.output.find("Is Kestrium running?"), std::string::npos) << list.output;
}
