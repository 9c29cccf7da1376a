// SIP lines without a call: registration (digest challenge, an unreachable registrar, a password
// file others can read), two SIP lines calling each other, and hostile datagrams on a line's port.
#include "sip_fixture.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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
