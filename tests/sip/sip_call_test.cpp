// Calls on a SIP line against SIPp, the SIP test tool, over the loopback: the far end answers and
// sends a tone and a digit, refuses, or hangs up; the program sees the same call states and audio
// as on a simulated line.
#include "sip_fixture.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace {

using sip_test::AnsweringScenario;
using sip_test::Sipp;
using sip_test::WithMediaPort;

std::string PlayPcap(const std::string& file, unsigned thenWaitMs)
{
    return "  <nop><action><exec play_pcap_audio=\"" + file + "\"/></action></nop>\n  <pause milliseconds=\""
        + std::to_string(thenWaitMs) + "\"/>\n";
}

// SIPp refuses the call with `code`.
std::string RefusingScenario(int code)
{
    return R"(<?xml version="1.0" encoding="ISO-8859-1" ?>
<scenario name="refuse">
  <recv request="INVITE" crlf="true"/>
)" + sip_test::SippReply(std::to_string(code) + " Refused")
        + "  <recv request=\"ACK\" crlf=\"true\"/>\n</scenario>\n";
}

// A loopback UDP socket standing in for an RTP sender: the far end named in the SDP, or a stranger.
class RtpPeer {
public:
    // On `port`, or a free one; Port() is 0 when `port` was taken.
    explicit RtpPeer(std::uint16_t port = 0)
        : m_fd(::socket(AF_INET, SOCK_DGRAM, 0))
    {
        sockaddr_in address = Loopback(port);
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            return;
        socklen_t length = sizeof address;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
    }
    ~RtpPeer() { ::close(m_fd); }
    RtpPeer(const RtpPeer&) = delete;
    RtpPeer& operator=(const RtpPeer&) = delete;

    std::uint16_t Port() const { return m_port; }
    // Counts the packets that arrived since the last call; remembers the port they came from.
    int Drain()
    {
        int count = 0;
        std::uint8_t buffer[2048];
        sockaddr_in from{};
        socklen_t length = sizeof from;
        for (ssize_t size = 0; (size = ::recvfrom(m_fd, buffer, sizeof buffer, MSG_DONTWAIT,
                                    reinterpret_cast<sockaddr*>(&from), &length))
             > 0;) {
            ++count;
            if (size >= 8 && buffer[1] >= 200 && buffer[1] <= 204) // RTCP: SR, RR, SDES, BYE, APP
                ++m_rtcp;
            m_senderPort = ntohs(from.sin_port);
            length = sizeof from;
        }
        return count;
    }
    std::uint16_t SenderPort() const { return m_senderPort; }
    // RTCP packets among all that Drain() counted.
    int RtcpCount() const { return m_rtcp; }
    // One 20 ms PCMU packet of silence to `port` from stream `ssrc`.
    void SendRtp(std::uint16_t port, std::uint32_t ssrc, std::uint16_t seq)
    {
        std::uint8_t packet[12 + 160];
        std::fill(std::begin(packet), std::end(packet), 0xFF);
        const std::uint32_t timestamp = 160u * seq;
        const std::uint8_t header[12] = { 0x80, 0x00, std::uint8_t(seq >> 8), std::uint8_t(seq),
            std::uint8_t(timestamp >> 24), std::uint8_t(timestamp >> 16), std::uint8_t(timestamp >> 8),
            std::uint8_t(timestamp), std::uint8_t(ssrc >> 24), std::uint8_t(ssrc >> 16),
            std::uint8_t(ssrc >> 8), std::uint8_t(ssrc) };
        std::copy(std::begin(header), std::end(header), packet);
        const sockaddr_in to = Loopback(port);
        ::sendto(m_fd, packet, sizeof packet, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }

private:
    static sockaddr_in Loopback(std::uint16_t port)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        return address;
    }

    int m_fd;
    std::uint16_t m_port = 0;
    std::uint16_t m_senderPort = 0;
    int m_rtcp = 0;
};

// The far end's RTP and RTCP sockets on consecutive ports, as an SDP without a=rtcp announces them.
struct FarEndMedia {
    FarEndMedia()
    {
        for (int tries = 0; tries < 50 && !rtcp; ++tries) {
            auto first = std::make_unique<RtpPeer>();
            auto second = std::make_unique<RtpPeer>(static_cast<std::uint16_t>(first->Port() + 1));
            if (second->Port() != 0) {
                rtp = std::move(first);
                rtcp = std::move(second);
            }
        }
    }
    std::unique_ptr<RtpPeer> rtp;
    std::unique_ptr<RtpPeer> rtcp;
};

// An SDP from SIPp with the connection and media lines given.
std::string SdpWith(const std::string& connection, const std::string& media)
{
    return "v=0\r\no=sipp 1 1 IN IP4 [local_ip]\r\ns=-\r\nc=" + connection + "\r\nt=0 0\r\n" + media;
}

class SipCalls : public SipFixture {
protected:
    std::vector<std::string> Client() const { return { "127.0.0.1:" + std::to_string(m_line1Port) }; }
};

// The far end answers, sends 1 s of a 1200 Hz tone and the digit 1 as a telephone event, and hangs
// up: ring back, connected, the tone and the digit in our recording, then disconnected (normal).
TEST_F(SipCalls, OutgoingCallConnectsCarriesTheFarEndsToneAndDigitAndEndsWithItsBye)
{
    sip_test::WriteRtpPcap(m_dir / "tone.pcap", Tone(1200, 1000));
    Sipp sipp;
    ASSERT_TRUE(sipp.Start(m_dir.Path(),
        AnsweringScenario(PlayPcap((m_dir / "tone.pcap").string(), 1400)
            + PlayPcap("/usr/share/sip-tester/dtmf_2833_1.pcap", 1000)),
        m_sippPort));
    const HLINE line = OpenLine(kLine1);
    std::vector<std::int16_t>& heard = Record(line);
    HCALL call = 0;
    ASSERT_GT(MakeCall(line, call, "5551234"), 0);
    RunWhile(sipp, 15000);
    EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log();
    Run(200);
    EXPECT_TRUE(Saw(call, LINECALLSTATE_RINGBACK));
    EXPECT_TRUE(Saw(call, LINECALLSTATE_CONNECTED));
    EXPECT_TRUE(Saw(call, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL));
    // The tone: somewhere in what we heard, a second that is mostly 1200 Hz.
    EXPECT_GT(BestShareOf(heard, 1200), 0.8) << "heard " << heard.size() / 8 << " ms";
    EXPECT_LT(ShareOf(Slice(heard, 0, 300), 1200), 0.2) << "ring back, not the tone, before the answer";
    EXPECT_EQ(DigitsIn(heard), "1");
    EXPECT_EQ(lineDrop(call, nullptr, 0) > 0, true);
    Pump();
    EXPECT_EQ(CallState(call), DWORD(LINECALLSTATE_IDLE));
}

// We play a 700 Hz tone into the line's wave-out device and send the digit 5; SIPp echoes our RTP,
// so both come back to our wave-in: what we send reaches the far end.
TEST_F(SipCalls, OurWaveOutAudioAndDigitsReachTheFarEnd)
{
    Sipp sipp;
    ASSERT_TRUE(sipp.Start(
        m_dir.Path(), AnsweringScenario("  <pause milliseconds=\"2600\"/>\n"), m_sippPort, { "-rtp_echo" }));
    const HLINE line = OpenLine(kLine1);
    std::vector<std::int16_t>& heard = Record(line);
    HCALL call = 0;
    ASSERT_GT(MakeCall(line, call, "5551234"), 0);
    ASSERT_TRUE(RunUntil([&] { return CallState(call) == LINECALLSTATE_CONNECTED; }, 5000));
    const std::size_t connectedAt = heard.size();
    PlayTone(line, 700);
    Run(1000);
    m_outputs.back()->Stop();
    Run(200);
    ASSERT_EQ(GenerateDigits(call, "5"), 0);
    RunWhile(sipp, 8000);
    EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log();
    const std::vector<std::int16_t> talk(heard.begin() + long(connectedAt), heard.end());
    EXPECT_GT(BestShareOf(talk, 700, 400), 0.8) << "our tone came back from the far end";
    EXPECT_EQ(DigitsIn(talk), "5") << "the telephone event came back";
    EXPECT_TRUE(Saw(call, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL));
}

class SipCallsOverTcp : public SipCalls {
protected:
    std::string Line1Account() const override { return "register = no\nrtp-timeout = 2\ntransport = tcp\n"; }
};

// The same call with SIP over TCP (SIPp on one TCP connection): connected, the far end's tone, and
// its BYE ends the call.
TEST_F(SipCallsOverTcp, OutgoingCallConnectsAndCarriesTheFarEndsTone)
{
    sip_test::WriteRtpPcap(m_dir / "tone.pcap", Tone(1200, 1000));
    Sipp sipp;
    ASSERT_TRUE(sipp.Start(m_dir.Path(), AnsweringScenario(PlayPcap((m_dir / "tone.pcap").string(), 1400)),
        m_sippPort, { "-t", "t1" }));
    const HLINE line = OpenLine(kLine1);
    std::vector<std::int16_t>& heard = Record(line);
    Run(500); // SIPp listens
    HCALL call = 0;
    ASSERT_GT(MakeCall(line, call, "5551234"), 0);
    RunWhile(sipp, 15000);
    EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log();
    Run(200);
    EXPECT_TRUE(Saw(call, LINECALLSTATE_CONNECTED));
    EXPECT_TRUE(Saw(call, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL));
    EXPECT_GT(BestShareOf(heard, 1200), 0.8);
}

// Nobody listens at the far end's TCP port: the call ends at once instead of ringing on.
TEST_F(SipCallsOverTcp, RefusedConnectionEndsTheCall)
{
    const HLINE line = OpenLine(kLine1);
    HCALL call = 0;
    ASSERT_GT(MakeCall(line, call, "5551234"), 0);
    EXPECT_TRUE(RunUntil([&] { return Saw(call, LINECALLSTATE_DISCONNECTED); }, 5000));
}

struct Refusal {
    const char* name;
    int code;
    DWORD state;
    DWORD mode;
};

void PrintTo(const Refusal& refusal, std::ostream* out)
{
    *out << refusal.name;
}

class SipRefusals : public SipCalls, public ::testing::WithParamInterface<Refusal> { };

// The far end's final answer is the call state the program already handles.
TEST_P(SipRefusals, FinalAnswerBecomesTheCallState)
{
    const Refusal refusal = GetParam();
    Sipp sipp;
    ASSERT_TRUE(sipp.Start(m_dir.Path(), RefusingScenario(refusal.code), m_sippPort));
    const HLINE line = OpenLine(kLine1);
    HCALL call = 0;
    ASSERT_GT(MakeCall(line, call, "5551234"), 0);
    RunWhile(sipp, 5000);
    EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log();
    Run(100);
    EXPECT_TRUE(Saw(call, refusal.state, refusal.mode));
    EXPECT_FALSE(Saw(call, LINECALLSTATE_CONNECTED));
}

INSTANTIATE_TEST_SUITE_P(Answers, SipRefusals,
    ::testing::Values(Refusal{ "Busy486", 486, LINECALLSTATE_BUSY, LINEBUSYMODE_STATION },
        Refusal{ "NoAnswer480", 480, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NOANSWER },
        Refusal{ "BadAddress404", 404, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_BADADDRESS },
        Refusal{ "Declined603", 603, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_REJECT }),
    [](const ::testing::TestParamInfo<Refusal>& info) { return info.param.name; });

// SIPp answers but never sends audio: after the line's RTP time-out (2 s here) the call ends.
TEST_F(SipCalls, FarEndThatFallsSilentIsHungUp)
{
    Sipp sipp;
    ASSERT_TRUE(sipp.Start(m_dir.Path(), AnsweringScenario("", true), m_sippPort));
    const HLINE line = OpenLine(kLine1);
    HCALL call = 0;
    ASSERT_GT(MakeCall(line, call, "5551234"), 0);
    RunWhile(sipp, 8000);
    EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log() << "SIPp got our BYE";
    EXPECT_TRUE(Saw(call, LINECALLSTATE_CONNECTED));
    EXPECT_TRUE(Saw(call, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNREACHABLE));
}

// The far end's media (the port its SDP names) starts, then a stranger sends RTP of another stream
// to our port, on and on, while the far end falls silent: our audio keeps going to the far end and
// never to the stranger, and the stranger's packets do not keep the call alive past the RTP
// time-out (2 s here).
TEST_F(SipCalls, StrangersRtpNeitherTakesOverOurAudioNorKeepsTheCallAlive)
{
    RtpPeer farEnd;
    RtpPeer stranger;
    Sipp sipp;
    ASSERT_TRUE(
        sipp.Start(m_dir.Path(), WithMediaPort(AnsweringScenario("", true), farEnd.Port()), m_sippPort));
    const HLINE line = OpenLine(kLine1);
    HCALL call = 0;
    ASSERT_GT(MakeCall(line, call, "5551234"), 0);
    ASSERT_TRUE(RunUntil([&] { return farEnd.Drain() > 0; }, 5000)) << "our RTP goes where the SDP says";
    const std::uint16_t ourPort = farEnd.SenderPort();
    for (std::uint16_t seq = 0; seq < 10; ++seq) {
        farEnd.SendRtp(ourPort, 0x1111, seq);
        Run(20);
    }
    farEnd.Drain();
    int toFarEnd = 0;
    int toStranger = 0;
    std::uint16_t seq = 0;
    const bool ended = RunUntil(
        [&] {
            stranger.SendRtp(ourPort, 0x6666, seq++);
            toFarEnd += farEnd.Drain();
            toStranger += stranger.Drain();
            return Saw(call, LINECALLSTATE_DISCONNECTED);
        },
        4000);
    EXPECT_TRUE(ended) << "the stranger's packets kept the call alive";
    EXPECT_TRUE(Saw(call, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNREACHABLE));
    EXPECT_EQ(toStranger, 0);
    EXPECT_GT(toFarEnd, 40) << "our audio kept going to the far end";
    RunWhile(sipp, 5000);
    EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log() << "SIPp got our BYE";
}

// SIPp calls line 5: the call offers with the caller's name and number, we answer, SIPp's tone
// reaches our recording, and its BYE ends the call.
TEST_F(SipCalls, IncomingCallRingsWithCallerIdIsAnsweredAndRecordsTheCallersAudio)
{
    sip_test::WriteRtpPcap(m_dir / "tone.pcap", Tone(900, 1000));
    Sipp sipp;
    const HLINE line = OpenLine(kLine1);
    std::vector<std::int16_t>& heard = Record(line);
    ASSERT_TRUE(sipp.Start(m_dir.Path(),
        sip_test::CallingScenario(sip_test::AnsweredThenTone((m_dir / "tone.pcap").string(), 1300)),
        m_sippPort, Client()));
    ASSERT_TRUE(RunUntil([&] { return NewCallOn(line) != 0; }, 5000)) << sipp.Log();
    const HCALL call = NewCallOn(line);
    EXPECT_TRUE(Saw(call, LINECALLSTATE_OFFERING));
    EXPECT_EQ(CallerOf(call), std::make_pair(std::string("2125550100"), std::string("Alice Example")));
    Run(500); // it rings
    heard.clear();
    ASSERT_GT(lineAnswer(call, nullptr, 0), 0);
    RunWhile(sipp, 8000);
    EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log();
    EXPECT_TRUE(Saw(call, LINECALLSTATE_CONNECTED));
    EXPECT_TRUE(Saw(call, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL));
    EXPECT_GT(BestShareOf(heard, 900), 0.8);
}

// A caller who gives up (CANCEL) before we answer: the offered call simply ends, a missed call.
TEST_F(SipCalls, CallerWhoCancelsLeavesAMissedCall)
{
    Sipp sipp;
    const HLINE line = OpenLine(kLine1);
    ASSERT_TRUE(
        sipp.Start(m_dir.Path(), sip_test::CallingScenario(sip_test::GivesUp()), m_sippPort, Client()));
    RunWhile(sipp, 5000);
    EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log();
    Run(100);
    const HCALL call = NewCallOn(line);
    ASSERT_NE(call, 0u);
    EXPECT_TRUE(Saw(call, LINECALLSTATE_OFFERING));
    EXPECT_TRUE(Saw(call, LINECALLSTATE_IDLE));
    EXPECT_FALSE(Saw(call, LINECALLSTATE_CONNECTED));
}

} // namespace

namespace {

// RTCP goes to the far end's RTP port + 1 (its SDP names no other); when its answer takes the
// rtcp-mux we offer, to its RTP port. Either way no RTCP arrives where it does not belong.
TEST_F(SipCalls, RtcpGoesToTheRtcpPortOrWithRtcpMuxToTheRtpPort)
{
    const HLINE line = OpenLine(kLine1);
    for (const bool mux : { false, true }) {
        SCOPED_TRACE(mux ? "rtcp-mux" : "RTP port + 1");
        FarEndMedia farEnd;
        ASSERT_TRUE(farEnd.rtp);
        Sipp sipp;
        const std::string sdp = sip_test::SippSdp() + (mux ? "a=rtcp-mux\r\n" : "");
        ASSERT_TRUE(sipp.Start(
            m_dir.Path(), WithMediaPort(AnsweringScenario("", true, sdp), farEnd.rtp->Port()), m_sippPort));
        HCALL call = 0;
        ASSERT_GT(MakeCall(line, call, "5551234"), 0);
        ASSERT_TRUE(RunUntil([&] { return farEnd.rtp->Drain() > 0; }, 5000)) << sipp.Log();
        const std::uint16_t ourPort = farEnd.rtp->SenderPort();
        RtpPeer& expected = mux ? *farEnd.rtp : *farEnd.rtcp;
        RtpPeer& other = mux ? *farEnd.rtcp : *farEnd.rtp;
        std::uint16_t seq = 0;
        RunUntil(
            [&] {
                farEnd.rtp->SendRtp(ourPort, 0x1111, seq++); // the far end talks: the call stays up
                farEnd.rtp->Drain();
                farEnd.rtcp->Drain();
                return expected.RtcpCount() > 0;
            },
            12000);
        EXPECT_GT(expected.RtcpCount(), 0);
        EXPECT_EQ(other.RtcpCount(), 0);
        ASSERT_GT(lineDrop(call, nullptr, 0), 0);
        RunWhile(sipp, 3000);
        EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log() << "SIPp got our BYE";
        lineDeallocateCall(call);
    }
}

// A PBX asks whether the phone is there: 200 with what the line takes (methods, SDP), not 501.
TEST_F(SipCalls, OptionsAreAnsweredWithTheLinesCapabilities)
{
    const std::string scenario = R"(<?xml version="1.0" encoding="ISO-8859-1" ?>
<scenario name="options">
  <send retrans="500"><![CDATA[
OPTIONS sip:kestrium@[remote_ip]:[remote_port] SIP/2.0
Via: SIP/2.0/[transport] [local_ip]:[local_port];branch=[branch]
From: <sip:sipp@[local_ip]:[local_port]>;tag=[pid]SIPpTag00[call_number]
To: <sip:kestrium@[remote_ip]:[remote_port]>
Call-ID: [call_id]
CSeq: 1 OPTIONS
Max-Forwards: 70
Accept: application/sdp
Content-Length: 0

]]></send>
  <recv response="200">
    <action>
      <ereg regexp="INVITE, ACK, BYE, CANCEL, OPTIONS" search_in="hdr" header="Allow:" check_it="true" assign_to="allow"/>
      <ereg regexp="application/sdp" search_in="hdr" header="Accept:" check_it="true" assign_to="accept"/>
      <ereg regexp="Supported:" search_in="msg" check_it="true" assign_to="supported"/>
      <log message="[$allow] [$accept] [$supported]"/>
    </action>
  </recv>
</scenario>
)";
    OpenLine(kLine1);
    Sipp sipp;
    ASSERT_TRUE(sipp.Start(m_dir.Path(), scenario, m_sippPort, Client()));
    RunWhile(sipp, 5000);
    EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log();
}

// An offer of PCMU by its static payload type alone (no a=rtpmap) rings, is answered, and the
// caller's audio arrives.
TEST_F(SipCalls, StaticPayloadTypeWithoutRtpmapIsAnsweredAndCarriesAudio)
{
    sip_test::WriteRtpPcap(m_dir / "tone.pcap", Tone(900, 1000));
    Sipp sipp;
    const HLINE line = OpenLine(kLine1);
    std::vector<std::int16_t>& heard = Record(line);
    ASSERT_TRUE(sipp.Start(m_dir.Path(),
        sip_test::CallingScenario(sip_test::AnsweredThenTone((m_dir / "tone.pcap").string(), 1300), "",
            SdpWith("IN IP4 [media_ip]", "m=audio [media_port] RTP/AVP 0\r\n")),
        m_sippPort, Client()));
    ASSERT_TRUE(RunUntil([&] { return NewCallOn(line) != 0; }, 5000)) << sipp.Log();
    const HCALL call = NewCallOn(line);
    heard.clear();
    ASSERT_GT(lineAnswer(call, nullptr, 0), 0);
    RunWhile(sipp, 8000);
    EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log();
    EXPECT_TRUE(Saw(call, LINECALLSTATE_CONNECTED));
    EXPECT_GT(BestShareOf(heard, 900), 0.8);
}

// Nobody has line 5 open (a monitor cannot answer either): callers are refused with 480 at once
// instead of ringing, or being answered, with nobody there.
TEST_F(SipCalls, LineThatNoApplicationOwnsRefusesCallersWith480)
{
    HLINE monitor = 0;
    ASSERT_EQ(
        lineOpenA(m_lineApp, kLine1, &monitor, TAPI_VERSION2_0, 0, 0, LINECALLPRIVILEGE_MONITOR, 0, nullptr),
        0);
    Sipp sipp;
    ASSERT_TRUE(sipp.Start(m_dir.Path(), sip_test::RefusedCallScenario(480), m_sippPort, Client()));
    RunWhile(sipp, 5000);
    EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log();
    EXPECT_EQ(NewCallOn(monitor), 0u);
}

// A second caller while the line rings with the first is turned away busy (486); the program still
// sees it, offered and at once disconnected busy, so it can log a missed call; the first call rings on.
TEST_F(SipCalls, SecondCallerOnABusyLineIsRefusedAndReportedAsBusy)
{
    const HLINE line = OpenLine(kLine1);
    Sipp first;
    ASSERT_TRUE(first.Start(m_dir.Path(),
        sip_test::CallingScenario("  <pause milliseconds=\"2500\"/>\n" + sip_test::GivesUp()), m_sippPort,
        Client()));
    ASSERT_TRUE(RunUntil([&] { return NewCallOn(line) != 0; }, 5000)) << first.Log();
    const HCALL ringing = NewCallOn(line);
    m_received.clear();
    const std::filesystem::path folder = m_dir / "second";
    std::filesystem::create_directories(folder);
    Sipp second;
    ASSERT_TRUE(second.Start(folder, sip_test::RefusedCallScenario(486), sip_test::FreePort(), Client()));
    RunWhile(second, 3000);
    EXPECT_EQ(second.ExitCode(), 0) << second.Log();
    const HCALL refused = NewCallOn(line);
    ASSERT_NE(refused, 0u);
    EXPECT_NE(refused, ringing);
    EXPECT_TRUE(Saw(refused, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_BUSY));
    EXPECT_EQ(CallState(ringing), DWORD(LINECALLSTATE_OFFERING));
    RunWhile(first, 5000);
    EXPECT_EQ(first.ExitCode(), 0) << first.Log();
}

struct NoAudioOffer {
    const char* name;
    const char* connection;
    const char* media;
};

void PrintTo(const NoAudioOffer& offer, std::ostream* out)
{
    *out << offer.name;
}

class SipNoAudioOffers : public SipCalls, public ::testing::WithParamInterface<NoAudioOffer> { };

// An offer whose audio cannot reach us is refused with 488 before anything rings; the program
// still sees the caller (offered, then disconnected as incompatible) and can log a missed call.
TEST_P(SipNoAudioOffers, AreRefusedWith488WithoutRingingAndReported)
{
    const NoAudioOffer offer = GetParam();
    const HLINE line = OpenLine(kLine1);
    ASSERT_EQ(lineSetStatusMessages(line, LINEDEVSTATE_RINGING, 0), 0);
    Sipp sipp;
    ASSERT_TRUE(sipp.Start(m_dir.Path(),
        sip_test::RefusedCallScenario(488, "", SdpWith(offer.connection, offer.media)), m_sippPort,
        Client()));
    RunWhile(sipp, 5000);
    EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log();
    Run(100);
    const HCALL call = NewCallOn(line);
    ASSERT_NE(call, 0u) << "the program hears of the refused caller";
    EXPECT_TRUE(Saw(call, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_INCOMPATIBLE));
    EXPECT_EQ(CallerOf(call), std::make_pair(std::string("2125550100"), std::string("Alice Example")));
    for (const Received& message : m_received)
        EXPECT_FALSE(message.message == LINE_LINEDEVSTATE && message.p1 == LINEDEVSTATE_RINGING) << "it rang";
    ASSERT_GT(lineDrop(call, nullptr, 0), 0);
    Run(100);
    EXPECT_TRUE(Saw(call, LINECALLSTATE_IDLE));
}

INSTANTIATE_TEST_SUITE_P(Offers, SipNoAudioOffers,
    ::testing::Values(
        NoAudioOffer{ "PortZero", "IN IP4 [media_ip]", "m=audio 0 RTP/AVP 0\r\na=rtpmap:0 PCMU/8000\r\n" },
        NoAudioOffer{
            "NoAddress", "IN IP4 0.0.0.0", "m=audio [media_port] RTP/AVP 0\r\na=rtpmap:0 PCMU/8000\r\n" },
        NoAudioOffer{
            "Ipv6OnAnIpv4Line", "IN IP6 ::1", "m=audio [media_port] RTP/AVP 0\r\na=rtpmap:0 PCMU/8000\r\n" },
        NoAudioOffer{ "NoCommonCodec", "IN IP4 [media_ip]",
            "m=audio [media_port] RTP/AVP 18\r\na=rtpmap:18 G729/8000\r\n" }),
    [](const ::testing::TestParamInfo<NoAudioOffer>& info) { return info.param.name; });

} // namespace

namespace {

// SIPp's audio description at version `version`, with `direction` ("a=sendonly\r\n", or nothing)
// and the connection address given.
std::string SippSdpHolding(
    int version, const std::string& direction, const std::string& address = "[media_ip]")
{
    return "v=0\r\no=sipp 1 " + std::to_string(version) + " IN IP4 [local_ip]\r\ns=-\r\nc=IN IP4 " + address
        + "\r\nt=0 0\r\nm=audio [media_port] RTP/AVP 0\r\na=rtpmap:0 PCMU/8000\r\n" + direction;
}

// SIPp, the called party, sends a re-INVITE offering `sdp` (CSeq `cseq`), checks that our 200
// answers with `answer` ("a=recvonly"), and acknowledges it.
std::string FarEndReInvite(int cseq, const std::string& sdp, const std::string& answer)
{
    const std::string headers = "Via: SIP/2.0/[transport] [local_ip]:[local_port];branch=[branch]\n"
                                "From: <sip:sipp@[local_ip]:[local_port]>;tag=[pid]SIPpTag01[call_number]\n"
                                "To:[$caller]\n[last_Call-ID:]\n";
    const std::string number = std::to_string(cseq);
    return "  <send retrans=\"500\"><![CDATA[\nINVITE [$contact] SIP/2.0\n" + headers + "CSeq: " + number
        + " INVITE\nContact: <sip:sipp@[local_ip]:[local_port]>\nMax-Forwards: 70\n"
          "Content-Type: application/sdp\nContent-Length: [len]\n\n"
        + sdp + "]]></send>\n  <recv response=\"200\"><action><ereg regexp=\"" + answer
        + "\" search_in=\"msg\" check_it=\"true\" assign_to=\"answer" + number + "\"/><log message=\"[$answer"
        + number + "]\"/></action></recv>\n  <send><![CDATA[\nACK [$contact] SIP/2.0\n" + headers
        + "CSeq: " + number + " ACK\nMax-Forwards: 70\nContent-Length: 0\n\n]]></send>\n";
}

struct FarEndHold {
    const char* name;
    const char* direction; // the hold offer's direction line
    const char* address; // its connection address
    const char* answer; // the direction our 200 must carry
};

void PrintTo(const FarEndHold& hold, std::ostream* out)
{
    *out << hold.name;
}

class SipFarEndHolds : public SipCalls, public ::testing::WithParamInterface<FarEndHold> { };

// The far end holds the call for 3 s, longer than the line's RTP time-out (2 s), sending nothing:
// our 200 answers its direction and the call survives. When it resumes, the time-out watch is back:
// it stays silent and 2 s later the line ends the call.
TEST_P(SipFarEndHolds, HeldCallOutlastsTheRtpTimeoutAndResumes)
{
    const FarEndHold hold = GetParam();
    const std::string media = "  <pause milliseconds=\"200\"/>\n"
        + FarEndReInvite(3, SippSdpHolding(2, hold.direction, hold.address), hold.answer)
        + "  <pause milliseconds=\"3000\"/>\n"
        + FarEndReInvite(4, SippSdpHolding(3, "a=sendrecv\r\n"), "a=sendrecv");
    Sipp sipp;
    ASSERT_TRUE(sipp.Start(m_dir.Path(), AnsweringScenario(media, true), m_sippPort));
    const HLINE line = OpenLine(kLine1);
    HCALL call = 0;
    ASSERT_GT(MakeCall(line, call, "5551234"), 0);
    RunWhile(sipp, 12000);
    EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log() << "our answers and our BYE";
    EXPECT_TRUE(Saw(call, LINECALLSTATE_CONNECTED));
    EXPECT_TRUE(Saw(call, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNREACHABLE))
        << "after the resume the far end's silence ends the call";
}

INSTANTIATE_TEST_SUITE_P(Holds, SipFarEndHolds,
    ::testing::Values(FarEndHold{ "SendOnly", "a=sendonly\r\n", "[media_ip]", "a=recvonly" },
        FarEndHold{ "Inactive", "a=inactive\r\n", "[media_ip]", "a=inactive" },
        FarEndHold{ "OldStyleNoAddress", "", "0.0.0.0", "a=recvonly" }),
    [](const ::testing::TestParamInfo<FarEndHold>& info) { return info.param.name; });

// SIPp as the called party of our hold: it checks that our re-INVITE says a=sendonly, answers
// a=recvonly, then checks the resume says a=sendrecv.
std::string HeldByUs()
{
    return sip_test::OurReInvite("a=sendonly", "200 OK", "a=recvonly")
        + sip_test::OurReInvite("a=sendrecv", "200 OK", "a=sendrecv");
}

// lineHold on a SIP call: a re-INVITE with a=sendonly, then (once answered) LINE_REPLY and ONHOLD;
// none of our audio reaches the far end, and the held call outlasts the RTP time-out (2 s) though
// the far end sends nothing; lineUnhold: a=sendrecv, CONNECTED, our audio flows again. The address
// caps say so.
TEST_F(SipCalls, OurHoldSendsSendonlyStopsOurAudioAndUnholdResumes)
{
    LINEADDRESSCAPS caps{};
    caps.dwTotalSize = sizeof caps;
    ASSERT_EQ(lineGetAddressCapsA(m_lineApp, kLine1, 0, m_version, 0, &caps), 0);
    EXPECT_EQ(
        caps.dwCallFeatures & (LINECALLFEATURE_HOLD | LINECALLFEATURE_UNHOLD | LINECALLFEATURE_SWAPHOLD),
        DWORD(LINECALLFEATURE_HOLD | LINECALLFEATURE_UNHOLD | LINECALLFEATURE_SWAPHOLD));
    EXPECT_TRUE(caps.dwCallStates & LINECALLSTATE_ONHOLD);

    RtpPeer farEnd;
    Sipp sipp;
    ASSERT_TRUE(sipp.Start(
        m_dir.Path(), WithMediaPort(AnsweringScenario(HeldByUs(), true), farEnd.Port()), m_sippPort));
    const HLINE line = OpenLine(kLine1);
    HCALL call = 0;
    ASSERT_GT(MakeCall(line, call, "5551234"), 0);
    ASSERT_TRUE(RunUntil([&] { return Saw(call, LINECALLSTATE_CONNECTED) && farEnd.Drain() > 0; }, 5000))
        << sipp.Log();
    const auto features = [&] {
        LINECALLSTATUS status{};
        status.dwTotalSize = sizeof status;
        EXPECT_EQ(lineGetCallStatus(call, &status), 0);
        return status.dwCallFeatures
            & (LINECALLFEATURE_HOLD | LINECALLFEATURE_UNHOLD | LINECALLFEATURE_SWAPHOLD);
    };
    EXPECT_EQ(features(), DWORD(LINECALLFEATURE_HOLD));
    const LONG hold = lineHold(call);
    ASSERT_GT(hold, 0);
    Run(200);
    EXPECT_EQ(ReplyTo(hold), 0);
    EXPECT_TRUE(Saw(call, LINECALLSTATE_ONHOLD));
    farEnd.Drain();
    Run(2500);
    EXPECT_EQ(farEnd.Drain(), 0) << "our audio stopped while held";
    EXPECT_FALSE(Saw(call, LINECALLSTATE_DISCONNECTED)) << "the held call outlasts the RTP time-out";
    EXPECT_EQ(lineHold(call), LINEERR_INVALCALLSTATE);
    EXPECT_EQ(features(), DWORD(LINECALLFEATURE_UNHOLD));

    m_received.clear();
    const LONG unhold = lineUnhold(call);
    ASSERT_GT(unhold, 0);
    Run(300);
    EXPECT_EQ(ReplyTo(unhold), 0);
    EXPECT_TRUE(Saw(call, LINECALLSTATE_CONNECTED));
    EXPECT_GT(farEnd.Drain(), 5) << "our audio flows again";
    ASSERT_GT(lineDrop(call, nullptr, 0), 0);
    RunWhile(sipp, 5000);
    EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log() << "our re-INVITEs' directions and our BYE";
}

} // namespace
