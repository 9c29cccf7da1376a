// Calls on a SIP line against SIPp, the SIP test tool, over the loopback: the far end answers and
// sends a tone and a digit, refuses, or hangs up; the program sees the same call states and audio
// as on a simulated line.
#include "sip_fixture.h"

#include <string>

namespace {

using sip_test::Sipp;

// SIPp's side of an answered call: ringing, the answer, `media` while talking, then its BYE.
std::string AnsweringScenario(const std::string& media)
{
    return R"(<?xml version="1.0" encoding="ISO-8859-1" ?>
<scenario name="answer">
  <recv request="INVITE" crlf="true">
    <action>
      <ereg regexp=".*" search_in="hdr" header="From:" assign_to="caller"/>
      <ereg regexp="sip:[^>]*" search_in="hdr" header="Contact:" assign_to="contact"/>
    </action>
  </recv>
  <send><![CDATA[
SIP/2.0 180 Ringing
[last_Via:]
[last_From:]
[last_To:];tag=[pid]SIPpTag01[call_number]
[last_Call-ID:]
[last_CSeq:]
Content-Length: 0

]]></send>
  <pause milliseconds="300"/>
  <send retrans="500"><![CDATA[
SIP/2.0 200 OK
[last_Via:]
[last_From:]
[last_To:];tag=[pid]SIPpTag01[call_number]
[last_Call-ID:]
[last_CSeq:]
Contact: <sip:sipp@[local_ip]:[local_port]>
Content-Type: application/sdp
Content-Length: [len]

)" + sip_test::SippSdp()
        + R"(]]></send>
  <recv request="ACK" crlf="true"/>
)" + media
        + R"(
  <send retrans="500"><![CDATA[
BYE [$contact] SIP/2.0
Via: SIP/2.0/[transport] [local_ip]:[local_port];branch=[branch]
From: <sip:sipp@[local_ip]:[local_port]>;tag=[pid]SIPpTag01[call_number]
To:[$caller]
[last_Call-ID:]
CSeq: 2 BYE
Max-Forwards: 70
Content-Length: 0

]]></send>
  <recv response="200" crlf="true"/>
</scenario>
)";
}

std::string PlayPcap(const std::string& file, unsigned thenWaitMs)
{
    return "  <nop><action><exec play_pcap_audio=\"" + file + "\"/></action></nop>\n  <pause milliseconds=\""
        + std::to_string(thenWaitMs) + "\"/>\n";
}

class SipCalls : public SipFixture { };

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
    double best = 0;
    for (unsigned from = 0; from + 500 < heard.size() / 8; from += 100)
        best = std::max(best, ShareOf(Slice(heard, from, 500), 1200));
    EXPECT_GT(best, 0.8) << "heard " << heard.size() / 8 << " ms";
    EXPECT_LT(ShareOf(Slice(heard, 0, 300), 1200), 0.2) << "ring back, not the tone, before the answer";
    EXPECT_EQ(DigitsIn(heard), "1");
    EXPECT_EQ(lineDrop(call, nullptr, 0) > 0, true);
    Pump();
    EXPECT_EQ(CallState(call), DWORD(LINECALLSTATE_IDLE));
}

} // namespace
