// Who may call a SIP line and how often: a registered line takes calls only from its registrar, a
// line without registration from its allow-list and its configured peer; P-Asserted-Identity is
// believed only from the registrar or the peer; a flood of calls from one source is refused after
// a burst. SIPp calls from other loopback addresses (127.0.0.2) as the stranger.
#include "sip_fixture.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

using sip_test::Sipp;

const std::string kAssertedBank = "P-Asserted-Identity: \"Your Bank\" <sip:18005550100@bank.example>\n";

class SipCallers : public SipFixture {
protected:
    // SIPp calling line 5 from `ip` through `scenario`; answers whether it went as the scenario says.
    bool CallFrom(const char* ip, const std::string& scenario)
    {
        Sipp sipp;
        if (!sipp.Start(
                m_dir.Path(), scenario, m_sippPort, { "-i", ip, "127.0.0.1:" + std::to_string(m_line1Port) }))
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

// SIPp calls 20 times in a row as fast as it can and cancels each call that rings: a burst of
// calls rings (each would be a missed call in the log), the rest are refused with 503 and never
// ring; a second later a call rings again.
TEST_F(SipCallers, FloodOfCallsFromOneSourceIsRefusedAfterABurst)
{
    const HLINE line = OpenLine(kLine1);
    {
        Sipp flood;
        ASSERT_TRUE(flood.Start(m_dir.Path(), sip_test::CallRingingOrRefused(503), m_sippPort,
            { "-m", "20", "-l", "1", "-r", "100", "127.0.0.1:" + std::to_string(m_line1Port) }));
        RunWhile(flood, 8000);
        EXPECT_EQ(flood.ExitCode(), 0) << flood.Log() << "every call rang or was refused with 503";
    }
    Run(100);
    const int rang = CallsThatRang(m_received, line);
    EXPECT_GE(rang, 5);
    EXPECT_LE(rang, 7) << "calls beyond the burst were refused";
    Run(1000);
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

} // namespace
