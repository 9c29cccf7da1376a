// tel: and callto: links as the desktop hands them over: kestrium-dial starts Kestrium in its data
// folder when it does not run and the call reaches the exchange, whether or not Kestrium is the
// system dialer; a link that is no telephone number places nothing and says why.

#include "support/temp_dir.h"
#include "support/tool_run.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_support::RunTool;
using testing_support::ToolRun;
using testing_support::WaitUntil;

namespace {

const std::string kDial = KESTRIUM_DIAL_PATH;

// The test process's HOME, XDG_RUNTIME_DIR and registry are private (support/test_main.cpp); the
// started Kestrium inherits them, so its data folder is the private ~/Kestrium.
class TelLinks : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::unsetenv("KESTRIUM_DATA");
        ::unsetenv("KESTRIUM_TELEPHONY_SOCKET");
        m_data = fs::path(std::getenv("HOME")) / "Kestrium";
        m_socket = fs::path(std::getenv("XDG_RUNTIME_DIR")) / "kestrium-telephony.sock";
    }

    void TearDown() override
    {
        for (const pid_t pid : KestriumsInDataFolder())
            ::kill(pid, SIGKILL);
    }

    // The running Kestrium names itself in its data folder's lock; 0 when none holds it.
    pid_t KestriumPid() const
    {
        return std::atoi(testing_support::ReadBytes(m_data / ".Kestrium.lock").c_str());
    }

    // Kestrium processes working in the data folder (a zombie has neither folder nor program).
    std::vector<pid_t> KestriumsInDataFolder() const
    {
        std::vector<pid_t> found;
        std::error_code error;
        for (const fs::directory_entry& process : fs::directory_iterator("/proc", error)) {
            std::error_code unreadable;
            const fs::path program = fs::read_symlink(process.path() / "exe", unreadable);
            if (!unreadable && program.filename() == "kestrium"
                && fs::read_symlink(process.path() / "cwd", unreadable) == m_data && !unreadable)
                found.push_back(std::atoi(process.path().filename().c_str()));
        }
        return found;
    }

    bool StopKestrium() const
    {
        ::kill(KestriumPid(), SIGTERM);
        return WaitUntil([&] { return !fs::exists(m_data / ".Kestrium.lock"); }, 10s);
    }

    std::string Lines() const
    {
        return RunTool(std::string(LINESIM_PATH) + " --socket " + m_socket.string() + " list").output;
    }

    fs::path m_data;
    fs::path m_socket;
};

TEST_F(TelLinks, StartKestriumWhenItDoesNotRunAndDialWithoutTheSystemDialerRole)
{
    ASSERT_FALSE(fs::exists(m_data));
    // The menu entry and a clicked link at the same moment: one Kestrium starts, both succeed.
    const ToolRun both
        = RunTool("(" + kDial + " --start & " + kDial + " 'tel:+1-212-555-0100'; s=$?; wait $! && exit $s)");
    ASSERT_EQ(both.status, 0) << both.output;
    EXPECT_NE(both.output.find("Kestrium dials +1-212-555-0100."), std::string::npos) << both.output;
    EXPECT_GT(KestriumPid(), 0) << "Kestrium runs in the data folder it created";
    EXPECT_EQ(KestriumsInDataFolder().size(), 1u);
    ASSERT_TRUE(WaitUntil([&] {
        return Lines().find("line 1: Zo-Linka Line 1 (analog, handset down) call 1 "
                            "connected to +1-212-555-0100")
            != std::string::npos;
    })) << Lines();

    // "IsSystemDialer" was never turned on: other applications' requests are still not served.
    const ToolRun request = RunTool(kDial + " 5551234");
    EXPECT_EQ(request.status, 1);
    EXPECT_NE(request.output.find("no application serves dialing requests"), std::string::npos)
        << request.output;

    RunTool(std::string(LINESIM_PATH) + " --socket " + m_socket.string() + " hangup 1");
    ASSERT_TRUE(WaitUntil([&] { return Lines().find("call") == std::string::npos; })) << Lines();

    // Refused before Kestrium is asked: letters, a control character, a number that is too long,
    // separators without a digit.
    const struct {
        std::string link;
        std::string reason;
    } refused[] = {
        { "--start 'tel:1-800-FLOWERS'", "does not hold a telephone number" },
        { "'callto:555%0A1234'", "holds a control character" },
        { "'tel:" + std::string(80, '5') + "'", "longer than 79 characters" },
        { "'tel:---'", "holds no digit" },
        { "'tel:+'", "holds no digit" },
        { "--start 'tel:()'", "holds no digit" },
        { "'tel:%20'", "holds no digit" },
    };
    for (const auto& link : refused) {
        const ToolRun run = RunTool(kDial + " " + link.link);
        EXPECT_EQ(run.status, 2) << link.link;
        EXPECT_NE(run.output.find(link.reason), std::string::npos) << run.output;
        EXPECT_NE(run.output.find("nothing was dialled."), std::string::npos) << run.output;
    }

    // A callto: link while Kestrium runs goes to the same Kestrium.
    const pid_t kestrium = KestriumPid();
    const ToolRun callto = RunTool(kDial + " --start 'callto://5550199/'");
    EXPECT_EQ(callto.status, 0) << callto.output;
    EXPECT_EQ(KestriumPid(), kestrium);
    ASSERT_TRUE(WaitUntil([&] { return Lines().find("call 2 connected to 5550199") != std::string::npos; }))
        << Lines();
    const std::string lines = Lines();
    EXPECT_EQ(lines.find("FLOWERS"), std::string::npos) << lines;
    EXPECT_EQ(lines.find("5555555555"), std::string::npos) << lines;

    // A name far longer than Kestrium keeps for the called party is cut, not a reason to refuse.
    RunTool(std::string(LINESIM_PATH) + " --socket " + m_socket.string() + " hangup 1");
    ASSERT_TRUE(WaitUntil([&] { return Lines().find("call") == std::string::npos; })) << Lines();
    const std::string kept(39, 'N');
    const ToolRun named = RunTool(kDial + " 'tel:5550142' '" + kept + std::string(5000, 'x') + "'");
    EXPECT_EQ(named.status, 0) << named.output;
    ASSERT_TRUE(WaitUntil([&] { return Lines().find("connected to 5550142") != std::string::npos; }))
        << Lines();

    ASSERT_TRUE(StopKestrium());
    const std::string log = testing_support::ReadBytes(m_data / "KestriumCallLog.csv");
    EXPECT_NE(log.find("\"+1-212-555-0100\""), std::string::npos) << log;
    EXPECT_NE(log.find("\"5550199\""), std::string::npos) << log;
    EXPECT_NE(log.find(kept), std::string::npos) << log;
    EXPECT_EQ(log.find(kept + "x"), std::string::npos) << log;
}

} // namespace
