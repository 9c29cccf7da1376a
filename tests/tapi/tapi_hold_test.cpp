#include "tapi_fixture.h"

#include "telephony/support/far_end_audio.h"

#include "platform/wave_devices.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

// Several calls on one analog line: hold and take back, a waiting second caller, swapping,
// transfers and a three-way conference.

namespace {

using testing_support::Heard;

// Our side of the call: a steady tone played into the line's wave-out device.
class Voice {
public:
    Voice(HLINE line, double frequency)
        : m_out(platform::WaveDeviceList::Instance().Output(LineDeviceId(line, "wave/out")))
        , m_step(2 * std::numbers::pi * frequency / 8000.0)
    {
        EXPECT_EQ(m_out->Start(platform::PcmFormat{},
                      [this](std::uint8_t* data, std::size_t bytes) {
                          auto* samples = reinterpret_cast<std::int16_t*>(data);
                          for (std::size_t i = 0; i < bytes / 2; ++i)
                              samples[i]
                                  = static_cast<std::int16_t>(6000 * std::sin(m_step * double(m_position++)));
                          return bytes;
                      }),
            MMSYSERR_NOERROR);
    }
    ~Voice() { m_out->Stop(); }

private:
    std::shared_ptr<platform::WaveOutDevice> m_out;
    double m_step;
    std::uint64_t m_position = 0;
};

// What the line's wave-in device (our earpiece) delivers.
class Earpiece {
public:
    explicit Earpiece(HLINE line)
        : m_in(platform::WaveDeviceList::Instance().Input(LineDeviceId(line, "wave/in")))
    {
        EXPECT_EQ(m_in->Start(platform::PcmFormat{},
                      [this](const std::uint8_t* data, std::size_t bytes) {
                          const auto* p = reinterpret_cast<const std::int16_t*>(data);
                          samples.insert(samples.end(), p, p + bytes / 2);
                      }),
            MMSYSERR_NOERROR);
    }
    ~Earpiece() { m_in->Stop(); }
    std::vector<std::int16_t> samples;

private:
    std::shared_ptr<platform::WaveInDevice> m_in;
};

std::vector<std::int16_t> Slice(
    const std::vector<std::int16_t>& samples, std::size_t fromMs, std::size_t toMs)
{
    return { samples.begin() + static_cast<std::ptrdiff_t>(fromMs * 8),
        samples.begin() + static_cast<std::ptrdiff_t>(toMs * 8) };
}

bool Silent(const std::vector<std::int16_t>& samples)
{
    return std::all_of(samples.begin(), samples.end(), [](std::int16_t s) { return s == 0; });
}

std::string Command(const char* command)
{
    char reply[2048] = {};
    EXPECT_EQ(tapisimCommand(command, reply, sizeof reply), TAPISIM_OK) << reply;
    return reply;
}

std::string LineOne()
{
    const std::string list = Command("list");
    return list.substr(0, list.find('\n'));
}

} // namespace

class TapiHold : public TapiFixture {
protected:
    // Runs an asynchronous hold request and checks that LINE_REPLY (success) comes before the
    // call states, which are returned.
    std::vector<DWORD> Completed(LONG request)
    {
        EXPECT_GT(request, 0);
        const auto messages = Pump();
        EXPECT_FALSE(messages.empty());
        if (messages.empty())
            return {};
        EXPECT_EQ(messages.front().message, DWORD(LINE_REPLY));
        EXPECT_EQ(messages.front().p1, DWORD_PTR(request));
        EXPECT_EQ(messages.front().p2, 0u);
        return States(messages);
    }
    // What the own far end of `call` (tapisimSetCallFarEndTone) heard.
    std::vector<std::int16_t> CallHeard(HCALL call)
    {
        const DWORD id = CallId(call);
        std::vector<std::int16_t> heard(
            static_cast<std::size_t>(tapisimGetCallHeardAudio(0, id, nullptr, 0)));
        tapisimGetCallHeardAudio(0, id, heard.data(), static_cast<DWORD>(heard.size()));
        return heard;
    }
    // Dials the consultation call and waits until the consulted party answered.
    void Consult(HCALL consult, const char* number)
    {
        EXPECT_EQ(Completed(lineDialA(consult, number, 0)), std::vector<DWORD>{ LINECALLSTATE_DIALING });
        for (int i = 0; i < 50 && CallState(consult) != LINECALLSTATE_CONNECTED; ++i)
            Pump(100);
        EXPECT_EQ(CallState(consult), DWORD(LINECALLSTATE_CONNECTED));
    }
    HCALL Waiting(HLINE line, const char* number)
    {
        TAPISIM_CALLER caller{};
        caller.number = number;
        return IncomingCall(0, line, caller);
    }
};

TEST_F(TapiHold, HeldCallsFarEndHearsSilenceThenOurVoiceAgain)
{
    const HLINE line = OpenLine(0);
    ASSERT_EQ(tapisimSetFarEndTone(0, 1000, -10), TAPISIM_OK);
    const HCALL call = ConnectedCall(line);
    EXPECT_EQ(Features(call) & (LINECALLFEATURE_HOLD | LINECALLFEATURE_UNHOLD), DWORD(LINECALLFEATURE_HOLD));
    Voice voice(line, 600);
    Earpiece earpiece(line);
    tapisimClearHeard(0);
    Pump(400);

    EXPECT_EQ(Completed(lineHold(call)), std::vector<DWORD>{ LINECALLSTATE_ONHOLD });
    EXPECT_EQ(Features(call) & (LINECALLFEATURE_HOLD | LINECALLFEATURE_UNHOLD | LINECALLFEATURE_DROP),
        DWORD(LINECALLFEATURE_UNHOLD | LINECALLFEATURE_DROP));
    EXPECT_EQ(lineHold(call), LINEERR_INVALCALLSTATE) << "a held call cannot be held again";
    EXPECT_EQ(lineGenerateDigitsA(call, LINEDIGITMODE_DTMF, "1", 0), LINEERR_INVALCALLSTATE);
    LINEDEVSTATUS status{};
    status.dwTotalSize = sizeof status;
    ASSERT_EQ(lineGetLineDevStatus(line, &status), 0);
    EXPECT_EQ(status.dwNumOnHoldCalls, 1u);
    EXPECT_EQ(status.dwNumActiveCalls, 0u);
    EXPECT_NE(LineOne().find(" held to 5551234"), std::string::npos) << LineOne();
    Pump(400);

    EXPECT_EQ(Completed(lineUnhold(call)), std::vector<DWORD>{ LINECALLSTATE_CONNECTED });
    EXPECT_EQ(lineUnhold(call), LINEERR_INVALCALLSTATE);
    Pump(400);

    const auto heard = Heard(0);
    ASSERT_EQ(heard.size(), 1200u * 8);
    EXPECT_GT(ShareOf(Slice(heard, 0, 400), 600), 0.9) << "our voice before the hold";
    EXPECT_TRUE(Silent(Slice(heard, 400, 800))) << "silence while held";
    EXPECT_GT(ShareOf(Slice(heard, 800, 1200), 600), 0.9) << "our voice again";
    ASSERT_EQ(earpiece.samples.size(), 1200u * 8);
    EXPECT_GT(ShareOf(Slice(earpiece.samples, 0, 400), 1000), 0.9);
    EXPECT_TRUE(Silent(Slice(earpiece.samples, 400, 800))) << "we do not hear the held far end";
    EXPECT_GT(ShareOf(Slice(earpiece.samples, 800, 1200), 1000), 0.9);

    // The far end holds and takes the call back; the call stays connected for us.
    tapisimClearHeard(0);
    earpiece.samples.clear();
    Command("hold 1");
    EXPECT_NE(LineOne().find("connected (held by the far end)"), std::string::npos) << LineOne();
    Pump(200);
    EXPECT_EQ(CallState(call), DWORD(LINECALLSTATE_CONNECTED));
    Command("unhold 1");
    Pump(200);
    EXPECT_TRUE(Silent(Slice(Heard(0), 0, 200)));
    EXPECT_TRUE(Silent(Slice(earpiece.samples, 0, 200)));
    EXPECT_GT(ShareOf(Slice(earpiece.samples, 200, 400), 1000), 0.9);
    EXPECT_GT(ShareOf(Slice(Heard(0), 200, 400), 600), 0.9);
    char log[256] = {};
    tapisimGetGeneratedLog(0, log, sizeof log);
    EXPECT_STREQ(log, "far end held\nfar end resumed\n");
}

TEST_F(TapiHold, WaitingCallIsAnsweredWhileTheFirstIsHeld)
{
    const HLINE line = OpenLine(0);
    const HCALL first = ConnectedCall(line);
    Earpiece earpiece(line);

    const std::size_t before = m_received.size();
    const HCALL second = Waiting(line, "2125550100");
    ASSERT_NE(second, 0u);
    EXPECT_EQ(CallState(second), DWORD(LINECALLSTATE_OFFERING));
    EXPECT_EQ(CallState(first), DWORD(LINECALLSTATE_CONNECTED));
    const std::string firstId = "call " + std::to_string(CallId(first));
    const std::string secondId = "call " + std::to_string(CallId(second));
    EXPECT_NE(LineOne().find(firstId + " connected to 5551234, " + secondId + " waiting from 2125550100"),
        std::string::npos)
        << LineOne();
    Pump(1000);
    EXPECT_GT(ShareOf(Slice(earpiece.samples, 0, 300), 440), 0.9) << "the call-waiting tone";
    EXPECT_TRUE(Silent(Slice(earpiece.samples, 300, 1000))) << "one burst, then the pause";
    EXPECT_EQ(Find({ m_received.begin() + static_cast<std::ptrdiff_t>(before), m_received.end() },
                  LINE_LINEDEVSTATE),
        nullptr)
        << "a waiting call does not ring the line";

    EXPECT_EQ(Completed(lineHold(first)), std::vector<DWORD>{ LINECALLSTATE_ONHOLD });
    EXPECT_EQ(Features(second) & LINECALLFEATURE_ANSWER, DWORD(LINECALLFEATURE_ANSWER));
    HCALL consult = 0;
    EXPECT_EQ(MakeCall(line, consult, "5550000"), LINEERR_INUSE) << "the waiting caller holds the line";
    const LONG answer = lineAnswer(second, nullptr, 0);
    ASSERT_GT(answer, 0);
    const auto messages = Pump(200);
    EXPECT_EQ(States(messages), (std::vector<DWORD>{ LINECALLSTATE_ACCEPTED, LINECALLSTATE_CONNECTED }));
    EXPECT_EQ(CallState(first), DWORD(LINECALLSTATE_ONHOLD));
    EXPECT_NE(LineOne().find(firstId + " held to 5551234, " + secondId + " connected from 2125550100"),
        std::string::npos)
        << LineOne();
    earpiece.samples.clear();
    Pump(11000);
    EXPECT_TRUE(Silent(earpiece.samples)) << "no call-waiting tone once the caller was answered";

    // The second caller hangs up; the held call is taken back.
    Command(("hangup 1 " + std::to_string(CallId(second))).c_str());
    EXPECT_EQ(States(Pump()), std::vector<DWORD>{ LINECALLSTATE_DISCONNECTED });
    EXPECT_EQ(CallState(first), DWORD(LINECALLSTATE_ONHOLD)) << "the held caller is still there";
    EXPECT_EQ(Features(first) & LINECALLFEATURE_UNHOLD, DWORD(LINECALLFEATURE_UNHOLD));
    EXPECT_EQ(Completed(lineUnhold(first)), std::vector<DWORD>{ LINECALLSTATE_CONNECTED });
    EXPECT_EQ(CallState(second), DWORD(LINECALLSTATE_DISCONNECTED));
    ASSERT_GT(lineDrop(second, nullptr, 0), 0);
    Pump();
    EXPECT_NE(LineOne().find(") " + firstId + " connected to 5551234"), std::string::npos) << LineOne();
    EXPECT_EQ(LineOne().find(secondId), std::string::npos) << LineOne();
}

TEST_F(TapiHold, AnsweringAWaitingCallHoldsTheFirstAndSwapHoldAlternates)
{
    const HLINE line = OpenLine(0);
    const HCALL first = ConnectedCall(line);
    const HCALL second = Waiting(line, "2125550100");
    ASSERT_GT(lineAnswer(second, nullptr, 0), 0);
    const auto answered = Pump(200);
    EXPECT_EQ(States(answered),
        (std::vector<DWORD>{ LINECALLSTATE_ONHOLD, LINECALLSTATE_ACCEPTED, LINECALLSTATE_CONNECTED }));
    EXPECT_EQ(Features(second) & (LINECALLFEATURE_HOLD | LINECALLFEATURE_SWAPHOLD),
        DWORD(LINECALLFEATURE_HOLD | LINECALLFEATURE_SWAPHOLD));

    EXPECT_EQ(lineSwapHold(first, second), LINEERR_INVALCALLSTATE) << "the held call is the second argument";
    EXPECT_EQ(lineSwapHold(second, second), LINEERR_INVALCALLSTATE);
    EXPECT_EQ(lineSwapHold(second, 0xDEAD), LINEERR_INVALCALLHANDLE);
    EXPECT_EQ(Completed(lineSwapHold(second, first)),
        (std::vector<DWORD>{ LINECALLSTATE_ONHOLD, LINECALLSTATE_CONNECTED }));
    EXPECT_EQ(CallState(first), DWORD(LINECALLSTATE_CONNECTED));
    EXPECT_EQ(CallState(second), DWORD(LINECALLSTATE_ONHOLD));
    EXPECT_EQ(Completed(lineSwapHold(first, second)),
        (std::vector<DWORD>{ LINECALLSTATE_ONHOLD, LINECALLSTATE_CONNECTED }));
    EXPECT_EQ(CallState(second), DWORD(LINECALLSTATE_CONNECTED));

    // Taking back a held call while the other is connected holds that one.
    EXPECT_EQ(
        Completed(lineUnhold(first)), (std::vector<DWORD>{ LINECALLSTATE_ONHOLD, LINECALLSTATE_CONNECTED }));
    EXPECT_EQ(CallState(second), DWORD(LINECALLSTATE_ONHOLD));

    // With both held the line is free for a third call. One caller at a time waits, and four
    // calls fill the line.
    EXPECT_EQ(Completed(lineHold(first)), std::vector<DWORD>{ LINECALLSTATE_ONHOLD });
    const HCALL third = ConnectedCall(line, "5550000");
    EXPECT_EQ(CallState(third), DWORD(LINECALLSTATE_CONNECTED));
    const HCALL fourth = Waiting(line, "2125550111");
    TAPISIM_CALLER caller{};
    caller.number = "2125550122";
    EXPECT_EQ(tapisimRing(0, &caller), TAPISIM_E_BUSY) << "another caller waits already";
    ASSERT_GT(lineAnswer(fourth, nullptr, 0), 0);
    Pump(200);
    EXPECT_EQ(CallState(third), DWORD(LINECALLSTATE_ONHOLD));
    EXPECT_EQ(CallState(fourth), DWORD(LINECALLSTATE_CONNECTED));
    EXPECT_EQ(tapisimRing(0, &caller), TAPISIM_E_BUSY) << "four calls fill the line";
    EXPECT_EQ(Completed(lineHold(fourth)), std::vector<DWORD>{ LINECALLSTATE_ONHOLD });
    HCALL fifth = 0;
    EXPECT_EQ(MakeCall(line, fifth, "5550001"), LINEERR_INUSE);
}

TEST_F(TapiHold, AddressCapsAnnounceHoldOnVoiceLinesOnly)
{
    LINEADDRESSCAPS caps{};
    caps.dwTotalSize = sizeof caps;
    ASSERT_EQ(lineGetAddressCapsA(m_lineApp, 0, 0, m_version, 0, &caps), 0);
    EXPECT_EQ(caps.dwLineDeviceID, 0u);
    EXPECT_EQ(
        caps.dwCallFeatures & (LINECALLFEATURE_HOLD | LINECALLFEATURE_UNHOLD | LINECALLFEATURE_SWAPHOLD),
        DWORD(LINECALLFEATURE_HOLD | LINECALLFEATURE_UNHOLD | LINECALLFEATURE_SWAPHOLD));
    EXPECT_TRUE(caps.dwCallFeatures & LINECALLFEATURE_BLINDTRANSFER);
    EXPECT_TRUE(caps.dwCallStates & LINECALLSTATE_ONHOLD);
    EXPECT_EQ(caps.dwMaxNumOnHoldCalls, 3u);
    EXPECT_EQ(caps.dwMaxNumActiveCalls, 1u);
    EXPECT_EQ(caps.dwTransferModes, DWORD(LINETRANSFERMODE_TRANSFER | LINETRANSFERMODE_CONFERENCE));
    EXPECT_EQ(caps.dwMaxNumConference, 3u);
    const DWORD consultation = LINECALLFEATURE_SETUPTRANSFER | LINECALLFEATURE_DIAL
        | LINECALLFEATURE_COMPLETETRANSF | LINECALLFEATURE_SETUPCONF | LINECALLFEATURE_ADDTOCONF
        | LINECALLFEATURE_REMOVEFROMCONF;
    EXPECT_EQ(caps.dwCallFeatures & consultation, consultation);
    const DWORD states
        = LINECALLSTATE_ONHOLDPENDTRANSFER | LINECALLSTATE_ONHOLDPENDCONF | LINECALLSTATE_CONFERENCED;
    EXPECT_EQ(caps.dwCallStates & states, states);
    LINEDEVCAPS devCaps{};
    devCaps.dwTotalSize = sizeof devCaps;
    ASSERT_EQ(lineGetDevCapsA(m_lineApp, 0, m_version, 0, &devCaps), 0);
    EXPECT_EQ(devCaps.dwAnswerMode, DWORD(LINEANSWERMODE_HOLD));

    ASSERT_EQ(lineGetAddressCapsA(m_lineApp, 6, 0, m_version, 0, &caps), 0) << "the data modem";
    EXPECT_EQ(caps.dwCallFeatures & LINECALLFEATURE_HOLD, 0u);
    EXPECT_EQ(caps.dwMaxNumOnHoldCalls, 0u);
    EXPECT_EQ(caps.dwTransferModes, 0u);

    EXPECT_EQ(lineGetAddressCapsA(m_lineApp, 0, 1, m_version, 0, &caps), LINEERR_INVALADDRESSID);
    EXPECT_EQ(lineGetAddressCapsA(m_lineApp, m_numLines, 0, m_version, 0, &caps), LINEERR_BADDEVICEID);
    EXPECT_EQ(lineGetAddressCapsA(m_lineApp, 0, 0, m_version, 0, nullptr), LINEERR_INVALPOINTER);
    caps.dwTotalSize = sizeof caps - 4;
    EXPECT_EQ(lineGetAddressCapsA(m_lineApp, 0, 0, m_version, 0, &caps), LINEERR_STRUCTURETOOSMALL);
}

TEST_F(TapiHold, BlindTransferHandsTheFarEndToAnotherNumber)
{
    const HLINE line = OpenLine(0);
    const HCALL held = ConnectedCall(line, "5550100");
    EXPECT_EQ(Completed(lineHold(held)), std::vector<DWORD>{ LINECALLSTATE_ONHOLD });
    EXPECT_EQ(lineBlindTransferA(held, "5550199", 0), LINEERR_INVALCALLSTATE) << "only a connected call";
    const HCALL call = Waiting(line, "2125550100");
    EXPECT_EQ(lineBlindTransferA(call, "5550199", 0), LINEERR_INVALCALLSTATE);
    ASSERT_GT(lineAnswer(call, nullptr, 0), 0);
    Pump(200);
    EXPECT_TRUE(Features(call) & LINECALLFEATURE_BLINDTRANSFER);
    EXPECT_EQ(lineBlindTransferA(call, "", 0), LINEERR_INVALADDRESS);
    EXPECT_EQ(lineBlindTransferA(call, "--", 0), LINEERR_INVALADDRESS);
    EXPECT_EQ(lineBlindTransferA(call, nullptr, 0), LINEERR_INVALPOINTER);
    EXPECT_EQ(CallState(call), DWORD(LINECALLSTATE_CONNECTED));

    EXPECT_EQ(Completed(lineBlindTransferA(call, "555-0199", 0)), std::vector<DWORD>{ LINECALLSTATE_IDLE });
    EXPECT_NE(LineOne().find(" held to 5550100; transferred 2125550100 to 5550199"), std::string::npos)
        << LineOne();
    char log[256] = {};
    tapisimGetGeneratedLog(0, log, sizeof log);
    EXPECT_NE(std::string(log).find("transferred to 5550199\n"), std::string::npos) << log;
    EXPECT_EQ(lineDeallocateCall(call), 0);
    EXPECT_EQ(Completed(lineUnhold(held)), std::vector<DWORD>{ LINECALLSTATE_CONNECTED });
}

TEST_F(TapiHold, ConsultationTransferHandsTheHeldFarEndToTheConsultedNumber)
{
    const HLINE line = OpenLine(0);
    const HCALL call = ConnectedCall(line, "5550100");
    EXPECT_TRUE(Features(call) & LINECALLFEATURE_SETUPTRANSFER);
    EXPECT_EQ(lineSetupTransferA(call, nullptr, nullptr), LINEERR_INVALPOINTER);
    HCALL consult = 0;
    EXPECT_EQ(Completed(lineSetupTransferA(call, &consult, nullptr)),
        (std::vector<DWORD>{ LINECALLSTATE_ONHOLDPENDTRANSFER, LINECALLSTATE_DIALTONE }));
    ASSERT_NE(consult, 0u) << "the consultation call's handle arrives with LINE_REPLY";
    EXPECT_EQ(Features(consult) & (LINECALLFEATURE_DIAL | LINECALLFEATURE_DROP),
        DWORD(LINECALLFEATURE_DIAL | LINECALLFEATURE_DROP));
    EXPECT_EQ(Features(call) & (LINECALLFEATURE_UNHOLD | LINECALLFEATURE_COMPLETETRANSF), 0u);
    LINEDEVSTATUS status{};
    status.dwTotalSize = sizeof status;
    ASSERT_EQ(lineGetLineDevStatus(line, &status), 0);
    EXPECT_EQ(status.dwNumOnHoldPendCalls, 1u);
    EXPECT_EQ(status.dwNumOnHoldCalls, 0u);
    EXPECT_EQ(lineCompleteTransfer(call, consult, nullptr, LINETRANSFERMODE_TRANSFER), LINEERR_INVALCALLSTATE)
        << "nobody to hand the call to yet";
    EXPECT_EQ(lineDialA(call, "5550199", 0), LINEERR_INVALCALLSTATE);
    EXPECT_EQ(lineDialA(consult, "", 0), LINEERR_INVALADDRESS);
    Pump(1000);
    EXPECT_EQ(CallState(consult), DWORD(LINECALLSTATE_DIALTONE)) << "dial tone until lineDial";

    Consult(consult, "555-0199");
    EXPECT_EQ(Features(call) & LINECALLFEATURE_COMPLETETRANSF, DWORD(LINECALLFEATURE_COMPLETETRANSF));
    EXPECT_NE(LineOne().find("held for transfer to 5550100, call " + std::to_string(CallId(consult))
                  + " connected to 555-0199"),
        std::string::npos)
        << LineOne();
    EXPECT_EQ(lineCompleteTransfer(call, consult, nullptr, 7), LINEERR_INVALTRANSFERMODE);
    EXPECT_EQ(lineCompleteTransfer(call, 0xDEAD, nullptr, LINETRANSFERMODE_TRANSFER),
        LINEERR_INVALCONSULTCALLHANDLE);
    EXPECT_EQ(
        lineCompleteTransfer(consult, call, nullptr, LINETRANSFERMODE_TRANSFER), LINEERR_INVALCALLSTATE);
    EXPECT_EQ(Completed(lineCompleteTransfer(call, consult, nullptr, LINETRANSFERMODE_TRANSFER)),
        (std::vector<DWORD>{ LINECALLSTATE_IDLE, LINECALLSTATE_IDLE }));
    EXPECT_NE(LineOne().find(" idle; transferred 5550100 to 5550199"), std::string::npos) << LineOne();
    char log[256] = {};
    tapisimGetGeneratedLog(0, log, sizeof log);
    EXPECT_NE(std::string(log).find("transferred to 5550199\n"), std::string::npos) << log;
    EXPECT_EQ(lineDeallocateCall(call), 0);
    EXPECT_EQ(lineDeallocateCall(consult), 0);
}

TEST_F(TapiHold, DroppingTheConsultationCallAndUnholdingCancelsTheTransfer)
{
    const HLINE line = OpenLine(0);
    ASSERT_EQ(tapisimSetFarEndTone(0, 1000, -10), TAPISIM_OK);
    const HCALL call = ConnectedCall(line, "5550100");
    Voice voice(line, 600);
    Earpiece earpiece(line);
    HCALL consult = 0;
    Completed(lineSetupTransferA(call, &consult, nullptr));
    const std::string play = "play 1 --call " + std::to_string(CallId(consult)) + " --tone 1500";
    EXPECT_EQ(
        Command(play.c_str()), "the far end of call " + std::to_string(CallId(consult)) + " sends 1500 Hz\n");
    Consult(consult, "5550199");
    tapisimClearHeard(0);
    earpiece.samples.clear();
    Pump(400);
    EXPECT_GT(ShareOf(earpiece.samples, 1500), 0.9) << "we talk with the consulted party only";
    EXPECT_TRUE(Silent(Heard(0))) << "the held party hears nothing";
    EXPECT_GT(ShareOf(CallHeard(consult), 600), 0.9) << "the consulted party hears us";

    ASSERT_GT(lineDrop(consult, nullptr, 0), 0);
    EXPECT_EQ(States(Pump()), std::vector<DWORD>{ LINECALLSTATE_IDLE });
    EXPECT_EQ(CallState(call), DWORD(LINECALLSTATE_ONHOLDPENDTRANSFER));
    EXPECT_EQ(Features(call) & (LINECALLFEATURE_UNHOLD | LINECALLFEATURE_COMPLETETRANSF),
        DWORD(LINECALLFEATURE_UNHOLD));
    EXPECT_EQ(Completed(lineUnhold(call)), std::vector<DWORD>{ LINECALLSTATE_CONNECTED });
    earpiece.samples.clear();
    tapisimClearHeard(0);
    Pump(400);
    EXPECT_GT(ShareOf(earpiece.samples, 1000), 0.9) << "the first party is back";
    EXPECT_GT(ShareOf(Heard(0), 600), 0.9);
    EXPECT_EQ(LineOne().find("transferred"), std::string::npos) << LineOne();
}

TEST_F(TapiHold, ConferenceMixesThePartiesSoEachHearsTheOtherTwo)
{
    const HLINE line = OpenLine(0);
    ASSERT_EQ(tapisimSetFarEndTone(0, 1000, -10), TAPISIM_OK);
    const HCALL first = ConnectedCall(line, "5550100");
    EXPECT_TRUE(Features(first) & LINECALLFEATURE_SETUPCONF);
    Voice voice(line, 600);
    Earpiece earpiece(line);
    HCALL conf = 0, consult = 0;
    EXPECT_EQ(lineSetupConferenceA(first, line, &conf, &consult, 4, nullptr), LINEERR_CONFERENCEFULL);
    const LONG setup = lineSetupConferenceA(first, line, &conf, &consult, 3, nullptr);
    const auto messages = Pump();
    ASSERT_GE(messages.size(), 4u);
    EXPECT_EQ(messages.front().message, DWORD(LINE_REPLY));
    EXPECT_EQ(messages.front().p1, DWORD_PTR(setup));
    EXPECT_EQ(States(messages),
        (std::vector<DWORD>{
            LINECALLSTATE_CONFERENCED, LINECALLSTATE_ONHOLDPENDCONF, LINECALLSTATE_DIALTONE }));
    ASSERT_NE(conf, 0u);
    ASSERT_NE(consult, 0u);
    EXPECT_EQ(messages[1].device, DWORD(first));
    EXPECT_EQ(messages[1].p2, DWORD_PTR(conf)) << "CONFERENCED names the conference call";
    EXPECT_EQ(Features(conf) & LINECALLFEATURE_ADDTOCONF, 0u);
    ASSERT_EQ(tapisimSetCallFarEndTone(0, CallId(consult), 1500, -10), TAPISIM_OK);
    Consult(consult, "5550199");
    EXPECT_EQ(Features(conf) & LINECALLFEATURE_ADDTOCONF, DWORD(LINECALLFEATURE_ADDTOCONF));
    EXPECT_EQ(lineAddToConference(consult, conf), LINEERR_INVALCONFCALLHANDLE);
    EXPECT_EQ(Completed(lineAddToConference(conf, consult)),
        (std::vector<DWORD>{ LINECALLSTATE_CONFERENCED, LINECALLSTATE_CONNECTED }));
    EXPECT_EQ(Features(first) & LINECALLFEATURE_REMOVEFROMCONF, DWORD(LINECALLFEATURE_REMOVEFROMCONF));
    EXPECT_NE(
        LineOne().find("conferenced to 5550100, call " + std::to_string(CallId(conf))
            + " connected conference, call " + std::to_string(CallId(consult)) + " conferenced to 5550199"),
        std::string::npos)
        << LineOne();

    tapisimClearHeard(0);
    earpiece.samples.clear();
    Pump(400);
    const auto each = [](const std::vector<std::int16_t>& heard, double a, double b, double absent) {
        return ShareOf(heard, a) > 0.3 && ShareOf(heard, b) > 0.3
            && ShareOf(heard, a) + ShareOf(heard, b) > 0.9 && ShareOf(heard, absent) < 0.02;
    };
    EXPECT_TRUE(each(earpiece.samples, 1000, 1500, 600)) << "we hear both parties";
    EXPECT_TRUE(each(Heard(0), 600, 1500, 1000)) << "the first party hears us and the second";
    EXPECT_TRUE(each(CallHeard(consult), 600, 1000, 1500)) << "the second party hears us and the first";

    // The second party is taken out (held); the first stays in the conference with us.
    EXPECT_EQ(Completed(lineRemoveFromConference(consult)), std::vector<DWORD>{ LINECALLSTATE_ONHOLD });
    EXPECT_EQ(lineRemoveFromConference(consult), LINEERR_INVALCALLSTATE);
    earpiece.samples.clear();
    Pump(400);
    EXPECT_GT(ShareOf(earpiece.samples, 1000), 0.9);
    // Dropping the conference call ends its party; the held call remains.
    ASSERT_GT(lineDrop(conf, nullptr, 0), 0);
    EXPECT_EQ(States(Pump()), (std::vector<DWORD>{ LINECALLSTATE_IDLE, LINECALLSTATE_IDLE }));
    EXPECT_EQ(CallState(first), DWORD(LINECALLSTATE_IDLE));
    EXPECT_EQ(Completed(lineUnhold(consult)), std::vector<DWORD>{ LINECALLSTATE_CONNECTED });
}

TEST_F(TapiHold, ConferenceFromATransferAndCancelledConferenceSetup)
{
    const HLINE line = OpenLine(0);
    const HCALL first = ConnectedCall(line, "5550100");
    HCALL conf = 0, consult = 0;
    Completed(lineSetupConferenceA(first, line, &conf, &consult, 3, nullptr));
    // Dropping the consultation call cancels the setup: the first party waits on hold.
    ASSERT_GT(lineDrop(consult, nullptr, 0), 0);
    EXPECT_EQ(
        States(Pump()), (std::vector<DWORD>{ LINECALLSTATE_IDLE, LINECALLSTATE_ONHOLD, LINECALLSTATE_IDLE }));
    EXPECT_EQ(CallState(conf), DWORD(LINECALLSTATE_IDLE));
    EXPECT_EQ(Completed(lineUnhold(first)), std::vector<DWORD>{ LINECALLSTATE_CONNECTED });
    EXPECT_EQ(lineDeallocateCall(conf), 0);
    EXPECT_EQ(lineDeallocateCall(consult), 0);

    // A consultation call joined in conference mode.
    Completed(lineSetupTransferA(first, &consult, nullptr));
    Consult(consult, "5550199");
    EXPECT_EQ(
        lineCompleteTransfer(first, consult, nullptr, LINETRANSFERMODE_CONFERENCE), LINEERR_INVALPOINTER);
    conf = 0;
    EXPECT_EQ(Completed(lineCompleteTransfer(first, consult, &conf, LINETRANSFERMODE_CONFERENCE)),
        (std::vector<DWORD>{
            LINECALLSTATE_CONFERENCED, LINECALLSTATE_CONFERENCED, LINECALLSTATE_CONNECTED }));
    ASSERT_NE(conf, 0u);
    EXPECT_EQ(CallState(conf), DWORD(LINECALLSTATE_CONNECTED));

    // The parties hang up one after the other; the conference ends with the last.
    Command(("hangup 1 " + std::to_string(CallId(consult))).c_str());
    EXPECT_EQ(States(Pump()), std::vector<DWORD>{ LINECALLSTATE_DISCONNECTED });
    EXPECT_EQ(CallState(conf), DWORD(LINECALLSTATE_CONNECTED));
    Command(("hangup 1 " + std::to_string(CallId(first))).c_str());
    EXPECT_EQ(States(Pump()), (std::vector<DWORD>{ LINECALLSTATE_DISCONNECTED, LINECALLSTATE_IDLE }));
}

namespace {

// A text of the call information, "" when the call has none.
std::string InfoText(HCALL call, DWORD LINECALLINFO::*size, DWORD LINECALLINFO::*offset)
{
    std::vector<unsigned char> block(4096);
    auto* info = reinterpret_cast<LINECALLINFO*>(block.data());
    info->dwTotalSize = DWORD(block.size());
    EXPECT_EQ(lineGetCallInfoA(call, info), 0);
    const DWORD bytes = info->*size;
    return bytes > 1 ? std::string(reinterpret_cast<const char*>(block.data() + info->*offset), bytes - 1)
                     : "";
}

} // namespace

// The far end hands our call to another number: silence while the exchange calls it, then that
// party is connected (LINE_CALLINFO names it and the party that transferred us); a busy number
// cuts the call.
TEST_F(TapiHold, FarEndTransfersOurCallThroughTheDialPlan)
{
    const HLINE line = OpenLine(0);
    ASSERT_EQ(tapisimSetFarEndTone(0, 1000, -10), TAPISIM_OK);
    const HCALL call = ConnectedCall(line, "5550100");
    Earpiece earpiece(line);
    char reply[512] = {};
    EXPECT_EQ(tapisimCommand("transfer 1 x-y", reply, sizeof reply), TAPISIM_E_BADARG);
    EXPECT_EQ(tapisimCommand("transfer 1", reply, sizeof reply), TAPISIM_E_BADARG);
    Command("dialplan add 5550199 answer 400");
    Command("transfer 1 5550199");
    EXPECT_NE(LineOne().find("connected to 5550100, being transferred to 5550199"), std::string::npos)
        << LineOne();
    EXPECT_EQ(tapisimCommand("transfer 1 5550177", reply, sizeof reply), TAPISIM_E_NOCALL)
        << "one transfer at a time";
    earpiece.samples.clear();
    auto messages = Pump(200);
    EXPECT_EQ(Find(messages, LINE_CALLINFO), nullptr) << "the new party is still being called";
    EXPECT_TRUE(Silent(earpiece.samples)) << "the far end left us waiting in silence";
    messages = Pump(200);
    const Received* changed = Find(messages, LINE_CALLINFO);
    ASSERT_NE(changed, nullptr);
    EXPECT_EQ(changed->device, DWORD(call));
    EXPECT_EQ(changed->p1, DWORD_PTR(LINECALLINFOSTATE_CONNECTEDID | LINECALLINFOSTATE_REDIRECTINGID));
    EXPECT_EQ(CallState(call), DWORD(LINECALLSTATE_CONNECTED));
    EXPECT_EQ(
        InfoText(call, &LINECALLINFO::dwConnectedIDSize, &LINECALLINFO::dwConnectedIDOffset), "5550199");
    EXPECT_EQ(
        InfoText(call, &LINECALLINFO::dwRedirectingIDSize, &LINECALLINFO::dwRedirectingIDOffset), "5550100");
    EXPECT_NE(LineOne().find("transferred by 5550100 to 5550199"), std::string::npos) << LineOne();
    earpiece.samples.clear();
    Pump(200);
    EXPECT_GT(ShareOf(earpiece.samples, 1000), 0.9) << "the new party talks";

    // Handed on again, to a busy number: the call is cut.
    Command("dialplan add 5550111 busy 100");
    Command("transfer 1 5550111");
    Pump(200);
    EXPECT_EQ(CallState(call), DWORD(LINECALLSTATE_DISCONNECTED));
    LINECALLSTATUS status{};
    status.dwTotalSize = sizeof status;
    ASSERT_EQ(lineGetCallStatus(call, &status), 0);
    EXPECT_EQ(status.dwCallStateMode, DWORD(LINEDISCONNECTMODE_BUSY));
}

// A call we hold joins a conference being set up in place of the consulted party.
TEST_F(TapiHold, HeldCallJoinsAConferenceBeingSetUp)
{
    const HLINE line = OpenLine(0);
    const HCALL held = ConnectedCall(line, "5550100");
    EXPECT_EQ(Completed(lineHold(held)), std::vector<DWORD>{ LINECALLSTATE_ONHOLD });
    const HCALL first = ConnectedCall(line, "5550122");
    HCALL conf = 0, consult = 0;
    Completed(lineSetupConferenceA(first, line, &conf, &consult, 3, nullptr));
    EXPECT_EQ(Features(conf) & LINECALLFEATURE_ADDTOCONF, DWORD(LINECALLFEATURE_ADDTOCONF));
    LINECALLINFO info{};
    info.dwTotalSize = sizeof info;
    ASSERT_EQ(lineGetCallInfoA(conf, &info), 0);
    EXPECT_EQ(info.dwOrigin, DWORD(LINECALLORIGIN_CONFERENCE));
    EXPECT_EQ(Completed(lineAddToConference(conf, held)),
        (std::vector<DWORD>{ LINECALLSTATE_CONFERENCED, LINECALLSTATE_CONNECTED }));
    ASSERT_GT(lineDrop(consult, nullptr, 0), 0);
    Pump();
    EXPECT_EQ(CallState(conf), DWORD(LINECALLSTATE_CONNECTED)) << "the unused consultation call goes alone";
    EXPECT_EQ(CallState(first), DWORD(LINECALLSTATE_CONFERENCED));
    EXPECT_EQ(CallState(held), DWORD(LINECALLSTATE_CONFERENCED));
}

// A held call of line 1 and the connected call of line 2 joined in conference mode: the conference
// takes line 2, whose devices we talk on, and mixes line 1's far end in; each party stays a call of
// its own line. Taking the first party out holds it on line 1; the conference ends with the other.
TEST_F(TapiHold, ConferenceAcrossLinesMixesOnTheLineWeTalkOn)
{
    const HLINE line1 = OpenLine(0);
    const HLINE line2 = OpenLine(1);
    LINEADDRESSCAPS caps{};
    caps.dwTotalSize = sizeof caps;
    ASSERT_EQ(lineGetAddressCapsA(m_lineApp, 0, 0, m_version, 0, &caps), 0);
    EXPECT_EQ(caps.dwAddrCapFlags,
        DWORD(LINEADDRCAPFLAGS_CONFERENCEHELD | LINEADDRCAPFLAGS_CONFERENCEMAKE | LINEADDRCAPFLAGS_CONFDROP));
    ASSERT_EQ(tapisimSetFarEndTone(0, 1000, -10), TAPISIM_OK);
    ASSERT_EQ(tapisimSetFarEndTone(1, 1500, -10), TAPISIM_OK);
    const HCALL first = ConnectedCall(line1, "5550100");
    EXPECT_EQ(Completed(lineHold(first)), std::vector<DWORD>{ LINECALLSTATE_ONHOLD });
    const HCALL second = ConnectedCall(line2, "5550199");
    Voice voice(line2, 600);
    Earpiece earpiece(line2);
    HCALL conf = 0;
    EXPECT_EQ(
        lineCompleteTransfer(first, second, &conf, LINETRANSFERMODE_TRANSFER), LINEERR_INVALCONSULTCALLHANDLE)
        << "a transfer still needs both calls on one line";
    const LONG join = lineCompleteTransfer(first, second, &conf, LINETRANSFERMODE_CONFERENCE);
    const auto messages = Pump();
    ASSERT_GE(messages.size(), 4u);
    EXPECT_EQ(messages.front().message, DWORD(LINE_REPLY));
    EXPECT_EQ(messages.front().p1, DWORD_PTR(join));
    EXPECT_EQ(States(messages),
        (std::vector<DWORD>{
            LINECALLSTATE_CONFERENCED, LINECALLSTATE_CONFERENCED, LINECALLSTATE_CONNECTED }));
    EXPECT_EQ(messages[1].device, DWORD(first));
    EXPECT_EQ(messages[1].p2, DWORD_PTR(conf)) << "the party of line 1 is told the conference of line 2";
    EXPECT_EQ(Features(first), DWORD(LINECALLFEATURE_DROP | LINECALLFEATURE_REMOVEFROMCONF));
    LINEDEVSTATUS status{};
    status.dwTotalSize = sizeof status;
    ASSERT_EQ(lineGetLineDevStatus(line1, &status), 0);
    EXPECT_EQ(status.dwNumActiveCalls, 1u) << "line 1's call talks in the conference";
    EXPECT_EQ(status.dwNumOnHoldCalls, 0u);
    EXPECT_NE(LineOne().find("call " + std::to_string(CallId(first))
                  + " conferenced to 5550100 in the conference on line 2"),
        std::string::npos)
        << LineOne();

    tapisimClearHeard(0);
    tapisimClearHeard(1);
    earpiece.samples.clear();
    Pump(400);
    const auto each = [](const std::vector<std::int16_t>& heard, double a, double b, double absent) {
        return ShareOf(heard, a) > 0.3 && ShareOf(heard, b) > 0.3
            && ShareOf(heard, a) + ShareOf(heard, b) > 0.9 && ShareOf(heard, absent) < 0.02;
    };
    EXPECT_TRUE(each(earpiece.samples, 1000, 1500, 600)) << "we hear both parties on line 2";
    EXPECT_TRUE(each(Heard(0), 600, 1500, 1000)) << "line 1's far end hears us and line 2's";
    EXPECT_TRUE(each(Heard(1), 600, 1000, 1500)) << "line 2's far end hears us and line 1's";

    // The first party goes back on hold on its own line; we talk with the second alone.
    EXPECT_EQ(Completed(lineRemoveFromConference(first)), std::vector<DWORD>{ LINECALLSTATE_ONHOLD });
    tapisimClearHeard(0);
    earpiece.samples.clear();
    Pump(400);
    EXPECT_GT(ShareOf(earpiece.samples, 1500), 0.9);
    EXPECT_TRUE(Silent(Heard(0))) << "the held far end hears nothing";
    Command(("hangup 2 " + std::to_string(CallId(second))).c_str());
    EXPECT_EQ(States(Pump()), (std::vector<DWORD>{ LINECALLSTATE_DISCONNECTED, LINECALLSTATE_IDLE }));
    EXPECT_EQ(CallState(conf), DWORD(LINECALLSTATE_IDLE));
    EXPECT_EQ(Completed(lineUnhold(first)), std::vector<DWORD>{ LINECALLSTATE_CONNECTED });
}
