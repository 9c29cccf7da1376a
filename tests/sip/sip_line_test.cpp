// SIP lines without a call: registration (digest challenge, an unreachable registrar, a password
// file others can read), two SIP lines calling each other, and hostile datagrams on a line's port.
#include "sip_fixture.h"

#include "support/temp_dir.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <random>

namespace {

using sip_test::Sipp;

// A registrar that accepts user "kestrium" with password "s3cret" after its digest challenge.
const std::string kRegistrar = sip_test::RegistrarScenario("kestrium", "s3cret");

struct PasswordCase {
    const char* name;
    const char* password;
    int mode;
};

class SipRegistration : public SipFixture {
protected:
    void WritePassword(const char* password, int mode)
    {
        std::ofstream(m_dir / "line.password") << password << "\n";
        std::filesystem::permissions(m_dir / "line.password", std::filesystem::perms(mode));
    }
    std::string Line1Account() const override
    {
        return "register = yes\nregistrar = sip:127.0.0.1:" + std::to_string(m_sippPort)
            + "\npassword-file = " + (m_dir / "line.password").string() + "\n";
    }
    DWORD DevStatusFlags(HLINE line)
    {
        LINEDEVSTATUS status{};
        status.dwTotalSize = sizeof status;
        EXPECT_EQ(lineGetLineDevStatus(line, &status), 0);
        return status.dwDevStatusFlags;
    }
    bool SawLineState(HLINE line, DWORD state) const
    {
        for (const Received& message : m_received)
            if (message.message == LINE_LINEDEVSTATE && message.device == line && message.p1 == state)
                return true;
        return false;
    }
};

class SipRegistrationWithSecret : public SipRegistration {
protected:
    SipRegistrationWithSecret() { WritePassword("s3cret", 0600); }
};

// The line is out of service until the registrar, after its digest challenge, checked our
// credentials and accepted them; then LINEDEVSTATE INSERVICE and `linesim list` say so.
TEST_F(SipRegistrationWithSecret, DigestChallengeIsAnsweredAndPutsTheLineInService)
{
    const HLINE line = OpenLine(kLine1);
    EXPECT_EQ(DevStatusFlags(line) & LINEDEVSTATUSFLAGS_INSERVICE, 0u) << "not registered yet";
    Sipp sipp;
    ASSERT_TRUE(sipp.Start(m_dir.Path(), kRegistrar, m_sippPort));
    RunWhile(sipp, 8000);
    EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log();
    ASSERT_TRUE(RunUntil([&] { return SawLineState(line, LINEDEVSTATE_INSERVICE); }, 2000)) << LineList();
    EXPECT_NE(DevStatusFlags(line) & LINEDEVSTATUSFLAGS_INSERVICE, 0u);
    EXPECT_NE(LineList().find("line 5: IP Line 1 (sip, in service: registered"), std::string::npos)
        << LineList();
}

// Without anybody at the registrar's address the line goes out of service within seconds and
// refuses calls; the state says why.
TEST_F(SipRegistrationWithSecret, UnreachableRegistrarLeavesTheLineOutOfService)
{
    const HLINE line = OpenLine(kLine1);
    ASSERT_TRUE(
        RunUntil([&] { return LineList().find("no answer from the registrar") != std::string::npos; }, 6000))
        << LineList();
    EXPECT_EQ(DevStatusFlags(line) & LINEDEVSTATUSFLAGS_INSERVICE, 0u);
    EXPECT_NE(
        LineList().find("IP Line 1 (sip, out of service: no answer from the registrar"), std::string::npos);
    HCALL call = 0;
    EXPECT_EQ(MakeCall(line, call, "5551234"), LINEERR_OPERATIONUNAVAIL);
}

class SipRegistrationWithOpenPassword : public SipRegistration {
protected:
    SipRegistrationWithOpenPassword() { WritePassword("s3cret", 0644); }
};

// A password file that others can read is not used: nothing is sent, the line is out of service
// and says how to fix the file.
TEST_F(SipRegistrationWithOpenPassword, PasswordFileOthersCanReadIsRefused)
{
    Sipp sipp;
    ASSERT_TRUE(sipp.Start(m_dir.Path(), kRegistrar, m_sippPort));
    const HLINE line = OpenLine(kLine1);
    Run(1000);
    EXPECT_TRUE(sipp.Running()) << "no REGISTER reached the registrar";
    EXPECT_EQ(DevStatusFlags(line) & LINEDEVSTATUSFLAGS_INSERVICE, 0u);
    const std::string list = LineList();
    EXPECT_NE(
        list.find("can be read by others (mode 0644); make it private with: chmod 600"), std::string::npos)
        << list;
}

// A registrar that challenges every REGISTER: with a wrong password the line answers the first
// challenge and stops; a third REGISTER within 3 s is unexpected and fails the scenario (libre
// alone sent 16 at once).
const std::string kChallengingRegistrar
    = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\n<scenario name=\"registrar\">\n"
      "  <recv request=\"REGISTER\"/>\n"
    + sip_test::SippReply("401 Unauthorized",
        "WWW-Authenticate: Digest realm=\"kestrium.test\", nonce=\"4f2a9c1b\", algorithm=MD5\n")
    + "  <recv request=\"REGISTER\"/>\n"
    + sip_test::SippReply("401 Unauthorized",
        "WWW-Authenticate: Digest realm=\"kestrium.test\", nonce=\"5e3b8d2c\", algorithm=MD5\n")
    + "  <pause milliseconds=\"3000\"/>\n</scenario>\n";

class SipRegistrationWithWrongPassword : public SipRegistration {
protected:
    SipRegistrationWithWrongPassword() { WritePassword("wrong", 0600); }
};

TEST_F(SipRegistrationWithWrongPassword, StopsAfterOneChallengeAndSaysWhy)
{
    const HLINE line = OpenLine(kLine1);
    Sipp sipp;
    ASSERT_TRUE(sipp.Start(m_dir.Path(), kChallengingRegistrar, m_sippPort));
    RunWhile(sipp, 8000);
    EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log();
    EXPECT_EQ(DevStatusFlags(line) & LINEDEVSTATUSFLAGS_INSERVICE, 0u);
    EXPECT_NE(LineList().find("out of service: the registrar refused the password (401 Unauthorized)"),
        std::string::npos)
        << LineList();
}

// A 403 is reported with the registrar's reason, not as a refused password: at once (a domain the
// registrar does not serve; libre tries again later) or after our answer to its challenge (a
// wrong realm, or a server that says 403 for a wrong password; the line stops).
struct ForbiddenCase {
    const char* name;
    bool challengeFirst;
    const char* state;
};

class SipRegistrationForbidden : public SipRegistrationWithSecret,
                                 public ::testing::WithParamInterface<ForbiddenCase> { };

std::string ForbiddingRegistrar(bool challengeFirst)
{
    std::string scenario
        = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\n<scenario name=\"registrar\">\n";
    if (challengeFirst)
        scenario += "  <recv request=\"REGISTER\"/>\n"
            + sip_test::SippReply("401 Unauthorized",
                "WWW-Authenticate: Digest realm=\"other.test\", nonce=\"4f2a9c1b\", algorithm=MD5\n");
    return scenario + "  <recv request=\"REGISTER\"/>\n" + sip_test::SippReply("403 Wrong Realm")
        + "  <pause milliseconds=\"500\"/>\n</scenario>\n";
}

TEST_P(SipRegistrationForbidden, ForbiddenIsReportedWithTheRegistrarsReason)
{
    const HLINE line = OpenLine(kLine1);
    Sipp sipp;
    ASSERT_TRUE(sipp.Start(m_dir.Path(), ForbiddingRegistrar(GetParam().challengeFirst), m_sippPort));
    RunWhile(sipp, 6000);
    EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log();
    EXPECT_TRUE(RunUntil([&] { return LineList().find(GetParam().state) != std::string::npos; }, 1000))
        << LineList();
    EXPECT_EQ(LineList().find("password"), std::string::npos) << LineList();
    EXPECT_EQ(LineList().find("not registering again") != std::string::npos, GetParam().challengeFirst)
        << "only a refusal of the credentials we sent stops the line";
    EXPECT_EQ(DevStatusFlags(line) & LINEDEVSTATUSFLAGS_INSERVICE, 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, SipRegistrationForbidden,
    ::testing::Values(ForbiddenCase{ "AtOnce", false,
                          "IP Line 1 (sip, out of service: the registrar refused: 403 Wrong Realm" },
        ForbiddenCase{ "AfterTheChallenge", true,
            "IP Line 1 (sip, out of service: the registrar refused: 403 Wrong Realm; not registering "
            "again until the line is restarted" }),
    [](const auto& info) { return std::string(info.param.name); });

// A registrar that accepts the line at `linePort` for 2 s and is gone when it refreshes (at 90 %
// of that).
std::string VanishingRegistrar(std::uint16_t linePort)
{
    return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\n<scenario name=\"registrar\">\n"
           "  <recv request=\"REGISTER\"/>\n"
        + sip_test::SippReply(
            "200 OK", "Contact: <sip:kestrium@127.0.0.1:" + std::to_string(linePort) + ">;expires=2\n")
        + "  <label id=\"silent\"/>\n"
          "  <recv request=\"REGISTER\" timeout=\"9000\" ontimeout=\"end\" next=\"silent\"/>\n"
          "  <label id=\"end\"/>\n</scenario>\n";
}

// The refresh goes unanswered: the line is out of service 4 s after it went out, not when the
// transaction times out (32 s).
TEST_F(SipRegistrationWithSecret, RegistrarLostDuringARefreshIsNoticedWithinFourSeconds)
{
    const HLINE line = OpenLine(kLine1);
    Sipp sipp;
    ASSERT_TRUE(sipp.Start(m_dir.Path(), VanishingRegistrar(m_line1Port), m_sippPort));
    ASSERT_TRUE(RunUntil([&] { return SawLineState(line, LINEDEVSTATE_INSERVICE); }, 3000)) << sipp.Log();
    EXPECT_TRUE(RunUntil([&] { return SawLineState(line, LINEDEVSTATE_OUTOFSERVICE); }, 1800 + 4000 + 1000))
        << LineList() << sipp.Log();
    EXPECT_NE(LineList().find("out of service: no answer from the registrar"), std::string::npos)
        << LineList();
    EXPECT_EQ(DevStatusFlags(line) & LINEDEVSTATUSFLAGS_INSERVICE, 0u);
}

// A registrar reached through the outbound proxy: the Route header names it with ;lr once
// (a strict server may refuse <sip:host:port;lr;lr>).
const std::string kRouteCheckingRegistrar
    = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\n<scenario name=\"registrar\">\n"
      "  <recv request=\"REGISTER\">\n    <action>\n"
      "      <ereg regexp=\"^ *&lt;sip:127\\.0\\.0\\.1:[0-9]+;lr&gt; *$\" search_in=\"hdr\" header=\"Route:\""
      " check_it=\"true\" assign_to=\"route\"/>\n"
      "      <log message=\"[$route]\"/>\n    </action>\n  </recv>\n"
    + sip_test::SippReply("200 OK", "[last_Contact:]\n") + "</scenario>\n";

class SipRegistrationThroughProxy : public SipRegistrationWithSecret {
protected:
    std::string Line1Account() const override
    {
        return SipRegistration::Line1Account()
            + "outbound-proxy = sip:127.0.0.1:" + std::to_string(m_sippPort) + "\n";
    }
};

TEST_F(SipRegistrationThroughProxy, RouteCarriesTheLooseRoutingParameterOnce)
{
    const HLINE line = OpenLine(kLine1);
    Sipp sipp;
    ASSERT_TRUE(sipp.Start(m_dir.Path(), kRouteCheckingRegistrar, m_sippPort));
    RunWhile(sipp, 5000);
    EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log();
    EXPECT_TRUE(RunUntil([&] { return SawLineState(line, LINEDEVSTATE_INSERVICE); }, 2000)) << LineList();
}

class SipLines : public SipFixture { };

// The caller's BYE right after our 200 OK, which it never acknowledges: libre keeps sending the
// 200 and holds the line's stack for the ACK that never comes (32 s).
const std::string kByeWithoutAck
    = "  <recv response=\"200\"/>\n  <send><![CDATA[\nBYE sip:kestrium@[remote_ip]:[remote_port] SIP/2.0\n"
      "Via: SIP/2.0/[transport] [local_ip]:[local_port];branch=[branch]\n"
      "From: \"Alice Example\" <sip:2125550100@[local_ip]:[local_port]>;tag=[pid]SIPpTag00[call_number]\n"
      "[last_To:]\nCall-ID: [call_id]\nCSeq: 2 BYE\nMax-Forwards: 70\nContent-Length: 0\n\n]]></send>\n"
      "  <recv response=\"200\" crlf=\"true\"/>\n";

// The configuration the exchange started with, also in the file tapiReloadConfig reads; line 5
// over UDP or TCP.
class SipReload : public SipFixture, public ::testing::WithParamInterface<const char*> {
protected:
    SipReload()
    {
        testing_support::WriteBytes(m_dir / "exchange.conf", Configuration());
        ::setenv("KESTRIUM_EXCHANGE_CONFIG", (m_dir / "exchange.conf").c_str(), 1);
    }
    ~SipReload() override { ::unsetenv("KESTRIUM_EXCHANGE_CONFIG"); }

    std::string Line1Account() const override { return "register = no\ntransport = " + Transport() + "\n"; }
    std::string Transport() const { return GetParam(); }
    std::vector<std::string> SippTransport() const
    {
        return Transport() == "tcp" ? std::vector<std::string>{ "-t", "t1" } : std::vector<std::string>{};
    }
    std::vector<std::string> Client() const
    {
        std::vector<std::string> arguments = SippTransport();
        arguments.push_back("127.0.0.1:" + std::to_string(m_line1Port));
        return arguments;
    }
    // SIPp calls line 5 on its fixed port, is answered and hangs up without acknowledging the answer.
    void CallAnsweredAndEnded(HLINE line)
    {
        m_received.clear();
        Sipp sipp;
        ASSERT_TRUE(
            sipp.Start(m_dir.Path(), sip_test::CallingScenario(kByeWithoutAck), m_sippPort, Client()));
        ASSERT_TRUE(RunUntil([&] { return NewCallOn(line) != 0; }, 5000)) << sipp.Log() << LineList();
        const HCALL call = NewCallOn(line);
        ASSERT_GT(lineAnswer(call, nullptr, 0), 0);
        RunWhile(sipp, 6000);
        EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log();
        EXPECT_TRUE(RunUntil([&] { return Saw(call, LINECALLSTATE_DISCONNECTED); }, 2000));
        lineDrop(call, nullptr, 0);
        EXPECT_TRUE(RunUntil([&] { return Saw(call, LINECALLSTATE_IDLE); }, 1000));
        EXPECT_EQ(lineDeallocateCall(call), 0);
    }
    // Line 5 calls SIPp, which answers, and hangs up itself (our BYE).
    void CallMadeAndHungUp(HLINE line)
    {
        m_received.clear();
        Sipp sipp;
        ASSERT_TRUE(sipp.Start(m_dir.Path(),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\n<scenario name=\"answer\">\n"
            "  <recv request=\"INVITE\" crlf=\"true\"/>\n"
                + sip_test::SippReply("200 OK",
                    "Contact: <sip:sipp@[local_ip]:[local_port]>\nContent-Type: application/sdp\n",
                    sip_test::SippSdp())
                + "  <recv request=\"ACK\"/>\n  <recv request=\"BYE\"/>\n" + sip_test::SippReply("200 OK")
                + "</scenario>\n",
            m_sippPort, SippTransport()));
        Run(300); // SIPp listens
        HCALL call = 0;
        ASSERT_GT(MakeCall(line, call, "5551234"), 0);
        ASSERT_TRUE(RunUntil([&] { return CallState(call) == LINECALLSTATE_CONNECTED; }, 5000)) << sipp.Log();
        ASSERT_GT(lineDrop(call, nullptr, 0), 0);
        RunWhile(sipp, 5000);
        EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log();
        EXPECT_TRUE(RunUntil([&] { return Saw(call, LINECALLSTATE_IDLE); }, 1000));
        EXPECT_EQ(lineDeallocateCall(call), 0);
    }
};

// After a call, starting the SIP lines again (a changed configuration applied) brings the line
// back on its fixed port, even with a session the old stack still held: the next caller gets
// through and the line calls out again. Two reloads, so that a stack left behind by the first would show.
TEST_P(SipReload, LineWithAFixedPortAnswersAgainAfterAReload)
{
    const HLINE line = OpenLine(kLine1);
    for (int round = 1; round <= 3; ++round) {
        SCOPED_TRACE("call " + std::to_string(round));
        CallMadeAndHungUp(line);
        CallAnsweredAndEnded(line); // last: its 200 OK goes on until the reload, to SIPp's port
        if (round == 3)
            break;
        std::array<char, 512> message{};
        ASSERT_EQ(tapiReloadConfig(message.data(), DWORD(message.size())), 0) << message.data();
        Run(100);
        EXPECT_NE(LineList().find("IP Line 1 (sip, in service: registration off"), std::string::npos)
            << LineList();
    }
}

INSTANTIATE_TEST_SUITE_P(Transports, SipReload, ::testing::Values("udp", "tcp"),
    [](const auto& info) { return std::string(info.param); });

void SendDatagram(std::uint16_t port, const std::string& bytes)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::close(fd);
}

// Damaged and hostile INVITEs: cut short, lying lengths, huge or control-laden caller names,
// SDP without G.711, random bytes.
std::vector<std::string> HostileInvites(std::uint16_t port)
{
    const std::string target = "sip:second@127.0.0.1:" + std::to_string(port);
    const auto invite = [&](const std::string& from, const std::string& extra, const std::string& body) {
        return "INVITE " + target + " SIP/2.0\r\nVia: SIP/2.0/UDP 127.0.0.1:9;branch=z9hG4bK"
            + std::to_string(body.size() + from.size()) + "\r\nFrom: " + from + ";tag=1\r\nTo: <" + target
            + ">\r\nCall-ID: x" + std::to_string(from.size())
            + "\r\nCSeq: 1 INVITE\r\nContact: <sip:x@127.0.0.1:9>\r\n" + extra
            + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    };
    std::vector<std::string> hostile = {
        "INVITE",
        "INVITE " + target + " SIP/2.0\r\n\r\n",
        invite("\"" + std::string(5000, 'A') + "\" <sip:1@x>", "", ""),
        invite("\"Evil\x1b[2J\x07\" <sip:555\x01\x02@x>", "", ""),
        invite("<sip:1@x>", "Content-Type: application/sdp\r\n", "v=0\r\nm=audio 4000 RTP/AVP 18\r\n"),
        invite("<sip:1@x>", "Content-Type: application/sdp\r\n",
            "v=0\r\nm=audio 99999999 RTP/AVP 0\r\nc=IN IP4 999.1.1.1\r\n"),
        invite("<sip:1@x>", "Content-Length: 100000\r\n", "short"),
        invite("<sip:1@x>", "P-Asserted-Identity: <<<<\r\n", ""),
    };
    std::mt19937 random(13);
    for (int i = 0; i < 30; ++i) {
        std::string bytes = hostile[2 + std::size_t(i) % 6];
        for (int j = 0; j < 20; ++j)
            bytes[random() % bytes.size()] = static_cast<char>(random());
        hostile.push_back(bytes);
    }
    return hostile;
}

// After a burst of hostile INVITEs line 6 still works: line 5 calls it directly, line 6 rings
// with line 5's user as the number, answers, hears line 5's tone and digits, and hangs up.
TEST_F(SipLines, TwoSipLinesCallEachOtherAfterHostileInvites)
{
    const HLINE caller = OpenLine(kLine1);
    const HLINE callee = OpenLine(kLine2);
    for (const std::string& datagram : HostileInvites(m_line2Port))
        SendDatagram(m_line2Port, datagram);
    Run(1000); // the flood used up the calls line 6 takes from this address; a second gives two more
    for (const Received& message : m_received)
        if (message.message == LINE_APPNEWCALL && message.device == callee)
            lineDrop(static_cast<HCALL>(message.p2), nullptr, 0); // a hostile call that did ring
    Run(200);
    m_received.clear();

    std::vector<std::int16_t>& heard = Record(callee);
    HCALL outgoing = 0;
    const std::string target = "sip:second@127.0.0.1:" + std::to_string(m_line2Port);
    ASSERT_GT(MakeCall(caller, outgoing, target.c_str()), 0);
    ASSERT_TRUE(RunUntil([&] { return NewCallOn(callee) != 0; }, 3000));
    const HCALL incoming = NewCallOn(callee);
    EXPECT_EQ(CallerOf(incoming).first, "kestrium");
    ASSERT_TRUE(RunUntil([&] { return Saw(outgoing, LINECALLSTATE_RINGBACK); }, 2000));
    ASSERT_GT(lineAnswer(incoming, nullptr, 0), 0);
    ASSERT_TRUE(RunUntil([&] { return CallState(outgoing) == LINECALLSTATE_CONNECTED; }, 3000));
    EXPECT_EQ(CallState(incoming), DWORD(LINECALLSTATE_CONNECTED));
    heard.clear();
    PlayTone(caller, 1100);
    Run(800);
    m_outputs.back()->Stop();
    ASSERT_EQ(GenerateDigits(outgoing, "9#"), 0);
    Run(900);
    // Where the tone starts depends on how fast the machine is (slow under ThreadSanitizer).
    EXPECT_GT(BestShareOf(heard, 1100, 400), 0.8) << "heard " << heard.size() / 8 << " ms";
    EXPECT_EQ(DigitsIn(heard), "9#");
    ASSERT_GT(lineDrop(incoming, nullptr, 0), 0);
    ASSERT_TRUE(RunUntil([&] { return CallState(outgoing) == LINECALLSTATE_DISCONNECTED; }, 3000));
    EXPECT_TRUE(Saw(outgoing, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL));
}

} // namespace
