// How soon a SIP caller hears the answer: the time from the program's lineAnswer to the 200 OK of
// the INVITE arriving at the caller, a UDP socket of this process on the loopback (it sends the
// INVITE, waits for 180, and takes the 200's arrival time as soon as poll wakes). Real clock; a
// call every 0.6 s, as the line admits two new calls a second from one address after a burst.
//   sip_answer_bench [calls]
#include "sipp.h"

#include "tapi.h"
#include "tapisim.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kTargetMs = 5.0;

std::vector<HCALL> g_offered;

void Callback(DWORD, DWORD message, DWORD_PTR, DWORD_PTR, DWORD_PTR p2, DWORD_PTR)
{
    if (message == LINE_APPNEWCALL)
        g_offered.push_back(static_cast<HCALL>(p2));
}

// The caller: one UDP socket on the loopback that speaks just enough SIP for one call at a time.
class Caller {
public:
    Caller(std::uint16_t port, std::uint16_t linePort)
        : m_port(port)
        , m_linePort(linePort)
    {
        m_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address = Address(port);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    ~Caller() { ::close(m_fd); }
    Caller(const Caller&) = delete;
    Caller& operator=(const Caller&) = delete;

    void Invite(int call)
    {
        m_call = call;
        const std::string sdp
            = "v=0\r\no=bench 1 1 IN IP4 127.0.0.1\r\ns=-\r\nc=IN IP4 127.0.0.1\r\nt=0 0\r\n"
              "m=audio "
            + std::to_string(m_port + 2) + " RTP/AVP 0\r\n";
        Send(Request("INVITE", 1, "z9hG4bK-invite-" + std::to_string(call), "To: " + LineUri())
            + "Contact: <sip:bench@127.0.0.1:" + std::to_string(m_port)
            + ">\r\nContent-Type: application/sdp\r\nContent-Length: " + std::to_string(sdp.size())
            + "\r\n\r\n" + sdp);
    }
    // Waits up to `timeoutMs` for a response that starts with `status` ("SIP/2.0 200") to `method`;
    // its arrival time and text.
    std::optional<std::pair<Clock::time_point, std::string>> Await(
        const std::string& status, const std::string& method, int timeoutMs)
    {
        const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (Clock::now() < end) {
            pollfd fd{ m_fd, POLLIN, 0 };
            if (::poll(&fd, 1, 5) <= 0) {
                tapiDispatchEvents();
                continue;
            }
            char buffer[4096];
            const ssize_t got = ::recv(m_fd, buffer, sizeof buffer, 0);
            const auto arrived = Clock::now();
            const std::string text(buffer, got > 0 ? std::size_t(got) : 0);
            if (text.rfind(status, 0) == 0 && text.find(" " + method + "\r\n") != std::string::npos)
                return std::make_pair(arrived, text);
        }
        return std::nullopt;
    }
    // ACK of the 200 and BYE, with the line's To tag from the 200.
    void AckAndBye(const std::string& ok)
    {
        const std::size_t to = ok.find("\r\nTo: ");
        const std::string toLine = ok.substr(to + 2, ok.find("\r\n", to + 2) - to - 2);
        const std::string id = std::to_string(m_call);
        Send(Request("ACK", 1, "z9hG4bK-ack-" + id, toLine) + "Content-Length: 0\r\n\r\n");
        Send(Request("BYE", 2, "z9hG4bK-bye-" + id, toLine) + "Content-Length: 0\r\n\r\n");
    }

private:
    static sockaddr_in Address(std::uint16_t port)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }
    std::string LineUri() const { return "<sip:kestrium@127.0.0.1:" + std::to_string(m_linePort) + ">"; }
    std::string Request(
        const std::string& method, int cseq, const std::string& branch, const std::string& to) const
    {
        const std::string id = std::to_string(m_call);
        return method + " sip:kestrium@127.0.0.1:" + std::to_string(m_linePort)
            + " SIP/2.0\r\nVia: SIP/2.0/UDP 127.0.0.1:" + std::to_string(m_port) + ";branch=" + branch
            + "\r\nFrom: \"Bench Caller\" <sip:2125550100@127.0.0.1:" + std::to_string(m_port) + ">;tag=bench"
            + id + "\r\n" + to + "\r\nCall-ID: answer-bench-" + id
            + "@127.0.0.1\r\nCSeq: " + std::to_string(cseq) + " " + method + "\r\nMax-Forwards: 70\r\n";
    }
    void Send(const std::string& message)
    {
        const sockaddr_in line = Address(m_linePort);
        ::sendto(
            m_fd, message.data(), message.size(), 0, reinterpret_cast<const sockaddr*>(&line), sizeof line);
    }

    int m_fd = -1;
    std::uint16_t m_port;
    std::uint16_t m_linePort;
    int m_call = 0;
};

// Dispatches events until a new call was offered to the application.
HCALL AwaitOffer(int timeoutMs)
{
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (g_offered.empty() && Clock::now() < end) {
        pollfd fd{ tapiGetEventFd(), POLLIN, 0 };
        ::poll(&fd, 1, 5);
        tapiDispatchEvents();
    }
    if (g_offered.empty())
        return 0;
    const HCALL call = g_offered.back();
    g_offered.clear();
    return call;
}

} // namespace

int main(int argc, char** argv)
{
    const int calls = argc > 1 ? std::atoi(argv[1]) : 20;
    const std::uint16_t linePort = sip_test::FreePort();
    const std::string config = "[line]\nname = SIP Bench\nkind = sip\nuser = kestrium\ndomain = 127.0.0.1\n"
                               "local-address = 127.0.0.1\nlocal-port = "
        + std::to_string(linePort) + "\nregister = no\n";
    if (tapisimUseManualClock(0) != TAPISIM_OK || tapisimConfigure(config.c_str()) != TAPISIM_OK) {
        std::fprintf(stderr, "sip_answer_bench: cannot configure: %s\n", tapisimLastError());
        return 1;
    }
    HLINEAPP app = 0;
    DWORD lines = 0, version = 0x00020000;
    LINEINITIALIZEEXPARAMS params{};
    params.dwTotalSize = sizeof params;
    params.dwOptions = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
    lineInitializeExA(&app, nullptr, Callback, "sip_answer_bench", &lines, &version, &params);
    HLINE line = 0;
    lineOpenA(app, 0, &line, version, 0, 0, LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_INTERACTIVEVOICE, nullptr);

    AwaitOffer(500); // the SIP stack starts on its own thread
    Caller caller(sip_test::FreePort(), linePort);
    std::vector<double> delays;
    for (int i = 1; i <= calls; ++i) {
        caller.Invite(i);
        const HCALL call = AwaitOffer(2000);
        if (!call || !caller.Await("SIP/2.0 180", "INVITE", 2000)) {
            std::fprintf(stderr, "sip_answer_bench: call %d did not ring\n", i);
            break;
        }
        const auto answered = Clock::now();
        lineAnswer(call, nullptr, 0);
        const auto ok = caller.Await("SIP/2.0 200", "INVITE", 2000);
        if (!ok) {
            std::fprintf(stderr, "sip_answer_bench: call %d got no 200\n", i);
            break;
        }
        delays.push_back(std::chrono::duration<double, std::milli>(ok->first - answered).count());
        caller.AckAndBye(ok->second);
        caller.Await("SIP/2.0 200", "BYE", 2000);
        lineDrop(call, nullptr, 0);
        // Lets the call go idle, and keeps under the line's limit of new calls from one address.
        AwaitOffer(600);
        lineDeallocateCall(call);
    }
    lineShutdown(app);
    if (delays.empty())
        return 1;
    std::vector<double> sorted = delays;
    std::sort(sorted.begin(), sorted.end());
    std::printf(
        "lineAnswer to the 200 OK at the caller, %zu calls: median %.3f ms, max %.3f ms (target %.0f ms)\n",
        sorted.size(), sorted[sorted.size() / 2], sorted.back(), kTargetMs);
    const bool met = sorted.back() < kTargetMs && int(sorted.size()) == calls;
    std::printf("%s\n", met ? "target met" : "TARGET MISSED");
    return met ? 0 : 2;
}
