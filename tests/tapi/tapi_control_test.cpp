#include "tapi_fixture.h"

#include "command_words.h"
#include "control_client.h"
#include "control_server.h"
#include "support/temp_dir.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string Command(const std::string& command, LONG* result = nullptr)
{
    char reply[4096] = {};
    const LONG code = tapisimCommand(command.c_str(), reply, sizeof reply);
    if (result)
        *result = code;
    return reply;
}

std::string OverSocket(const std::string& command)
{
    std::string reply, error;
    EXPECT_TRUE(tapi::SendControlCommand(tapisimControlSocketPath(), command, reply, error)) << error;
    return reply;
}

tapi::UniqueFd Connect(const std::string& path)
{
    std::string error;
    tapi::UniqueFd fd = tapi::ConnectControlSocket(path, error);
    EXPECT_TRUE(fd) << error;
    return fd;
}

// What the service sends before it closes the connection, or "(open)" when it is still open after
// the time.
std::string ReplyUntilClosed(int fd, int timeoutMs)
{
    std::string reply;
    char buffer[256];
    pollfd wait{ fd, POLLIN, 0 };
    while (::poll(&wait, 1, timeoutMs) > 0) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return reply;
        reply.append(buffer, static_cast<std::size_t>(n));
    }
    return "(open)";
}

long MsSince(std::chrono::steady_clock::time_point start)
{
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count());
}

} // namespace

using TapiControl = TapiFixture;

TEST_F(TapiControl, ListShowsEveryLineAndItsCall)
{
    OpenLine(0);
    ASSERT_EQ(tapisimRing(0, nullptr), TAPISIM_OK);
    const std::string list = Command("list");
    EXPECT_NE(list.find("line 1: Zo-Linka Line 1 (analog, handset down) call"), std::string::npos) << list;
    EXPECT_NE(list.find("offering"), std::string::npos);
    EXPECT_NE(list.find("line 7: Data Modem (modem) idle"), std::string::npos) << list;
}

TEST_F(TapiControl, RingCommandGivesTheCallerIdToTheApplication)
{
    OpenLine(1);
    LONG result = 0;
    Command("ring 2 5550123 \"Bob \\\"The Builder\\\" Smith\" --give-up 2", &result);
    ASSERT_EQ(result, TAPISIM_OK);
    const auto messages = Pump();
    const Received* newCall = Find(messages, LINE_APPNEWCALL);
    ASSERT_NE(newCall, nullptr);
    std::vector<unsigned char> block(1324);
    auto* info = reinterpret_cast<LINECALLINFO*>(block.data());
    info->dwTotalSize = 1324;
    ASSERT_EQ(lineGetCallInfoA(static_cast<HCALL>(newCall->p2), info), 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(block.data() + info->dwCallerIDNameOffset),
        "Bob \"The Builder\" Smith");
    EXPECT_EQ(States(Pump(12000)).back(), DWORD(LINECALLSTATE_IDLE));
}

TEST_F(TapiControl, MalformedCommandsAreAnsweredWithErrorsAndTheExchangeGoesOn)
{
    const std::vector<std::string> bad{ "", "bogus", "ring", "ring 0", "ring 99 555", "ring abc",
        "ring 1 \"unterminated", "ring 1 --give-up", "ring 1 --frobnicate", "ring 1 a b c", "hangup 1",
        "hangup 1 2", "play 1", "play 1 --tone xyz", "play 1 /no/such/file.wav", "handset 1 sideways",
        "handset 7 up", "dialplan add 5* maybe", "dialplan add 5* busy soon", "request",
        std::string(5000, 'x') };
    for (const auto& command : bad) {
        LONG result = 0;
        const std::string reply = Command(command, &result);
        EXPECT_LT(result, 0) << command.substr(0, 40);
        EXPECT_EQ(reply.rfind("error: ", 0), 0u) << command.substr(0, 40) << " -> " << reply;
    }
    LONG result = 0;
    EXPECT_NE(Command("list", &result).find("Zo-Linka Line 1"), std::string::npos);
    EXPECT_EQ(result, TAPISIM_OK);
}

TEST_F(TapiControl, SocketIsPrivateAndServesCommands)
{
    const std::string path = tapisimControlSocketPath();
    ASSERT_FALSE(path.empty());
    struct stat info { };
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_NE(OverSocket("help").find("ring LINE"), std::string::npos);
    EXPECT_EQ(OverSocket("ring 42").rfind("error: ", 0), 0u);
    EXPECT_EQ(OverSocket(std::string(10000, 'r')).rfind("error: the command is longer", 0), 0u);
    EXPECT_EQ(OverSocket(std::string("\x01\x02\xff garbage", 12)).rfind("error: ", 0), 0u);
    EXPECT_EQ(OverSocket(std::string("list\0garbage", 12)).rfind("error: ", 0), 0u);
    EXPECT_EQ(OverSocket("ring 1 5551234 Alice"), "ringing line 1\n");
    EXPECT_NE(OverSocket("list").find("offering from 5551234 \"Alice\""), std::string::npos);
}

TEST_F(TapiControl, FileThatCannotBeReadIsARefusedCommand)
{
    // /proc/self/mem opens as a regular file, but reading it fails.
    const std::string reply = OverSocket("play 1 /proc/self/mem");
    EXPECT_EQ(reply.rfind("error: /proc/self/mem cannot be read (", 0), 0u) << reply;
    LONG result = 0;
    EXPECT_NE(Command("play 2 /proc/self/mem", &result).find("cannot be read"), std::string::npos);
    EXPECT_EQ(result, TAPISIM_E_FILE);
    EXPECT_NE(OverSocket("list").find("Zo-Linka Line 1"), std::string::npos);
}

TEST_F(TapiControl, SlowAndIdleClientsDoNotHoldUpOthers)
{
    const std::string path = tapisimControlSocketPath();
    std::vector<tapi::UniqueFd> idle;
    for (int i = 0; i < 10; ++i)
        idle.push_back(Connect(path));
    const tapi::UniqueFd slow = Connect(path);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(::send(slow.Get(), "l", 1, MSG_NOSIGNAL), 1);
    EXPECT_NE(OverSocket("list").find("Zo-Linka Line 1"), std::string::npos);
    EXPECT_LT(MsSince(start), 1000);
    // A byte every 1.5 s does not stretch the time a command line may take to arrive.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_EQ(::send(slow.Get(), "i", 1, MSG_NOSIGNAL), 1);
    EXPECT_EQ(ReplyUntilClosed(slow.Get(), 1500).rfind("error: ", 0), 0u);
    EXPECT_LT(MsSince(start), 2700);
    // Beyond the clients served at once, a client is told so at once (the first idle ones were
    // dropped by now).
    idle.clear();
    while (idle.size() < tapi::ControlServer::kMaxClients)
        idle.push_back(Connect(path));
    const tapi::UniqueFd extra = Connect(path);
    EXPECT_EQ(ReplyUntilClosed(extra.Get(), 500).rfind("error: too many clients", 0), 0u);
}

TEST(ControlSocketPath, OnlyAStaleSocketIsReplaced)
{
    testing_support::TempDir dir;
    const auto echo = [](const std::string& command) { return command + "\n"; };
    std::string error;
    testing_support::WriteBytes(dir / "notes.txt", "keep me");
    ::setenv("KESTRIUM_TELEPHONY_SOCKET", (dir / "notes.txt").c_str(), 1);
    EXPECT_FALSE(tapi::ControlServer(echo).Start(error));
    EXPECT_NE(error.find("is not a socket"), std::string::npos) << error;
    EXPECT_EQ(testing_support::ReadBytes(dir / "notes.txt"), "keep me");

    // A socket left behind by a service that ended (bound, closed, never removed).
    const std::string stale = (dir / "stale.sock").string();
    {
        tapi::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM, 0));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, stale.c_str());
        ASSERT_EQ(::bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    }
    ::setenv("KESTRIUM_TELEPHONY_SOCKET", stale.c_str(), 1);
    tapi::ControlServer server(echo);
    ASSERT_TRUE(server.Start(error)) << error;
    std::string reply;
    EXPECT_TRUE(tapi::SendControlCommand(stale, "ping", reply, error)) << error;
    EXPECT_EQ(reply, "ping\n");
    EXPECT_FALSE(tapi::ControlServer(echo).Start(error));
    EXPECT_NE(error.find("another telephony service is using it"), std::string::npos) << error;
    ::unsetenv("KESTRIUM_TELEPHONY_SOCKET");
}

TEST(ControlSocketClients, CommandOfAClientThatLeftIsNotRun)
{
    // Nobody would learn the outcome: kestrium-dial that gave up must not have its request placed.
    testing_support::TempDir dir;
    ::setenv("KESTRIUM_TELEPHONY_SOCKET", (dir / "control.sock").c_str(), 1);
    std::mutex mutex;
    std::vector<std::string> commands;
    {
        tapi::ControlServer server([&](const std::string& command) {
            std::lock_guard lock(mutex);
            commands.push_back(command);
            return std::string("done\n");
        });
        std::string error, reply;
        ASSERT_TRUE(server.Start(error)) << error;
        {
            const tapi::UniqueFd gone = Connect(server.Path());
            ASSERT_EQ(::send(gone.Get(), "request 5550100", 15, MSG_NOSIGNAL), 15);
        }
        EXPECT_TRUE(tapi::SendControlCommand(server.Path(), "request 5550199", reply, error)) << error;
        EXPECT_EQ(reply, "done\n");
    }
    EXPECT_EQ(commands, std::vector<std::string>{ "request 5550199" });
    ::unsetenv("KESTRIUM_TELEPHONY_SOCKET");
}

TEST_F(TapiControl, DialPlanCanBeChangedAndShown)
{
    LONG result = 0;
    Command("dialplan add 555* busy 500", &result);
    ASSERT_EQ(result, TAPISIM_OK);
    EXPECT_EQ(Command("dialplan"), "555* busy 500 0\n* answer 3000 0 (default)\n");
    const HLINE line = OpenLine(0);
    HCALL call = 0;
    ASSERT_GT(MakeCall(line, call, "5550000"), 0);
    Pump(3000);
    EXPECT_EQ(CallState(call), DWORD(LINECALLSTATE_BUSY));
    Command("dialplan clear", &result);
    EXPECT_EQ(result, TAPISIM_OK);
    EXPECT_EQ(Command("dialplan"), "* answer 3000 0 (default)\n");
}

TEST_F(TapiControl, HeardShowsDigitsAndTones)
{
    const HLINE line = OpenLine(0);
    const HCALL call = ConnectedCall(line);
    ASSERT_EQ(lineGenerateDigitsA(call, LINEDIGITMODE_DTMF, "77", 0), 0);
    Pump(1000);
    const std::string heard = Command("heard 1");
    EXPECT_NE(heard.find("digits detected: 77"), std::string::npos) << heard;
    EXPECT_NE(heard.find("digits 77"), std::string::npos) << heard;
    Command("clear 1");
    EXPECT_NE(Command("heard 1").find("digits detected: (none)"), std::string::npos);
}

TEST(CommandWords, QuotedWordsSurviveTheRoundTrip)
{
    const std::vector<std::string> words{ "ring", "", "a b", "say \"hi\"", "back\\slash", "plain" };
    std::string line;
    for (const auto& word : words)
        line += tapi::QuoteCommandWord(word) + " ";
    std::vector<std::string> back;
    ASSERT_TRUE(tapi::SplitCommandWords(line, back));
    EXPECT_EQ(back, words);
    EXPECT_FALSE(tapi::SplitCommandWords("ring \"open", back));
}
