// The command-line tools against a telephony service running in real time in this process, as
// they run against Kestrium.

#include "tapi.h"

#include <gtest/gtest.h>

#include <poll.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

struct Message {
    DWORD device, message;
    DWORD_PTR p1, p2, p3;
};
std::vector<Message> g_messages;

void Collect(DWORD device, DWORD message, DWORD_PTR, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3)
{
    g_messages.push_back({ device, message, p1, p2, p3 });
}

struct ToolRun {
    int status = -1;
    std::string output;
};

ToolRun RunTool(const std::string& command)
{
    ToolRun run;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return run;
    std::array<char, 512> buffer{};
    while (std::fgets(buffer.data(), buffer.size(), pipe))
        run.output += buffer.data();
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
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

} // namespace

TEST(ToolsHelp, DescribeEveryCommand)
{
    const ToolRun linesim = RunTool(kLinesim + " --help");
    EXPECT_EQ(linesim.status, 0);
    for (const char* command : { "list", "ring LINE", "hangup LINE", "answer LINE", "refuse LINE",
             "play LINE", "handset LINE", "heard LINE", "dialplan", "request NUMBER" })
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

TEST(LinesimSmoke, DrivesARunningServiceInRealTime)
{
    HLINEAPP app = 0;
    DWORD lines = 0;
    DWORD version = 0x00020000;
    LINEINITIALIZEEXPARAMS params{ sizeof(LINEINITIALIZEEXPARAMS), 0, 0,
        LINEINITIALIZEEXOPTION_USEHIDDENWINDOW, { 0 }, 0 };
    ASSERT_EQ(lineInitializeExA(&app, nullptr, Collect, "Kestrium", &lines, &version, &params), 0);
    HLINE line = 0;
    ASSERT_EQ(lineOpenA(app, 0, &line, version, 0, 1, LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR,
                  LINEMEDIAMODE_INTERACTIVEVOICE, nullptr),
        0);
    ASSERT_EQ(lineSetStatusMessages(line, LINEDEVSTATE_RINGING, 0), 0);

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

    ASSERT_EQ(lineRegisterRequestRecipient(app, 0, LINEREQUESTMODE_MAKECALL, 1), 0);
    run = RunTool(kDial + " tel:+1-212-555-0199 Bob");
    EXPECT_EQ(run.status, 0) << run.output;
    ASSERT_TRUE(WaitFor([] { return Find(LINE_REQUEST) != nullptr; }));
    LINEREQMAKECALL request{};
    ASSERT_EQ(lineGetRequestA(app, LINEREQUESTMODE_MAKECALL, &request), 0);
    EXPECT_STREQ(request.szDestAddress, "+1-212-555-0199");
    EXPECT_STREQ(request.szCalledParty, "Bob");
    lineShutdown(app);
}
