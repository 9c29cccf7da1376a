// Who may call a SIP line and how often: a registered line takes calls only from its registrar, a
// line without registration from its allow-list and its configured peer; P-Asserted-Identity is
// believed only from the registrar or the peer; a flood of calls from one source is refused after
// a burst. SIPp calls from other loopback addresses (127.0.0.2) as the stranger.
#include "sip_fixture.h"

#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using sip_test::Sipp;

// What the line keeps free for files (ConnectionGuard::kDescriptorReserve).
constexpr int kDescriptorReserve = 256;

const std::string kAssertedBank = "P-Asserted-Identity: \"Your Bank\" <sip:18005550100@bank.example>\n";

class SipCallers : public SipFixture {
protected:
    // SIPp calling line 5 from `ip` through `scenario` (with `extra` arguments); answers whether it
    // went as the scenario says.
    bool CallFrom(const char* ip, const std::string& scenario, std::vector<std::string> extra = {})
    {
        Sipp sipp;
        extra.insert(extra.end(), { "-i", ip, "127.0.0.1:" + std::to_string(m_line1Port) });
        if (!sipp.Start(m_dir.Path(), scenario, m_sippPort, extra))
            return false;
        RunWhile(sipp, 5000);
        EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log();
        return sipp.ExitCode() == 0;
    }
    // The caller id of the call that rang on `line` while SIPp called and gave up.
    std::pair<std::string, std::string> CallerWhoRang(HLINE line, const char* ip, const std::string& headers)
    {
        m_received.clear();
        EXPECT_TRUE(CallFrom(ip, sip_test::CallingScenario(sip_test::GivesUp(), headers)));
        const HCALL call = NewCallOn(line);
        return call ? CallerOf(call) : std::make_pair(std::string("(no call)"), std::string());
    }
};

// Line 5 does not register; its peer (the domain's host) is 127.0.0.1. A caller from 127.0.0.2 is
// refused with 403 and nothing rings; the peer's call rings with its P-Asserted-Identity.
TEST_F(SipCallers, LineWithoutRegistrationRefusesStrangersAndBelievesOnlyItsPeer)
{
    const HLINE line = OpenLine(kLine1);
    EXPECT_TRUE(CallFrom("127.0.0.2", sip_test::RefusedCallScenario(403, kAssertedBank)));
    Run(100);
    EXPECT_EQ(NewCallOn(line), 0u);
    EXPECT_EQ(CallerWhoRang(line, "127.0.0.1", kAssertedBank),
        std::make_pair(std::string("18005550100"), std::string("Your Bank")));
}

int CallsThatRang(const std::vector<Received>& received, HLINE line)
{
    return static_cast<int>(std::count_if(received.begin(), received.end(),
        [&](const Received& m) { return m.message == LINE_APPNEWCALL && m.device == line; }));
}

// SIPp calls 20 times in a row as fast as it can and cancels each call as soon as it rings: a
// burst of calls is taken (180 Ringing), the rest are refused with 503. None of them rings for the
// program: each was cancelled before it had rung long enough for anyone to answer, so none becomes
// a missed call. A second later a call whose caller waits a little rings for the program.
TEST_F(SipCallers, FloodOfCallsFromOneSourceIsRefusedAfterABurst)
{
    const HLINE line = OpenLine(kLine1);
    {
        Sipp flood;
        ASSERT_TRUE(flood.Start(m_dir.Path(), sip_test::CallRingingOrRefused(503), m_sippPort,
            { "-m", "20", "-l", "1", "-r", "100", "127.0.0.1:" + std::to_string(m_line1Port) }));
        RunWhile(flood, 8000);
        EXPECT_EQ(flood.ExitCode(), 0) << flood.Log() << "every call rang or was refused with 503";
        const int taken = flood.CountMessages("SIP/2.0 180");
        EXPECT_GE(taken, 5) << flood.Log();
        EXPECT_LE(taken, 7) << "calls beyond the burst were refused";
    }
    Run(500);
    EXPECT_EQ(CallsThatRang(m_received, line), 0) << "calls cancelled at once never ring";
    Run(500);
    m_received.clear();
    EXPECT_TRUE(CallFrom("127.0.0.1", sip_test::CallingScenario(sip_test::GivesUp())));
    EXPECT_EQ(CallsThatRang(m_received, line), 1);
}

class SipCallersAllowed : public SipCallers {
protected:
    std::string Line1Account() const override { return "register = no\nallow-calls-from = 127.0.0.2, ::1\n"; }
};

// A host on the allow-list may call, but what it asserts about the caller is not believed: the
// caller id comes from From.
TEST_F(SipCallersAllowed, AllowedHostRingsWithTheCallerIdOfItsFromHeader)
{
    const HLINE line = OpenLine(kLine1);
    EXPECT_EQ(CallerWhoRang(line, "127.0.0.2", kAssertedBank),
        std::make_pair(std::string("2125550100"), std::string("Alice Example")));
    EXPECT_TRUE(CallFrom("127.0.0.3", sip_test::RefusedCallScenario(403)));
}

class SipCallersRegistered : public SipCallers {
protected:
    std::string Line1Account() const override
    {
        return "register = yes\nallow-calls-from = 127.0.0.2\nregistrar = sip:registrar.test\n"
               "outbound-proxy = sip:127.0.0.1:"
            + std::to_string(m_sippPort) + "\n";
    }
};

const std::string kRegistrar
    = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\n<scenario name=\"registrar\">\n"
      "  <recv request=\"REGISTER\"/>\n"
    + sip_test::SippReply("200 OK", "[last_Contact:];expires=600\n") + "</scenario>\n";

// Registered through its outbound proxy (127.0.0.1), the line takes calls only from there: a caller
// from 127.0.0.2 is refused even though the allow-list names it (that list is for lines without
// registration), and the proxy's P-Asserted-Identity is the caller id.
TEST_F(SipCallersRegistered, RegisteredLineTakesCallsOnlyFromItsProxy)
{
    const HLINE line = OpenLine(kLine1);
    {
        Sipp registrar;
        ASSERT_TRUE(registrar.Start(m_dir.Path(), kRegistrar, m_sippPort));
        RunWhile(registrar, 5000);
        ASSERT_EQ(registrar.ExitCode(), 0) << registrar.Log();
    }
    ASSERT_TRUE(
        RunUntil([&] { return LineList().find("in service: registered") != std::string::npos; }, 3000))
        << LineList();
    EXPECT_TRUE(CallFrom("127.0.0.2", sip_test::RefusedCallScenario(403, kAssertedBank)));
    Run(100);
    EXPECT_EQ(NewCallOn(line), 0u);
    EXPECT_EQ(CallerWhoRang(line, "127.0.0.1", kAssertedBank),
        std::make_pair(std::string("18005550100"), std::string("Your Bank")));
}

// A TCP connection to a loopback port, opened without waiting.
class TcpClient {
public:
    explicit TcpClient(std::uint16_t port)
        : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    ~TcpClient() { ::close(m_fd); }
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;

    void Send(const std::string& text) { ::send(m_fd, text.data(), text.size(), MSG_NOSIGNAL); }
    // True once the line closed or reset the connection; what it sent before is read and dropped.
    bool Closed()
    {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0)
                continue;
            return n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        }
    }

private:
    int m_fd;
};

class SipTcpConnections : public SipCallers {
protected:
    std::string Line1Account() const override { return "register = no\ntransport = tcp\n"; }
};

// The connections this process accepted on `port` (the line runs in the test's process).
int AcceptedOn(std::uint16_t port)
{
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        const int fd = std::atoi(entry.path().filename().c_str());
        sockaddr_in local{};
        sockaddr_in peer{};
        socklen_t size = sizeof local;
        int listening = 0;
        socklen_t flagSize = sizeof listening;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size) != 0 || local.sin_family != AF_INET
            || ntohs(local.sin_port) != port
            || ::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &flagSize) != 0 || listening)
            continue;
        size = sizeof peer;
        count += ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size) == 0;
    }
    return count;
}

// One source opens 100 connections to a TCP line's port and sends an OPTIONS request on the first
// only: the line keeps 8 of them. Idle connections are closed 5 s after they opened, the one that
// sent a request stays, and a SIP call over TCP still rings.
TEST_F(SipTcpConnections, ExcessAndIdleConnectionsAreClosed)
{
    const HLINE line = OpenLine(kLine1);
    Run(200);
    std::vector<std::unique_ptr<TcpClient>> clients;
    for (int i = 0; i < 100; ++i)
        clients.push_back(std::make_unique<TcpClient>(m_line1Port));
    Run(100);
    clients.front()->Send(
        "OPTIONS sip:kestrium@127.0.0.1 SIP/2.0\r\nVia: SIP/2.0/TCP 127.0.0.1:9;branch=z9hG4bK-o1\r\n"
        "From: <sip:probe@127.0.0.1>;tag=1\r\nTo: <sip:kestrium@127.0.0.1>\r\nCall-ID: o1\r\n"
        "CSeq: 1 OPTIONS\r\nMax-Forwards: 70\r\nContent-Length: 0\r\n\r\n");
    Run(500);
    EXPECT_LE(AcceptedOn(m_line1Port), 8) << "at most 8 connections from one source";
    EXPECT_FALSE(clients.front()->Closed()) << "the connection that sent a request is kept";
    clients.resize(1);
    Run(300);

    for (int i = 0; i < 3; ++i)
        clients.push_back(std::make_unique<TcpClient>(m_line1Port));
    Run(1000);
    EXPECT_EQ(AcceptedOn(m_line1Port), 4);
    Run(4600);
    EXPECT_TRUE(clients[1]->Closed() && clients[2]->Closed() && clients[3]->Closed())
        << "connections without a request are closed after 5 s";
    EXPECT_FALSE(clients.front()->Closed());
    EXPECT_EQ(AcceptedOn(m_line1Port), 1);

    m_received.clear();
    EXPECT_TRUE(CallFrom("127.0.0.1", sip_test::CallingScenario(sip_test::GivesUp()), { "-t", "t1" }));
    EXPECT_EQ(CallsThatRang(m_received, line), 1) << "a SIP call over TCP still rings";
}

// How often the SIP service's thread ("tapi-sip") of this process went to sleep and woke up.
long SipThreadWakeUps()
{
    long total = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        std::getline(comm, name);
        if (name != "tapi-sip")
            continue;
        std::ifstream status(task.path() / "status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
                total += std::atol(line.c_str() + line.find(':') + 1);
    }
    return total;
}

// An idle TCP line sleeps: it looks at its connections only while one that arrived has not yet
// sent a message (then every 100 ms), and sleeps again once it has.
TEST_F(SipTcpConnections, IdleLineSleepsAndWakesOnlyWhileAConnectionIsNew)
{
    OpenLine(kLine1);
    Run(300);
    const auto wakeUpsDuring = [&](DWORD ms) {
        const long before = SipThreadWakeUps();
        Run(ms);
        return SipThreadWakeUps() - before;
    };
    EXPECT_LE(wakeUpsDuring(1000), 2) << "nothing to do: asleep";
    TcpClient client(m_line1Port);
    EXPECT_GE(wakeUpsDuring(1000), 5) << "a silent new connection is looked at every 100 ms";
    client.Send("OPTIONS sip:kestrium@127.0.0.1 SIP/2.0\r\nVia: SIP/2.0/TCP 127.0.0.1:9;branch=z9hG4bK-o2\r\n"
                "From: <sip:probe@127.0.0.1>;tag=2\r\nTo: <sip:kestrium@127.0.0.1>\r\nCall-ID: o2\r\n"
                "CSeq: 1 OPTIONS\r\nMax-Forwards: 70\r\nContent-Length: 0\r\n\r\n");
    Run(300);
    EXPECT_LE(wakeUpsDuring(1000), 2) << "the connection spoke: asleep again";
    EXPECT_FALSE(client.Closed());
}

// With the process near its descriptor limit (the limit lowered to what is open, the clients' own
// sockets, the reserve for files and 2 more), the line keeps only 2 of 6 idle connections.
TEST_F(SipTcpConnections, ConnectionsLeaveADescriptorReserveForFiles)
{
    OpenLine(kLine1);
    Run(200);
    constexpr int kClients = 6;
    const auto open = std::distance(
        std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator());
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit lowered = saved;
    lowered.rlim_cur = rlim_t(open) + kClients + kDescriptorReserve + 2;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
    std::vector<std::unique_ptr<TcpClient>> clients;
    for (int i = 0; i < kClients; ++i)
        clients.push_back(std::make_unique<TcpClient>(m_line1Port));
    Run(500);
    const int accepted = AcceptedOn(m_line1Port);
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_LE(accepted, 2);
    EXPECT_GE(accepted, 1);
}

} // namespace
