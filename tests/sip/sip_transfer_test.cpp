// Transfers on a SIP line against SIPp: our lineBlindTransfer as REFER with the far end's NOTIFY
// reports deciding the outcome, and the far end's INVITE with Replaces taking over our call.
#include "sip_fixture.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using sip_test::Sipp;

// The From of SIPp's own requests in the call we placed (its tag as in its 200), and the rest of
// an in-dialog request's headers; it learned our From and Contact from the INVITE.
const char* const kSippInDialog = "Via: SIP/2.0/[transport] [local_ip]:[local_port];branch=[branch]\n"
                                  "From: <sip:sipp@[local_ip]:[local_port]>;tag=[pid]SIPpTag01[call_number]\n"
                                  "To:[$caller]\n[last_Call-ID:]\nMax-Forwards: 70\n";

// The far end's digest challenge to a request, and its check of the answer (kVerifyAuth in the
// request's actions): with the password of line 5 (SipTransfers) the scenario goes on at `label`,
// else it answers 403 and ends there (our side then fails the test).
std::string Challenge()
{
    // 401, not 407: SIPp's verifyauth reads only an Authorization header.
    return sip_test::SippReply("401 Unauthorized",
        "WWW-Authenticate: Digest realm=\"kestrium.test\", nonce=\"7c1d5e2a\", algorithm=MD5\n", "", false);
}
std::string CheckCredentials(const std::string& label)
{
    return "  <nop test=\"valid\" next=\"" + label + "\"/>\n"
        + sip_test::SippReply("403 Forbidden", "", "", false) + "  <nop next=\"end\"/>\n  <label id=\""
        + label + "\"/>\n";
}
const char* const kVerifyAuth = "<verifyauth assign_to=\"valid\" username=\"kestrium\" password=\"s3cret\"/>";

// SIPp reports on the transfer: a NOTIFY (CSeq `cseq`) with the sipfrag `status`, ending the
// subscription when `last`, and takes our 200.
std::string Notify(int cseq, const std::string& status, bool last)
{
    const std::string body = "SIP/2.0 " + status + "\r\n";
    return std::string("  <send retrans=\"500\"><![CDATA[\nNOTIFY [$contact] SIP/2.0\n") + kSippInDialog
        + "CSeq: " + std::to_string(cseq) + " NOTIFY\nEvent: refer\nSubscription-State: "
        + (last ? "terminated;reason=noresource" : "active;expires=60")
        + "\nContact: <sip:sipp@[local_ip]:[local_port]>\nContent-Type: message/sipfrag;version=2.0\n"
          "Content-Length: [len]\n\n"
        + body + "]]></send>\n  <recv response=\"200\"/>\n";
}

const char* const kAnswer = "Contact: <sip:sipp@[local_ip]:[local_port]>\nContent-Type: application/sdp\n";

// SIPp called by us: scenario `name` answers at once (keeping our From as [$caller] and our
// Contact as [$contact]) and takes our ACK; the caller's steps follow.
std::string AnsweredAtOnce(const std::string& name)
{
    return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\n<scenario name=\"" + name + "\">\n"
        + R"(  <recv request="INVITE" crlf="true">
    <action>
      <ereg regexp=".*" search_in="hdr" header="From:" assign_to="caller"/>
      <ereg regexp="sip:[^>]*" search_in="hdr" header="Contact:" assign_to="contact"/>
    </action>
  </recv>
)" + sip_test::SippReply("200 OK", kAnswer, sip_test::SippSdp())
        + "  <recv request=\"ACK\" crlf=\"true\"/>\n";
}

// SIPp, called by us, answers, takes our REFER (checking Refer-To and Referred-By; when
// `challenge`, only after its digest challenge was answered with the line's password), accepts it
// and reports Trying then `outcome`; then it waits for our BYE.
std::string TransferredScenario(const std::string& outcome, bool challenge = false)
{
    const std::string refer = (challenge ? "  <recv request=\"REFER\"/>\n" + Challenge() : "")
        + R"(  <recv request="REFER">
    <action>
      <ereg regexp="Refer-To: .sip:201@127.0.0.1:[0-9]*." search_in="msg" check_it="true" assign_to="to"/>
      <ereg regexp="Referred-By: .sip:kestrium@127.0.0.1:[0-9]*." search_in="msg" check_it="true" assign_to="by"/>
      <log message="[$to] [$by]"/>
      )" + (challenge ? kVerifyAuth : "")
        + "\n    </action>\n  </recv>\n" + (challenge ? CheckCredentials("referred") : "")
        + sip_test::SippReply("202 Accepted", "Contact: <sip:sipp@[local_ip]:[local_port]>\n", "", false)
        + Notify(2, "100 Trying", false) + Notify(3, outcome, true);
    return AnsweredAtOnce("transferred") + refer + "  <recv request=\"BYE\"/>\n"
        + sip_test::SippReply("200 OK", "", "", false) + "  <label id=\"end\"/>\n</scenario>\n";
}

// Line 5 has a password, for the far end's challenges.
// How SIPp transfers us in TransferringScenario.
struct TransferringOptions {
    bool challenge = false;
    bool hangsUp = false;
};

class SipTransfers : public SipFixture {
protected:
    SipTransfers()
    {
        std::ofstream(m_dir / "line.password") << "s3cret\n";
        std::filesystem::permissions(m_dir / "line.password", std::filesystem::perms::owner_read);
    }
    std::string Line1Account() const override
    {
        return SipFixture::Line1Account() + "password-file = " + (m_dir / "line.password").string() + "\n";
    }

    // A second far end (the party a call is transferred to) in a folder of its own, on a free port.
    std::uint16_t StartParty(Sipp& party, const std::string& name, const std::string& scenario)
    {
        const std::filesystem::path folder = m_dir / name;
        std::filesystem::create_directories(folder);
        const std::uint16_t port = sip_test::FreePort();
        EXPECT_TRUE(party.Start(folder, scenario, port)) << party.Log();
        return port;
    }

    std::vector<std::string> Client() const { return { "127.0.0.1:" + std::to_string(m_line1Port) }; }

    // Our call to SIPp, connected; 0 when it did not connect.
    HCALL ConnectedCall(HLINE line, Sipp& sipp)
    {
        HCALL call = 0;
        EXPECT_GT(MakeCall(line, call, "5551234"), 0);
        EXPECT_TRUE(RunUntil([&] { return CallState(call) == LINECALLSTATE_CONNECTED; }, 5000)) << sipp.Log();
        return CallState(call) == LINECALLSTATE_CONNECTED ? call : 0;
    }

    // We call SIPp (`sipp`), which answers and transfers us to `target` (TransferringScenario with
    // `options`); returns once our call to the target is connected.
    struct Transferred {
        HLINE line = 0;
        HCALL first = 0;
        HCALL second = 0;
    };
    void BeTransferred(Sipp& target, Sipp& sipp, TransferringOptions options, Transferred& calls);
};

// lineBlindTransfer of a connected SIP call to the number 201: REFER to 201 on the line's domain
// (sent again with credentials after the far end's challenge), and once the far end reports 200
// the request succeeds, our call ends (BYE) without a disconnect of its own, and `linesim list`
// shows the transfer.
TEST_F(SipTransfers, BlindTransferSendsReferAndEndsOurCallWhenTheFarEndReportsSuccess)
{
    Sipp sipp;
    ASSERT_TRUE(sipp.Start(m_dir.Path(), TransferredScenario("200 OK", true), m_sippPort));
    const HLINE line = OpenLine(kLine1);
    const HCALL call = ConnectedCall(line, sipp);
    ASSERT_NE(call, 0u);
    LINECALLSTATUS status{};
    status.dwTotalSize = sizeof status;
    ASSERT_EQ(lineGetCallStatus(call, &status), 0);
    EXPECT_TRUE(status.dwCallFeatures & LINECALLFEATURE_BLINDTRANSFER);
    EXPECT_EQ(lineBlindTransferA(call, "", 0), LINEERR_INVALADDRESS);
    const LONG request = lineBlindTransferA(call, "201", 0);
    ASSERT_GT(request, 0);
    EXPECT_EQ(lineBlindTransferA(call, "202", 0), LINEERR_INVALCALLSTATE) << "one transfer at a time";
    RunWhile(sipp, 8000);
    EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log() << "the REFER's headers and our BYE";
    EXPECT_EQ(sipp.CountMessages("REFER "), 2) << "once without credentials, once with";
    Run(100);
    EXPECT_EQ(ReplyTo(request), 0) << sipp.Log();
    EXPECT_EQ(CallState(call), DWORD(LINECALLSTATE_IDLE));
    EXPECT_FALSE(Saw(call, LINECALLSTATE_DISCONNECTED)) << "the call ends once, as transferred";
    EXPECT_NE(LineList().find("transferred 5551234 to 201"), std::string::npos) << LineList();
}

// The far end reports that the new party is busy: the request fails and the call goes on as it
// was, connected, until we hang up.
TEST_F(SipTransfers, FailedTransferLeavesTheCallConnected)
{
    Sipp sipp;
    ASSERT_TRUE(sipp.Start(m_dir.Path(), TransferredScenario("486 Busy Here"), m_sippPort));
    const HLINE line = OpenLine(kLine1);
    const HCALL call = ConnectedCall(line, sipp);
    ASSERT_NE(call, 0u);
    const LONG request = lineBlindTransferA(call, "201", 0);
    ASSERT_GT(request, 0);
    ASSERT_TRUE(RunUntil([&] { return ReplyTo(request).has_value(); }, 5000)) << sipp.Log();
    EXPECT_EQ(ReplyTo(request), LINEERR_OPERATIONFAILED);
    Run(300);
    EXPECT_EQ(CallState(call), DWORD(LINECALLSTATE_CONNECTED));
    EXPECT_EQ(LineList().find("transferred"), std::string::npos) << LineList();
    ASSERT_GT(lineDrop(call, nullptr, 0), 0);
    RunWhile(sipp, 5000);
    EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log();
}

// Alice calls and we answer; then Bob, to whom Alice handed the call, replaces her dialog. The
// program sees Alice's call end and Bob's arrive connected, with Bob's caller id; neither rings.
TEST_F(SipTransfers, InviteWithReplacesTakesOverTheCallItNames)
{
    const HLINE line = OpenLine(kLine1);
    Sipp sipp;
    ASSERT_TRUE(
        sipp.Start(m_dir.Path(), sip_test::CallingScenario(sip_test::ReplacedByBob()), m_sippPort, Client()));
    ASSERT_TRUE(RunUntil([&] { return NewCallOn(line) != 0; }, 5000)) << sipp.Log();
    const HCALL alice = NewCallOn(line);
    ASSERT_GT(lineAnswer(alice, nullptr, 0), 0);
    ASSERT_TRUE(RunUntil([&] { return CallState(alice) == LINECALLSTATE_DISCONNECTED; }, 5000)) << sipp.Log();
    EXPECT_TRUE(Saw(alice, LINECALLSTATE_CONNECTED));
    EXPECT_TRUE(Saw(alice, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL));
    HCALL bob = 0;
    for (const Received& message : m_received)
        if (message.message == LINE_APPNEWCALL && message.device == line && HCALL(message.p2) != alice)
            bob = static_cast<HCALL>(message.p2);
    ASSERT_NE(bob, 0u) << "the replacing call reaches the program";
    EXPECT_EQ(CallerOf(bob), std::make_pair(std::string("2125550199"), std::string("Bob Example")));
    EXPECT_TRUE(Saw(bob, LINECALLSTATE_CONNECTED));
    EXPECT_FALSE(Saw(bob, LINECALLSTATE_OFFERING)) << "it does not ring";
    ASSERT_GT(lineDrop(alice, nullptr, 0), 0);
    RunWhile(sipp, 8000);
    EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log() << "our BYE of Alice's dialog";
    Run(100);
    EXPECT_TRUE(Saw(bob, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL));
}

// A Replaces naming no dialog of ours is refused with 481, and nothing reaches the program.
TEST_F(SipTransfers, InviteWithReplacesOfNoCallOfOursIsRefusedWith481)
{
    const HLINE line = OpenLine(kLine1);
    Sipp sipp;
    ASSERT_TRUE(sipp.Start(m_dir.Path(),
        sip_test::RefusedCallScenario(481, "Replaces: elsewhere@example.org;to-tag=1;from-tag=2\n"),
        m_sippPort, Client()));
    RunWhile(sipp, 5000);
    EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log();
    Run(100);
    EXPECT_EQ(NewCallOn(line), 0u);
}

// Alice calls and we answer; a pickup of her call (early-only Replaces) comes too late.
TEST_F(SipTransfers, EarlyOnlyReplacesOfAnAnsweredCallIsRefusedWith486)
{
    const HLINE line = OpenLine(kLine1);
    Sipp sipp;
    ASSERT_TRUE(sipp.Start(
        m_dir.Path(), sip_test::CallingScenario(sip_test::EarlyOnlyReplaceRefused()), m_sippPort, Client()));
    ASSERT_TRUE(RunUntil([&] { return NewCallOn(line) != 0; }, 5000)) << sipp.Log();
    const HCALL alice = NewCallOn(line);
    ASSERT_GT(lineAnswer(alice, nullptr, 0), 0);
    RunWhile(sipp, 8000);
    EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log();
    Run(100);
    EXPECT_TRUE(Saw(alice, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL)) << "Alice hung up herself";
    for (const Received& message : m_received)
        EXPECT_FALSE(message.message == LINE_APPNEWCALL && HCALL(message.p2) != alice) << "Bob never arrived";
}

// SIPp, called by us, answers and transfers us: a REFER without Refer-To (400), then one to
// `target` from Alice; it takes our reports (Trying, then `outcome`: OK once the target answered;
// with `challenge`, Trying only after its digest challenge was answered with the line's password)
// and our BYE, or, with `hangsUp`, ends the call itself after the last report.
std::string TransferringScenario(
    const std::string& target, const std::string& outcome = "200 OK", TransferringOptions options = {})
{
    const auto refer = [](int cseq, const std::string& headers) {
        return std::string("  <send retrans=\"500\"><![CDATA[\nREFER [$contact] SIP/2.0\n") + kSippInDialog
            + "CSeq: " + std::to_string(cseq) + " REFER\nContact: <sip:sipp@[local_ip]:[local_port]>\n"
            + headers + "Content-Length: 0\n\n]]></send>\n";
    };
    const auto notify = [](const std::string& status, bool checked) {
        return "  <recv request=\"NOTIFY\"><action><ereg regexp=\"SIP/2.0 " + status
            + "\" search_in=\"body\" check_it=\"true\" assign_to=\"frag\"/><log message=\"[$frag]\"/>"
            + (checked ? kVerifyAuth : "") + "</action></recv>\n"
            + (checked ? CheckCredentials("reported") : "") + sip_test::SippReply("200 OK", "", "", false);
    };
    const std::string challenged = options.challenge ? "  <recv request=\"NOTIFY\"/>\n" + Challenge() : "";
    return AnsweredAtOnce("transferring") + refer(2, "") + "  <recv response=\"400\"/>\n"
        + refer(3,
            "Refer-To: <" + target
                + ">\nReferred-By: \"Alice Example\" <sip:2125550100@[local_ip]:[local_port]>\n")
        + "  <recv response=\"202\"/>\n" + challenged + notify("100 Trying", options.challenge)
        + notify(outcome, false)
        + (options.hangsUp ? "  <send><![CDATA[\nBYE [$contact] SIP/2.0\n" + std::string(kSippInDialog)
                    + "CSeq: 4 BYE\nContent-Length: 0\n\n]]></send>\n  <recv response=\"200\"/>\n"
                           : "  <recv request=\"BYE\"/>\n" + sip_test::SippReply("200 OK", "", "", false))
        + "  <label id=\"end\"/>\n</scenario>\n";
}

void SipTransfers::BeTransferred(Sipp& target, Sipp& sipp, TransferringOptions options, Transferred& calls)
{
    const std::uint16_t targetPort = StartParty(target, "target", sip_test::TransferTargetScenario());
    ASSERT_TRUE(sipp.Start(m_dir.Path(),
        TransferringScenario("sip:bob@127.0.0.1:" + std::to_string(targetPort), "200 OK", options),
        m_sippPort));
    calls.line = OpenLine(kLine1);
    calls.first = ConnectedCall(calls.line, sipp);
    ASSERT_NE(calls.first, 0u);
    ASSERT_TRUE(RunUntil([&] { return NewCallOn(calls.line) != 0; }, 5000)) << sipp.Log();
    calls.second = NewCallOn(calls.line);
    ASSERT_TRUE(RunUntil([&] { return CallState(calls.second) == LINECALLSTATE_CONNECTED; }, 5000))
        << target.Log();
}

// The far end of our call transfers us (REFER): we call the party it named, and the program sees
// that call arrive as a call of the line, dialling, then connected, with Alice as the party that
// transferred it; once it is answered our first call ends. Our first report is challenged and sent
// again with credentials.
TEST_F(SipTransfers, FarEndsReferPlacesOurCallToTheTargetAndEndsTheFirstOnceItIsAnswered)
{
    Sipp target;
    Sipp sipp;
    Transferred calls;
    ASSERT_NO_FATAL_FAILURE(BeTransferred(target, sipp, { .challenge = true }, calls));
    const auto [line, first, second] = calls;
    EXPECT_TRUE(Saw(second, LINECALLSTATE_DIALING));
    EXPECT_TRUE(Saw(second, LINECALLSTATE_RINGBACK));
    Run(200);
    EXPECT_TRUE(Saw(first, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL));

    std::vector<std::uint8_t> buffer(4096);
    auto* info = reinterpret_cast<LINECALLINFO*>(buffer.data());
    info->dwTotalSize = static_cast<DWORD>(buffer.size());
    ASSERT_EQ(lineGetCallInfoA(second, info), 0);
    EXPECT_EQ(info->dwOrigin, DWORD(LINECALLORIGIN_OUTBOUND));
    EXPECT_EQ(info->dwReason, DWORD(LINECALLREASON_TRANSFER));
    EXPECT_EQ(info->dwRedirectingIDFlags, DWORD(LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME));
    const auto text = [&](DWORD size, DWORD offset) {
        return size ? std::string(reinterpret_cast<const char*>(buffer.data()) + offset) : std::string();
    };
    EXPECT_EQ(text(info->dwRedirectingIDSize, info->dwRedirectingIDOffset), "2125550100");
    EXPECT_EQ(text(info->dwRedirectingIDNameSize, info->dwRedirectingIDNameOffset), "Alice Example");
    EXPECT_EQ(text(info->dwCalledIDSize, info->dwCalledIDOffset), "bob");

    // The new call has the line, so its audio is the line's, also once the first call is gone.
    ASSERT_GT(lineDrop(first, nullptr, 0), 0);
    Run(100);
    LINEDEVSTATUS status{};
    status.dwTotalSize = sizeof status;
    ASSERT_EQ(lineGetLineDevStatus(line, &status), 0);
    EXPECT_EQ(status.dwNumActiveCalls, 1u);
    ASSERT_GT(lineDrop(second, nullptr, 0), 0);
    RunWhile(target, 5000);
    RunWhile(sipp, 5000);
    EXPECT_EQ(target.ExitCode(), 0) << target.Log() << "Referred-By on our INVITE, our BYE";
    EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log() << "400 without Refer-To, 202, our reports and BYE";
    EXPECT_EQ(sipp.CountMessages("NOTIFY "), 3) << "the first report once without credentials, once with";
}

// The far end ends the first call itself once it has our final report, as a transferring party
// does: we send no BYE of our own (ours, sent at once, could overtake the report through a proxy).
TEST_F(SipTransfers, FarEndThatHangsUpAfterOurFinalReportGetsNoByeFromUs)
{
    Sipp target;
    Sipp sipp;
    Transferred calls;
    ASSERT_NO_FATAL_FAILURE(BeTransferred(target, sipp, { .hangsUp = true }, calls));
    const auto [line, first, second] = calls;
    EXPECT_TRUE(
        RunUntil([&] { return Saw(first, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL); }, 1000));
    ASSERT_GT(lineDrop(first, nullptr, 0), 0);
    RunWhile(sipp, 5000);
    EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log() << "its BYE answered, none of ours";
    ASSERT_GT(lineDrop(second, nullptr, 0), 0);
    RunWhile(target, 5000);
}

// SIPp as the party we hold and then hand over: it answers our hold (re-INVITE), checks that our
// REFER's Refer-To names the consulted party with Replaces of our dialog with it (its tag, ours),
// accepts, reports success and takes our BYE.
std::string AttendedTransferredScenario()
{
    return AnsweredAtOnce("attended") + "  <recv request=\"INVITE\"/>\n"
        + sip_test::SippReply("200 OK", kAnswer, sip_test::SippSdp() + "a=recvonly\r\n", false)
        + R"(  <recv request="ACK" crlf="true"/>
  <recv request="REFER">
    <action>
      <ereg regexp="Refer-To: .sip:carol@127.0.0.1:[0-9]*\?Replaces=[^%]+%3Bto-tag%3D[0-9]+SIPpTag011%3Bfrom-tag%3D[0-9a-f]+." search_in="msg" check_it="true" assign_to="to"/>
      <log message="[$to]"/>
    </action>
  </recv>
)" + sip_test::SippReply("202 Accepted", "Contact: <sip:sipp@[local_ip]:[local_port]>\n", "", false)
        + Notify(2, "200 OK", true) + "  <recv request=\"BYE\"/>\n"
        + sip_test::SippReply("200 OK", "", "", false) + "</scenario>\n";
}

// The consulted party: it answers and, once the transfer is done, gets our BYE (in a real
// exchange the transferred party's INVITE with Replaces would end it first).
std::string ConsultedScenario()
{
    return R"(<?xml version="1.0" encoding="ISO-8859-1" ?>
<scenario name="consulted">
  <recv request="INVITE" crlf="true"/>
)"
        + sip_test::SippReply("200 OK",
            "Contact: <sip:sipp@[local_ip]:[local_port]>\nContent-Type: application/sdp\n",
            sip_test::SippSdp())
        + "  <recv request=\"ACK\" crlf=\"true\"/>\n  <recv request=\"BYE\"/>\n"
        + sip_test::SippReply("200 OK", "", "", false) + "</scenario>\n";
}

// The party we are transferred to is busy: the far end hears so, the program sees our call to it
// busy, and our first call goes on until we hang up.
TEST_F(SipTransfers, FarEndsReferToABusyPartyLeavesTheFirstCallConnected)
{
    Sipp target;
    const std::uint16_t targetPort = StartParty(target, "target",
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\n<scenario name=\"busy\">\n  <recv "
        "request=\"INVITE\"/>\n"
            + sip_test::SippReply("486 Busy Here") + "  <recv request=\"ACK\"/>\n</scenario>\n");
    Sipp sipp;
    ASSERT_TRUE(sipp.Start(m_dir.Path(),
        TransferringScenario("sip:bob@127.0.0.1:" + std::to_string(targetPort), "486 Busy Here"),
        m_sippPort));
    const HLINE line = OpenLine(kLine1);
    const HCALL first = ConnectedCall(line, sipp);
    ASSERT_NE(first, 0u);
    RunWhile(target, 5000);
    EXPECT_EQ(target.ExitCode(), 0) << target.Log();
    Run(300);
    const HCALL second = NewCallOn(line);
    ASSERT_NE(second, 0u);
    EXPECT_TRUE(Saw(second, LINECALLSTATE_BUSY));
    EXPECT_EQ(CallState(first), DWORD(LINECALLSTATE_CONNECTED));
    ASSERT_GT(lineDrop(second, nullptr, 0), 0);
    ASSERT_GT(lineDrop(first, nullptr, 0), 0);
    RunWhile(sipp, 5000);
    EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log() << "our report of the busy party, our BYE";
}

// Attended transfer: we hold our call on IP Line 1, call Carol on IP Line 2 and complete the
// transfer: REFER to Carol with Replaces of our call with her; once reported done both our calls
// end and `linesim list` shows the transfer.
TEST_F(SipTransfers, AttendedTransferSendsReferWithReplacesOfTheConsultedCall)
{
    // The consulted party on the second SIP line, then on the held call's own line.
    for (const bool sameLine : { false, true }) {
        SCOPED_TRACE(sameLine ? "consultation call of lineSetupTransfer" : "call on another line");
        Sipp carol;
        const std::uint16_t carolPort = StartParty(carol, sameLine ? "carol2" : "carol", ConsultedScenario());
        Sipp sipp;
        ASSERT_TRUE(sipp.Start(m_dir.Path(), AttendedTransferredScenario(), m_sippPort));
        const HLINE line = OpenLine(kLine1);
        const HCALL held = ConnectedCall(line, sipp);
        ASSERT_NE(held, 0u);
        const std::string carolUri = "sip:carol@127.0.0.1:" + std::to_string(carolPort);
        HCALL consult = 0;
        if (sameLine) {
            ASSERT_GT(lineSetupTransferA(held, &consult, nullptr), 0);
            ASSERT_TRUE(
                RunUntil([&] { return consult && CallState(consult) == LINECALLSTATE_DIALTONE; }, 3000));
            ASSERT_GT(lineDialA(consult, carolUri.c_str(), 0), 0);
        } else {
            ASSERT_GT(lineHold(held), 0);
            ASSERT_GT(MakeCall(OpenLine(kLine2), consult, carolUri.c_str()), 0);
        }
        ASSERT_TRUE(RunUntil([&] { return CallState(consult) == LINECALLSTATE_CONNECTED; }, 5000))
            << carol.Log();
        const LONG request = lineCompleteTransfer(held, consult, nullptr, LINETRANSFERMODE_TRANSFER);
        ASSERT_GT(request, 0);
        RunWhile(sipp, 8000);
        RunWhile(carol, 3000);
        EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log() << "the REFER's Replaces, our BYE";
        EXPECT_EQ(carol.ExitCode(), 0) << carol.Log();
        Run(100);
        EXPECT_EQ(ReplyTo(request), 0);
        EXPECT_EQ(CallState(held), DWORD(LINECALLSTATE_IDLE));
        EXPECT_EQ(CallState(consult), DWORD(LINECALLSTATE_IDLE));
        EXPECT_NE(LineList().find("transferred 5551234 to sip:carol@"), std::string::npos) << LineList();
    }
}

} // namespace
