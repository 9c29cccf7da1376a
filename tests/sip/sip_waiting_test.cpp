// Several calls on one SIP line against SIPp: a second caller waits and is answered while the first
// is held, call waiting turned off, a conference of two SIP calls mixed locally, and a hold the far
// end refuses. The far ends' audio comes from sockets of the test (RtpParty), so that what each of
// them hears can be checked.
#include "sip_fixture.h"

#include "telephony/support/far_end_audio.h"

#include <netinet/in.h>
#include <poll.h>
#include <spandsp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <mutex>
#include <numbers>
#include <string>
#include <thread>

namespace {

using sip_test::Sipp;

// A far end's audio on a loopback port: once our RTP arrived it answers with a tone (PCMU, 20 ms
// packets) from the same port, and keeps what it hears.
class RtpParty {
public:
    explicit RtpParty(double frequency)
        : m_fd(::socket(AF_INET, SOCK_DGRAM, 0))
        , m_frequency(frequency)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { Run(); });
    }
    ~RtpParty()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_fd);
    }
    RtpParty(const RtpParty&) = delete;
    RtpParty& operator=(const RtpParty&) = delete;

    std::uint16_t Port() const { return m_port; }
    // What it heard since the last call.
    std::vector<std::int16_t> TakeHeard()
    {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_heard, {});
    }

private:
    void Run()
    {
        sockaddr_in peer{};
        bool peerKnown = false;
        std::uint16_t sequence = 0;
        auto next = std::chrono::steady_clock::now();
        while (!m_stop) {
            pollfd wait{ m_fd, POLLIN, 0 };
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                next - std::chrono::steady_clock::now());
            if (::poll(&wait, 1, static_cast<int>(std::max<std::int64_t>(0, left.count()))) > 0)
                peerKnown = Receive(peer) || peerKnown;
            if (std::chrono::steady_clock::now() < next)
                continue;
            next += std::chrono::milliseconds(20);
            if (peerKnown)
                Send(peer, sequence++);
        }
    }
    bool Receive(sockaddr_in& peer)
    {
        std::uint8_t packet[2048];
        socklen_t length = sizeof peer;
        const ssize_t size = ::recvfrom(
            m_fd, packet, sizeof packet, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&peer), &length);
        if (size <= 12 || (packet[1] & 0x7f) != 0) // PCMU only; RTCP and events are not audio
            return size > 0;
        std::lock_guard lock(m_mutex);
        for (ssize_t i = 12; i < size; ++i)
            m_heard.push_back(ulaw_to_linear(packet[i]));
        return true;
    }
    void Send(const sockaddr_in& peer, std::uint16_t sequence)
    {
        std::uint8_t packet[12 + 160];
        const std::uint32_t timestamp = 160u * sequence;
        const std::uint8_t header[12] = { 0x80, 0x00, std::uint8_t(sequence >> 8), std::uint8_t(sequence),
            std::uint8_t(timestamp >> 24), std::uint8_t(timestamp >> 16), std::uint8_t(timestamp >> 8),
            std::uint8_t(timestamp), 0x52, 0x54, 0x50, std::uint8_t(m_port) };
        std::copy(std::begin(header), std::end(header), packet);
        for (std::size_t i = 0; i < 160; ++i)
            packet[12 + i] = linear_to_ulaw(static_cast<int>(
                6000 * std::sin(2 * std::numbers::pi * m_frequency * double(timestamp + i) / 8000)));
        ::sendto(m_fd, packet, sizeof packet, 0, reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
    }

    int m_fd;
    double m_frequency;
    std::uint16_t m_port = 0;
    std::mutex m_mutex;
    std::vector<std::int16_t> m_heard;
    std::atomic<bool> m_stop{ false };
    std::thread m_thread;
};

// The mean share of `frequency` in the samples' 100 ms blocks: a frame lost or played twice
// shifts a tone's phase, which a measure over the whole would count against it.
double MeanShareOf(const std::vector<std::int16_t>& samples, double frequency)
{
    double sum = 0;
    unsigned blocks = 0;
    for (unsigned ms = 0; ms + 100 <= samples.size() / 8; ms += 100, ++blocks)
        sum += ShareOf(Slice(samples, ms, 100), frequency);
    return blocks ? sum / blocks : 0;
}

class SipWaiting : public SipFixture {
protected:
    std::vector<std::string> Client() const { return { "127.0.0.1:" + std::to_string(m_line1Port) }; }

    // SIPp in a folder of its own (two run at once).
    bool StartSipp(Sipp& sipp, const std::string& name, const std::string& scenario, std::uint16_t port,
        const std::vector<std::string>& extra = {})
    {
        const std::filesystem::path folder = m_dir / name;
        std::filesystem::create_directories(folder);
        return sipp.Start(folder, scenario, port, extra);
    }
    bool Replied(LONG request, DWORD timeoutMs = 3000)
    {
        return RunUntil([&] { return ReplyTo(request).has_value(); }, timeoutMs);
    }
    std::vector<HCALL> NewCallsOn(HLINE line) const
    {
        std::vector<HCALL> calls;
        for (const Received& message : m_received)
            if (message.message == LINE_APPNEWCALL && message.device == line)
                calls.push_back(static_cast<HCALL>(message.p2));
        return calls;
    }
    // Runs `ms`, then answers what was recorded meanwhile.
    std::vector<std::int16_t> RecordFor(std::vector<std::int16_t>& recording, DWORD ms)
    {
        recording.clear();
        Run(ms);
        return recording;
    }
};

class SipWaitingOff : public SipWaiting {
protected:
    std::string Line1Account() const override
    {
        return "register = no\nrtp-timeout = 30\ncall-waiting = no\n";
    }
};

// A second caller while a call is up waits: offered, with the call-waiting tone on the line, no ring.
// We hold the first (its far end takes our re-INVITE before lineHold answers), answer the second,
// and hear only the second; lineSwapHold takes the first back and holds the second; each call reaches
// the program once and ends once.
TEST_F(SipWaiting, SecondCallerWaitsIsAnsweredWhileTheFirstIsHeldAndSwapped)
{
    LINEADDRESSCAPS caps{};
    caps.dwTotalSize = sizeof caps;
    ASSERT_EQ(lineGetAddressCapsA(m_lineApp, kLine1, 0, m_version, 0, &caps), 0);
    EXPECT_EQ(caps.dwMaxNumOnHoldCalls, 3u);
    EXPECT_TRUE(caps.dwCallFeatures & LINECALLFEATURE_SWAPHOLD);
    EXPECT_TRUE(caps.dwCallFeatures & LINECALLFEATURE_BLINDTRANSFER)
        << "SIP calls are transferred with REFER";
    EXPECT_EQ(caps.dwTransferModes, DWORD(LINETRANSFERMODE_TRANSFER | LINETRANSFERMODE_CONFERENCE));

    RtpParty first(700), second(1100);
    const HLINE line = OpenLine(kLine1);
    ASSERT_EQ(lineSetStatusMessages(line, LINEDEVSTATE_RINGING, 0), 0);
    std::vector<std::int16_t>& heard = Record(line);
    Sipp callerA, callerB;
    ASSERT_TRUE(StartSipp(callerA, "a",
        sip_test::WithMediaPort(
            sip_test::CallingScenario(sip_test::AnsweredAndAcked()
                + sip_test::OurReInvite("a=sendonly", "200 OK", "a=recvonly")
                + sip_test::OurReInvite("a=sendrecv", "200 OK", "a=sendrecv") + sip_test::WaitsForOurBye()),
            first.Port()),
        sip_test::FreePort(), Client()));
    ASSERT_TRUE(RunUntil([&] { return NewCallsOn(line).size() == 1; }, 5000)) << callerA.Log();
    const HCALL callA = NewCallsOn(line).front();
    ASSERT_GT(lineAnswer(callA, nullptr, 0), 0);
    ASSERT_TRUE(RunUntil([&] { return Saw(callA, LINECALLSTATE_CONNECTED); }, 3000));
    const std::vector<std::int16_t> talking = RecordFor(heard, 600);
    EXPECT_GT(MeanShareOf(talking, 700), 0.8) << "the first caller talks";
    EXPECT_LT(BestShareOf(talking, 440, 100), 0.05) << "no call-waiting tone yet";

    ASSERT_TRUE(StartSipp(callerB, "b",
        sip_test::WithMediaPort(
            sip_test::CallingScenario(sip_test::AnsweredAndAcked()
                + sip_test::OurReInvite("a=sendonly", "200 OK", "a=recvonly") + sip_test::WaitsForOurBye()),
            second.Port()),
        sip_test::FreePort(), Client()));
    m_received.clear();
    ASSERT_TRUE(RunUntil([&] { return NewCallsOn(line).size() == 1; }, 5000)) << callerB.Log();
    const HCALL callB = NewCallsOn(line).front();
    EXPECT_EQ(CallState(callB), DWORD(LINECALLSTATE_OFFERING));
    EXPECT_GT(BestShareOf(RecordFor(heard, 600), 440, 100), 0.25) << "the call-waiting tone";
    for (const Received& message : m_received)
        EXPECT_FALSE(message.message == LINE_LINEDEVSTATE && message.p1 == LINEDEVSTATE_RINGING)
            << "a waiting call does not ring";

    const LONG hold = lineHold(callA);
    ASSERT_GT(hold, 0);
    ASSERT_TRUE(Replied(hold)) << callerA.Log();
    EXPECT_EQ(ReplyTo(hold), 0);
    EXPECT_TRUE(Saw(callA, LINECALLSTATE_ONHOLD));
    ASSERT_GT(lineAnswer(callB, nullptr, 0), 0);
    ASSERT_TRUE(RunUntil([&] { return Saw(callB, LINECALLSTATE_CONNECTED); }, 3000)) << callerB.Log();
    Run(300);
    first.TakeHeard();
    const std::vector<std::int16_t> withB = RecordFor(heard, 1000);
    EXPECT_GT(MeanShareOf(withB, 1100), 0.8) << "the line's audio follows the answered call";
    EXPECT_LT(MeanShareOf(withB, 700), 0.05) << "the held caller is not heard";
    EXPECT_LT(first.TakeHeard().size(), 800u) << "the held caller hears nothing of ours";

    const LONG swap = lineSwapHold(callB, callA);
    ASSERT_GT(swap, 0);
    ASSERT_TRUE(Replied(swap));
    EXPECT_EQ(ReplyTo(swap), 0);
    ASSERT_TRUE(RunUntil(
        [&] { return Saw(callB, LINECALLSTATE_ONHOLD) && Saw(callA, LINECALLSTATE_CONNECTED); }, 3000));
    Run(300);
    const std::vector<std::int16_t> withA = RecordFor(heard, 1000);
    EXPECT_GT(MeanShareOf(withA, 700), 0.8);
    EXPECT_LT(MeanShareOf(withA, 1100), 0.05);

    ASSERT_GT(lineDrop(callB, nullptr, 0), 0);
    ASSERT_GT(lineDrop(callA, nullptr, 0), 0);
    RunWhile(callerA, 5000);
    RunWhile(callerB, 5000);
    EXPECT_EQ(callerA.ExitCode(), 0) << callerA.Log() << "our hold, our resume, our BYE";
    EXPECT_EQ(callerB.ExitCode(), 0) << callerB.Log() << "our hold, our BYE";
    EXPECT_EQ(NewCallsOn(line).size(), 1u) << "no call reached the program twice";
    int idle = 0;
    for (const Received& message : m_received)
        idle += message.message == LINE_CALLSTATE && message.p1 == LINECALLSTATE_IDLE ? 1 : 0;
    EXPECT_EQ(idle, 2) << "each call ended once";
}

// With call-waiting = no, a second caller while a call is up is turned away busy (486) and the
// program sees it offered and at once disconnected busy: a missed call in its log.
TEST_F(SipWaitingOff, SecondCallerIsRefusedBusyAndReported)
{
    const HLINE line = OpenLine(kLine1);
    Sipp callerA, callerB;
    ASSERT_TRUE(StartSipp(callerA, "a",
        sip_test::CallingScenario(sip_test::AnsweredAndAcked() + sip_test::WaitsForOurBye()),
        sip_test::FreePort(), Client()));
    ASSERT_TRUE(RunUntil([&] { return NewCallsOn(line).size() == 1; }, 5000)) << callerA.Log();
    const HCALL callA = NewCallsOn(line).front();
    ASSERT_GT(lineAnswer(callA, nullptr, 0), 0);
    ASSERT_TRUE(RunUntil([&] { return Saw(callA, LINECALLSTATE_CONNECTED); }, 3000));
    m_received.clear();
    ASSERT_TRUE(StartSipp(callerB, "b", sip_test::RefusedCallScenario(486), sip_test::FreePort(), Client()));
    RunWhile(callerB, 5000);
    EXPECT_EQ(callerB.ExitCode(), 0) << callerB.Log() << "486 Busy Here";
    Run(100);
    ASSERT_EQ(NewCallsOn(line).size(), 1u) << "the program hears of the refused caller";
    const HCALL refused = NewCallsOn(line).front();
    EXPECT_TRUE(Saw(refused, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_BUSY));
    EXPECT_EQ(CallerOf(refused), std::make_pair(std::string("2125550100"), std::string("Alice Example")));
    EXPECT_EQ(CallState(callA), DWORD(LINECALLSTATE_CONNECTED)) << "the call that was up goes on";
    ASSERT_GT(lineDrop(refused, nullptr, 0), 0);
    ASSERT_GT(lineDrop(callA, nullptr, 0), 0);
    RunWhile(callerA, 5000);
    EXPECT_EQ(callerA.ExitCode(), 0) << callerA.Log();
}

// lineHold that the far end refuses (488): LINE_REPLY with an error, the call stays connected and
// our audio flows on. The next hold it takes; a resume it refuses (500) leaves the call held and
// silent, and the line's log says why.
TEST_F(SipWaiting, RefusedReInviteFailsTheRequestAndLeavesTheCallAsItWas)
{
    RtpParty farEnd(700);
    Sipp sipp;
    ASSERT_TRUE(StartSipp(sipp, "a",
        sip_test::WithMediaPort(
            sip_test::AnsweringScenario(sip_test::OurReInvite("a=sendonly", "488 Not Acceptable Here")
                    + sip_test::OurReInvite("a=sendonly", "200 OK", "a=recvonly")
                    + sip_test::OurReInvite("a=sendrecv", "500 Server Internal Error"),
                true),
            farEnd.Port()),
        m_sippPort));
    const HLINE line = OpenLine(kLine1);
    PlayTone(line, 1500);
    HCALL call = 0;
    ASSERT_GT(MakeCall(line, call, "5551234"), 0);
    ASSERT_TRUE(RunUntil([&] { return Saw(call, LINECALLSTATE_CONNECTED); }, 5000)) << sipp.Log();

    const LONG refusedHold = lineHold(call);
    ASSERT_GT(refusedHold, 0);
    ASSERT_TRUE(Replied(refusedHold)) << sipp.Log();
    EXPECT_EQ(ReplyTo(refusedHold), LINEERR_OPERATIONFAILED);
    EXPECT_FALSE(Saw(call, LINECALLSTATE_ONHOLD));
    EXPECT_EQ(CallState(call), DWORD(LINECALLSTATE_CONNECTED));
    farEnd.TakeHeard();
    Run(600);
    EXPECT_GT(MeanShareOf(farEnd.TakeHeard(), 1500), 0.8) << "our audio flows on";

    const LONG hold = lineHold(call);
    ASSERT_GT(hold, 0);
    ASSERT_TRUE(Replied(hold));
    EXPECT_EQ(ReplyTo(hold), 0);
    EXPECT_TRUE(Saw(call, LINECALLSTATE_ONHOLD));

    m_received.clear();
    const LONG refusedResume = lineUnhold(call);
    ASSERT_GT(refusedResume, 0);
    ASSERT_TRUE(Replied(refusedResume));
    EXPECT_EQ(ReplyTo(refusedResume), LINEERR_OPERATIONFAILED);
    EXPECT_FALSE(Saw(call, LINECALLSTATE_CONNECTED));
    EXPECT_EQ(CallState(call), DWORD(LINECALLSTATE_ONHOLD));
    farEnd.TakeHeard();
    Run(600);
    EXPECT_LT(farEnd.TakeHeard().size(), 800u) << "still held: none of our audio";
    std::string log(4096, '\0');
    ASSERT_EQ(tapisimGetGeneratedLog(kLine1, log.data(), DWORD(log.size())), TAPISIM_OK);
    log.resize(log.find('\0'));
    EXPECT_NE(log.find("far end refused hold: 488 Not Acceptable Here"), std::string::npos) << log;
    EXPECT_NE(log.find("far end refused resume: 500 Server Internal Error"), std::string::npos) << log;

    ASSERT_GT(lineDrop(call, nullptr, 0), 0);
    RunWhile(sipp, 5000);
    EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log();
}

// A conference of two SIP calls on one line, mixed here: we send 1500 Hz, the parties 700 and
// 1100 Hz. Each party hears us and the other party, not itself; we hear both. The party removed
// from the conference is held (our re-INVITE) and hears nothing; the other goes on with us.
TEST_F(SipWaiting, ConferenceOfTwoSipCallsLetsEachPartyHearTheOtherTwo)
{
    RtpParty partyA(700), partyB(1100);
    const std::uint16_t portB = sip_test::FreePort();
    Sipp sippA, sippB;
    ASSERT_TRUE(StartSipp(sippA, "a",
        sip_test::WithMediaPort(sip_test::AnsweringScenario("", true), partyA.Port()), m_sippPort));
    ASSERT_TRUE(StartSipp(sippB, "b",
        sip_test::WithMediaPort(
            sip_test::AnsweringScenario(sip_test::OurReInvite("a=sendonly", "200 OK", "a=recvonly"), true),
            partyB.Port()),
        portB));
    const HLINE line = OpenLine(kLine1);
    PlayTone(line, 1500);
    std::vector<std::int16_t>& heard = Record(line);
    HCALL callA = 0;
    ASSERT_GT(MakeCall(line, callA, "5551234"), 0);
    ASSERT_TRUE(RunUntil([&] { return Saw(callA, LINECALLSTATE_CONNECTED); }, 5000)) << sippA.Log();

    HCALL conference = 0, consult = 0;
    const LONG setup = lineSetupConferenceA(callA, line, &conference, &consult, 3, nullptr);
    ASSERT_GT(setup, 0);
    ASSERT_TRUE(Replied(setup));
    ASSERT_EQ(ReplyTo(setup), 0);
    ASSERT_NE(consult, 0u);
    const std::string partyBAddress = "5552@127.0.0.1:" + std::to_string(portB);
    ASSERT_GT(lineDialA(consult, partyBAddress.c_str(), 0), 0);
    ASSERT_TRUE(RunUntil([&] { return Saw(consult, LINECALLSTATE_CONNECTED); }, 5000)) << sippB.Log();
    const LONG add = lineAddToConference(conference, consult);
    ASSERT_GT(add, 0);
    ASSERT_TRUE(RunUntil([&] { return Saw(conference, LINECALLSTATE_CONNECTED); }, 3000));

    Run(400);
    partyA.TakeHeard();
    partyB.TakeHeard();
    const std::vector<std::int16_t> ours = RecordFor(heard, 1500);
    const std::vector<std::int16_t> heardA = partyA.TakeHeard();
    const std::vector<std::int16_t> heardB = partyB.TakeHeard();
    EXPECT_GT(MeanShareOf(heardA, 1500), 0.3) << "A hears us";
    EXPECT_GT(MeanShareOf(heardA, 1100), 0.3) << "A hears B";
    EXPECT_LT(MeanShareOf(heardA, 700), 0.05) << "A does not hear itself";
    EXPECT_GT(MeanShareOf(heardB, 1500), 0.3) << "B hears us";
    EXPECT_GT(MeanShareOf(heardB, 700), 0.3) << "B hears A";
    EXPECT_LT(MeanShareOf(heardB, 1100), 0.05) << "B does not hear itself";
    EXPECT_GT(MeanShareOf(ours, 700), 0.3) << "we hear A";
    EXPECT_GT(MeanShareOf(ours, 1100), 0.3) << "we hear B";

    const LONG remove = lineRemoveFromConference(consult);
    ASSERT_GT(remove, 0);
    ASSERT_TRUE(RunUntil([&] { return Saw(consult, LINECALLSTATE_ONHOLD); }, 3000));
    Run(400);
    partyA.TakeHeard();
    partyB.TakeHeard();
    const std::vector<std::int16_t> afterRemoval = RecordFor(heard, 1000);
    EXPECT_GT(MeanShareOf(partyA.TakeHeard(), 1500), 0.8) << "A goes on with us alone";
    EXPECT_LT(partyB.TakeHeard().size(), 800u) << "B is held";
    EXPECT_LT(MeanShareOf(afterRemoval, 1100), 0.05);

    ASSERT_GT(lineDrop(conference, nullptr, 0), 0);
    ASSERT_GT(lineDrop(consult, nullptr, 0), 0);
    RunWhile(sippA, 5000);
    RunWhile(sippB, 5000);
    EXPECT_EQ(sippA.ExitCode(), 0) << sippA.Log();
    EXPECT_EQ(sippB.ExitCode(), 0) << sippB.Log() << "our hold and our BYE";
}

// A conference of a SIP call (SIPp; its audio an RtpParty at 700 Hz) and a call of the analog line 1
// (its far end at 1000 Hz), mixed on the conference's line, where we send 1500 Hz. First the SIP
// call talks and the analog call, held, joins its conference on the SIP line; the analog far end
// hangs up and the SIP party goes on with us. Then the SIP call, held, joins a conference on the
// analog line; the analog party is taken out and the SIP party goes on with us; ending the
// conference ends the SIP call (our hold, our resume, our BYE).
TEST_F(SipWaiting, ConferenceOfASipCallAndACallOfAnAnalogLine)
{
    RtpParty sipParty(700);
    Sipp sipp;
    ASSERT_TRUE(StartSipp(sipp, "a",
        sip_test::WithMediaPort(
            sip_test::AnsweringScenario(sip_test::OurReInvite("a=sendonly", "200 OK", "a=recvonly")
                    + sip_test::OurReInvite("a=sendrecv", "200 OK", "a=sendrecv"),
                true),
            sipParty.Port()),
        m_sippPort));
    const HLINE analog = OpenLine(0);
    const HLINE sip = OpenLine(kLine1);
    const TAPISIM_DIALRULE quickly{ "5550*", TAPISIM_OUTCOME_ANSWER, 300, 0 };
    ASSERT_EQ(tapisimAddDialRule(&quickly), TAPISIM_OK);
    ASSERT_EQ(tapisimSetFarEndTone(0, 1000, -10), TAPISIM_OK);
    PlayTone(sip, 1500);
    PlayTone(analog, 1500);
    std::vector<std::int16_t>& sipEar = Record(sip);
    std::vector<std::int16_t>& sipMix = Record(sip, "wave/in/aux");
    std::vector<std::int16_t>& analogEar = Record(analog);
    // Each of the far ends and we hear the two others and not ourselves.
    const auto checkEachHearsTheOthers = [&](std::vector<std::int16_t>& ours, const char* where) {
        Run(300);
        sipParty.TakeHeard();
        tapisimClearHeard(0);
        sipMix.clear();
        const std::vector<std::int16_t> heard = RecordFor(ours, 1000);
        const std::vector<std::int16_t> heardBySip = sipParty.TakeHeard();
        const std::vector<std::int16_t> heardByAnalog = testing_support::Heard(0);
        EXPECT_GT(MeanShareOf(heard, 700), 0.3) << where << ": we hear the SIP party";
        EXPECT_GT(MeanShareOf(heard, 1000), 0.3) << where << ": we hear the analog party";
        EXPECT_GT(MeanShareOf(heardBySip, 1500), 0.3) << where << ": the SIP party hears us";
        EXPECT_GT(MeanShareOf(heardBySip, 1000), 0.3) << where << ": the SIP party hears the analog party";
        EXPECT_LT(MeanShareOf(heardBySip, 700), 0.05) << where;
        EXPECT_GT(MeanShareOf(heardByAnalog, 1500), 0.3) << where << ": the analog party hears us";
        EXPECT_GT(MeanShareOf(heardByAnalog, 700), 0.3) << where << ": the analog party hears the SIP party";
        EXPECT_LT(MeanShareOf(heardByAnalog, 1000), 0.05) << where;
    };
    // Of the two-party call that is left, what we and the SIP party hear.
    const auto checkSipPartyAloneWithUs = [&](std::vector<std::int16_t>& ours, const char* where) {
        Run(300);
        sipParty.TakeHeard();
        const std::vector<std::int16_t> heard = RecordFor(ours, 600);
        EXPECT_GT(MeanShareOf(heard, 700), 0.8) << where;
        EXPECT_GT(MeanShareOf(sipParty.TakeHeard(), 1500), 0.8) << where;
    };
    const auto joined = [&](HCALL party, HCALL conference) {
        for (const Received& message : m_received)
            if (message.message == LINE_CALLSTATE && message.device == party
                && message.p1 == LINECALLSTATE_CONFERENCED && message.p2 == conference)
                return true;
        return false;
    };

    HCALL sipCall = 0, analogCall = 0;
    ASSERT_GT(MakeCall(sip, sipCall, "5551234"), 0);
    ASSERT_TRUE(RunUntil([&] { return Saw(sipCall, LINECALLSTATE_CONNECTED); }, 5000)) << sipp.Log();
    ASSERT_GT(MakeCall(analog, analogCall, "5550100"), 0);
    ASSERT_TRUE(RunUntil([&] { return Saw(analogCall, LINECALLSTATE_CONNECTED); }, 5000));
    const LONG hold = lineHold(analogCall);
    ASSERT_TRUE(Replied(hold));
    HCALL conference = 0, consult = 0;
    const LONG setup = lineSetupConferenceA(sipCall, sip, &conference, &consult, 3, nullptr);
    ASSERT_TRUE(Replied(setup));
    ASSERT_EQ(ReplyTo(setup), 0);
    EXPECT_TRUE(Features(conference) & LINECALLFEATURE_ADDTOCONF) << "the held call of the analog line";
    const LONG add = lineAddToConference(conference, analogCall);
    ASSERT_TRUE(Replied(add));
    ASSERT_EQ(ReplyTo(add), 0);
    EXPECT_TRUE(joined(analogCall, conference));
    ASSERT_GT(lineDrop(consult, nullptr, 0), 0);
    EXPECT_NE(LineList().find("conferenced to 5550100 in the conference on line 5"), std::string::npos)
        << LineList();
    checkEachHearsTheOthers(sipEar, "conference on the SIP line");
    EXPECT_GT(MeanShareOf(sipMix, 700), 0.15) << "the recorded mix carries the SIP party";
    EXPECT_GT(MeanShareOf(sipMix, 1000), 0.15) << "the analog party";
    EXPECT_GT(MeanShareOf(sipMix, 1500), 0.15) << "and us";

    // The analog far end hangs up: a two-party call with the SIP party remains.
    ASSERT_EQ(
        tapisimCommand(("hangup 1 " + std::to_string(CallId(analogCall))).c_str(), nullptr, 0), TAPISIM_OK);
    ASSERT_TRUE(RunUntil([&] { return Saw(analogCall, LINECALLSTATE_DISCONNECTED); }, 1000));
    EXPECT_EQ(CallState(conference), DWORD(LINECALLSTATE_CONNECTED));
    checkSipPartyAloneWithUs(sipEar, "after the analog party hung up");
    ASSERT_GT(lineDrop(analogCall, nullptr, 0), 0);

    // Taken out, the SIP call is held (our re-INVITE) and the empty conference ends.
    const LONG remove = lineRemoveFromConference(sipCall);
    ASSERT_TRUE(Replied(remove));
    ASSERT_TRUE(RunUntil([&] { return Saw(sipCall, LINECALLSTATE_ONHOLD); }, 3000)) << sipp.Log();
    EXPECT_EQ(CallState(conference), DWORD(LINECALLSTATE_IDLE));

    // The other way round: a new analog call talks, the held SIP call joins its conference.
    HCALL second = 0, conference2 = 0, consult2 = 0;
    ASSERT_GT(MakeCall(analog, second, "5550122"), 0);
    ASSERT_TRUE(RunUntil([&] { return Saw(second, LINECALLSTATE_CONNECTED); }, 5000));
    const LONG setup2 = lineSetupConferenceA(second, analog, &conference2, &consult2, 3, nullptr);
    ASSERT_TRUE(Replied(setup2));
    EXPECT_TRUE(Features(conference2) & LINECALLFEATURE_ADDTOCONF) << "the held call of the SIP line";
    const LONG add2 = lineAddToConference(conference2, sipCall);
    ASSERT_TRUE(Replied(add2));
    ASSERT_EQ(ReplyTo(add2), 0);
    EXPECT_TRUE(joined(sipCall, conference2));
    ASSERT_GT(lineDrop(consult2, nullptr, 0), 0);
    checkEachHearsTheOthers(analogEar, "conference on the analog line");

    const LONG remove2 = lineRemoveFromConference(second);
    ASSERT_TRUE(Replied(remove2));
    EXPECT_EQ(CallState(second), DWORD(LINECALLSTATE_ONHOLD));
    checkSipPartyAloneWithUs(analogEar, "after the analog party was taken out");

    ASSERT_GT(lineDrop(conference2, nullptr, 0), 0);
    ASSERT_TRUE(RunUntil([&] { return CallState(sipCall) == LINECALLSTATE_IDLE; }, 3000));
    EXPECT_EQ(CallState(second), DWORD(LINECALLSTATE_ONHOLD)) << "the held party is not the conference's";
    RunWhile(sipp, 5000);
    EXPECT_EQ(sipp.ExitCode(), 0) << sipp.Log() << "our hold, our resume and our BYE";
}

} // namespace
