#include "tapi_fixture.h"

#include "platform/registry.h"

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace {

std::string Text(const std::vector<unsigned char>& block, DWORD size, DWORD offset)
{
    return size ? std::string(reinterpret_cast<const char*>(block.data() + offset)) : std::string();
}

struct Info {
    std::vector<unsigned char> block = std::vector<unsigned char>(1324);
    LINECALLINFO* operator->() { return reinterpret_cast<LINECALLINFO*>(block.data()); }
};

Info CallInfo(HCALL call)
{
    Info info;
    info->dwTotalSize = 1324;
    EXPECT_EQ(lineGetCallInfoA(call, reinterpret_cast<LINECALLINFO*>(info.block.data())), 0);
    return info;
}

DWORD DisconnectMode(const std::vector<Received>& messages)
{
    for (const auto& m : messages)
        if (m.message == LINE_CALLSTATE && m.p1 == LINECALLSTATE_DISCONNECTED)
            return static_cast<DWORD>(m.p2);
    return 0;
}

} // namespace

using TapiCalls = TapiFixture;

TEST_F(TapiCalls, DefaultNumberRingsBackAndIsAnsweredWithTheExactMessageSequence)
{
    const HLINE line = OpenLine(0, 0x51);
    HCALL call = 0;
    const LONG request = MakeCall(line, call, "5551234", "555-1234", "Bob");
    ASSERT_GT(request, 0);
    EXPECT_EQ(call, 0u) << "the handle arrives with the reply";

    auto messages = Pump();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[0].message, DWORD(LINE_REPLY));
    EXPECT_EQ(messages[0].p1, DWORD_PTR(request));
    EXPECT_EQ(messages[0].p2, 0u);
    EXPECT_EQ(messages[0].instance, 0x51u);
    EXPECT_NE(call, 0u);
    EXPECT_EQ(messages[1].message, DWORD(LINE_CALLSTATE));
    EXPECT_EQ(messages[1].device, call);
    EXPECT_EQ(messages[1].p1, DWORD_PTR(LINECALLSTATE_DIALTONE));

    std::vector<DWORD> states;
    for (int i = 0; i < 60; ++i)
        for (DWORD s : States(Pump(100)))
            states.push_back(s);
    const std::vector<DWORD> expected{ LINECALLSTATE_DIALING, LINECALLSTATE_PROCEEDING,
        LINECALLSTATE_RINGBACK, LINECALLSTATE_CONNECTED };
    EXPECT_EQ(states, expected);

    Info info = CallInfo(call);
    EXPECT_EQ(info->dwOrigin, DWORD(LINECALLORIGIN_OUTBOUND));
    EXPECT_EQ(info->dwLineDeviceID, 0u);
    EXPECT_EQ(info->dwNumOwners, 1u);
    EXPECT_EQ(info->dwMediaMode, DWORD(LINEMEDIAMODE_INTERACTIVEVOICE));
    EXPECT_EQ(Text(info.block, info->dwCalledPartySize, info->dwCalledPartyOffset), "Bob");
    EXPECT_EQ(Text(info.block, info->dwDisplayableAddressSize, info->dwDisplayableAddressOffset), "555-1234");
    EXPECT_EQ(Text(info.block, info->dwAppNameSize, info->dwAppNameOffset), "Kestrium");

    LINEDEVSTATUS status{};
    status.dwTotalSize = sizeof status;
    ASSERT_EQ(lineGetLineDevStatus(line, &status), 0);
    EXPECT_EQ(status.dwNumActiveCalls, 1u);
    EXPECT_EQ(status.dwNumOnHoldCalls + status.dwNumOnHoldPendCalls, 0u);

    // The far end stays on the line until someone hangs up.
    EXPECT_TRUE(States(Pump(60000)).empty());
    const LONG drop = lineDrop(call, nullptr, 0);
    ASSERT_GT(drop, 0);
    messages = Pump();
    EXPECT_EQ(States(messages), std::vector<DWORD>{ LINECALLSTATE_IDLE });
    const Received* reply = Find(messages, LINE_REPLY);
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(reply->p1, DWORD_PTR(drop));
    EXPECT_EQ(lineDeallocateCall(call), 0);
    EXPECT_EQ(CallState(call), 0u);
    ASSERT_EQ(lineGetLineDevStatus(line, &status), 0);
    EXPECT_EQ(status.dwNumActiveCalls, 0u);
}

struct OutcomeCase {
    const char* outcome;
    DWORD outcomeCode;
    DWORD lastState;
    DWORD disconnectMode;
};

// Shown in test lists and failure messages.
void PrintTo(const OutcomeCase& c, std::ostream* out)
{
    *out << c.outcome;
}

class TapiDialPlan : public TapiFixture, public ::testing::WithParamInterface<OutcomeCase> { };

TEST_P(TapiDialPlan, EachOutcomeEndsWithItsStateAndDisconnectMode)
{
    const OutcomeCase& c = GetParam();
    PlaceUnderRule(c.outcomeCode, 2000, 1, "555 0000");
    std::vector<Received> all;
    for (int i = 0; i < 150; ++i)
        for (const auto& m : Pump(100))
            all.push_back(m);
    const auto states = States(all);
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.back(), c.lastState) << c.outcome;
    EXPECT_EQ(DisconnectMode(all), c.disconnectMode) << c.outcome;
    EXPECT_EQ(std::count(states.begin(), states.end(), DWORD(LINECALLSTATE_CONNECTED)), 0);
}

INSTANTIATE_TEST_SUITE_P(Outcomes, TapiDialPlan,
    ::testing::Values(
        OutcomeCase{ "busy", TAPISIM_OUTCOME_BUSY, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_BUSY },
        OutcomeCase{
            "noanswer", TAPISIM_OUTCOME_NOANSWER, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NOANSWER },
        OutcomeCase{ "badaddress", TAPISIM_OUTCOME_BADADDRESS, LINECALLSTATE_DISCONNECTED,
            LINEDISCONNECTMODE_BADADDRESS },
        OutcomeCase{
            "reject", TAPISIM_OUTCOME_REJECT, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_REJECT }),
    [](const auto& info) { return testing_support::CaseName(info.param.outcome); });

TEST_F(TapiCalls, BusyNumberShowsBusyBeforeTheExchangeReleasesIt)
{
    const HCALL call = PlaceUnderRule(TAPISIM_OUTCOME_BUSY, 0, 0, "2125550000");
    Pump(3000);
    EXPECT_EQ(CallState(call), DWORD(LINECALLSTATE_BUSY));
    LINECALLSTATUS status{};
    status.dwTotalSize = sizeof status;
    ASSERT_EQ(lineGetCallStatus(call, &status), 0);
    EXPECT_EQ(status.dwCallStateMode, DWORD(LINEBUSYMODE_STATION));
    ASSERT_GT(lineDrop(call, nullptr, 0), 0);
    EXPECT_EQ(States(Pump()), std::vector<DWORD>{ LINECALLSTATE_IDLE });
}

TEST_F(TapiCalls, NoAnswerTimeOutOfTheCallParametersEndsALongRingback)
{
    const HCALL call = PlaceUnderRule(TAPISIM_OUTCOME_ANSWER, 30000, 0);
    Pump(5000);
    EXPECT_EQ(CallState(call), DWORD(LINECALLSTATE_RINGBACK));
    const auto messages = Pump(10000);
    EXPECT_EQ(DisconnectMode(messages), DWORD(LINEDISCONNECTMODE_NOANSWER));
}

TEST_F(TapiCalls, ManualRuleWaitsForTheFarEndToAnswerOrRefuse)
{
    const HCALL call = PlaceUnderRule(TAPISIM_OUTCOME_MANUAL, 0, 2);
    Pump(3000);
    EXPECT_EQ(CallState(call), DWORD(LINECALLSTATE_RINGBACK));
    ASSERT_EQ(tapisimAnswerDialled(2), TAPISIM_OK);
    EXPECT_EQ(States(Pump()), std::vector<DWORD>{ LINECALLSTATE_CONNECTED });
    EXPECT_EQ(tapisimAnswerDialled(2), TAPISIM_E_NOCALL);
    EXPECT_EQ(tapisimRefuseDialled(0), TAPISIM_E_NOCALL);
}

TEST_F(TapiCalls, SecondCallOnABusyLineIsRefused)
{
    const HLINE line = OpenLine(0);
    HCALL first = 0, second = 0;
    ASSERT_GT(MakeCall(line, first, "5551234"), 0);
    EXPECT_EQ(MakeCall(line, second, "5559999"), LINEERR_INUSE);
    EXPECT_EQ(MakeCall(line, second, ""), LINEERR_INVALADDRESS);
    EXPECT_EQ(lineMakeCallA(line, nullptr, "5551234", 0, nullptr), LINEERR_INVALPOINTER);
}

TEST_F(TapiCalls, IncomingCallRingsThreeTimesAndIsAnswered)
{
    OpenLine(0, 0x77);
    TAPISIM_CALLER caller{ "2125550100", "Alice Example", 0, 0, 0 };
    ASSERT_EQ(tapisimRing(0, &caller), TAPISIM_OK);
    auto messages = Pump();
    ASSERT_GE(messages.size(), 3u);
    EXPECT_EQ(messages[0].message, DWORD(LINE_APPNEWCALL));
    EXPECT_EQ(messages[0].instance, 0x77u);
    EXPECT_EQ(messages[0].p3, DWORD_PTR(LINECALLPRIVILEGE_OWNER));
    const HCALL call = static_cast<HCALL>(messages[0].p2);
    EXPECT_EQ(messages[1].message, DWORD(LINE_CALLSTATE));
    EXPECT_EQ(messages[1].p1, DWORD_PTR(LINECALLSTATE_OFFERING));
    EXPECT_EQ(messages[2].message, DWORD(LINE_LINEDEVSTATE));
    EXPECT_EQ(messages[2].p1, DWORD_PTR(LINEDEVSTATE_RINGING));
    EXPECT_EQ(messages[2].p3, 0u);
    for (DWORD count = 1; count <= 2; ++count) {
        messages = Pump(6000);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].p3, DWORD_PTR(count));
    }

    Info info = CallInfo(call);
    EXPECT_EQ(info->dwOrigin, DWORD(LINECALLORIGIN_EXTERNAL));
    EXPECT_EQ(info->dwCallerIDFlags, DWORD(LINECALLPARTYID_NAME | LINECALLPARTYID_ADDRESS));
    EXPECT_EQ(Text(info.block, info->dwCallerIDSize, info->dwCallerIDOffset), "2125550100");
    EXPECT_EQ(Text(info.block, info->dwCallerIDNameSize, info->dwCallerIDNameOffset), "Alice Example");

    const LONG answer = lineAnswer(call, nullptr, 0);
    ASSERT_GT(answer, 0);
    EXPECT_EQ(States(Pump()), std::vector<DWORD>{ LINECALLSTATE_ACCEPTED });
    messages = Pump(500);
    EXPECT_EQ(States(messages), std::vector<DWORD>{ LINECALLSTATE_CONNECTED });
    const Received* reply = Find(messages, LINE_REPLY);
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(reply->p1, DWORD_PTR(answer));
    EXPECT_EQ(reply->p2, 0u);
    EXPECT_EQ(Find(Pump(20000), LINE_LINEDEVSTATE), nullptr) << "no more rings once answered";
    EXPECT_EQ(lineAnswer(call, nullptr, 0), LINEERR_INVALCALLSTATE);
}

// A program written against TAPI tests the feature bits by their published values: ANSWER 0x4,
// DROP 0x80, GENERATEDIGITS 0x200, GENERATETONE 0x400, SETTERMINAL 0x800000 (0x100 would be
// GATHERDIGITS, which the line does not offer). The reason of a direct call is DIRECT (1).
TEST_F(TapiCalls, CallFeaturesAndReasonUseTapisValues)
{
    const HLINE line = OpenLine(0);
    const HCALL call = IncomingCall(0, line, TAPISIM_CALLER{ "5550100", "X", 0, 0, 0 });
    LINECALLSTATUS status{};
    status.dwTotalSize = sizeof status;
    ASSERT_EQ(lineGetCallStatus(call, &status), 0);
    EXPECT_EQ(status.dwCallFeatures, 0x4u | 0x80u);
    EXPECT_EQ(CallInfo(call)->dwReason, 0x1u);
    ASSERT_GT(lineAnswer(call, nullptr, 0), 0);
    Pump(500);
    ASSERT_EQ(lineGetCallStatus(call, &status), 0);
    // DROP, GENERATEDIGITS, GENERATETONE, SETTERMINAL; BLINDTRANSFER, HOLD, SETUPCONF and
    // SETUPTRANSFER on a voice line.
    EXPECT_EQ(
        status.dwCallFeatures, 0x80u | 0x200u | 0x400u | 0x800000u | 0x8u | 0x800u | 0x1000000u | 0x2000000u);
    EXPECT_EQ(LINETRANSFERMODE_TRANSFER | LINETRANSFERMODE_CONFERENCE, 0x3);
    EXPECT_EQ(LINECALLFEATURE_ADDTOCONF | LINECALLFEATURE_COMPLETETRANSF | LINECALLFEATURE_DIAL, 0x62);
    EXPECT_EQ(LINECALLFEATURE_REMOVEFROMCONF, 0x40000);
    EXPECT_EQ(LINECALLREASON_UNAVAIL, 0x800) << "0x1000 is INTRUDE";
}

TEST_F(TapiCalls, CallerWhoGivesUpLeavesAnIdleCall)
{
    const HLINE line = OpenLine(3);
    const HCALL call = IncomingCall(3, line, TAPISIM_CALLER{ "5550100", nullptr, 0, 2, 0 });
    EXPECT_EQ(Find(Pump(6000), LINE_LINEDEVSTATE)->p3, 1u);
    const auto messages = Pump(6000);
    EXPECT_EQ(States(messages), std::vector<DWORD>{ LINECALLSTATE_IDLE });
    EXPECT_EQ(Find(messages, LINE_LINEDEVSTATE), nullptr);
    Info info = CallInfo(call);
    EXPECT_EQ(info->dwCallerIDFlags, DWORD(LINECALLPARTYID_ADDRESS));
    EXPECT_EQ(lineAnswer(call, nullptr, 0), LINEERR_INVALCALLSTATE);
    EXPECT_EQ(lineDeallocateCall(call), 0);
    EXPECT_EQ(lineDeallocateCall(call), LINEERR_INVALCALLHANDLE);
}

TEST_F(TapiCalls, CallerIdCanBeBlockedOrOutOfArea)
{
    const HLINE line = OpenLine(0);
    const HCALL blocked
        = IncomingCall(0, line, TAPISIM_CALLER{ nullptr, nullptr, TAPISIM_CALLER_BLOCKED, 0, 0 });
    EXPECT_EQ(CallInfo(blocked)->dwCallerIDFlags, DWORD(LINECALLPARTYID_BLOCKED));
    EXPECT_EQ(tapisimRing(0, nullptr), TAPISIM_E_BUSY);
    const HLINE other = OpenLine(1);
    const HCALL away
        = IncomingCall(1, other, TAPISIM_CALLER{ nullptr, nullptr, TAPISIM_CALLER_OUTOFAREA, 0, 0 });
    EXPECT_EQ(CallInfo(away)->dwCallerIDFlags, DWORD(LINECALLPARTYID_OUTOFAREA));
}

TEST_F(TapiCalls, DroppingAnOfferedCallEndsIt)
{
    const HLINE line = OpenLine(0);
    const HCALL call = IncomingCall(0, line, TAPISIM_CALLER{ "5550100", "X", 0, 0, 0 });
    ASSERT_GT(lineDrop(call, nullptr, 0), 0);
    EXPECT_EQ(States(Pump()), std::vector<DWORD>{ LINECALLSTATE_IDLE });
    EXPECT_EQ(lineDrop(call, nullptr, 0), LINEERR_INVALCALLSTATE) << "a dropped call cannot be dropped again";
    EXPECT_EQ(lineDeallocateCall(call), 0);
    EXPECT_EQ(lineDrop(call, nullptr, 0), LINEERR_INVALCALLHANDLE);
}

TEST_F(TapiCalls, OwnerCannotDeallocateALiveCall)
{
    const HLINE line = OpenLine(0);
    const HCALL call = ConnectedCall(line);
    EXPECT_EQ(lineDeallocateCall(call), LINEERR_INVALCALLSTATE);
    EXPECT_EQ(lineClose(line), 0);
    EXPECT_EQ(CallState(call), 0u) << "closing the line ended the call and freed its handle";
}

TEST_F(TapiCalls, NewCallsListsTheCallsOfALineOpenedLater)
{
    const HLINE first = OpenLine(0);
    const HCALL call = ConnectedCall(first);
    HLINE second = 0;
    ASSERT_EQ(lineOpenA(m_lineApp, 0, &second, m_version, 0, 2, LINECALLPRIVILEGE_MONITOR, 0, nullptr), 0);
    std::vector<unsigned char> block(1024);
    auto* list = reinterpret_cast<LINECALLLIST*>(block.data());
    list->dwTotalSize = 1024;
    ASSERT_EQ(lineGetNewCalls(second, 0, LINECALLSELECT_LINE, list), 0);
    ASSERT_EQ(list->dwCallsNumEntries, 1u);
    HCALL monitored = 0;
    std::memcpy(&monitored, block.data() + list->dwCallsOffset, sizeof monitored);
    EXPECT_NE(monitored, call);
    EXPECT_EQ(CallState(monitored), DWORD(LINECALLSTATE_CONNECTED));
    EXPECT_EQ(CallInfo(monitored)->dwNumMonitors, 1u);
    EXPECT_EQ(lineDrop(monitored, nullptr, 0), LINEERR_NOTOWNER);
    EXPECT_EQ(lineDeallocateCall(monitored), 0);
}

TEST_F(TapiCalls, DigitsEndWithLineGenerateAfterTheirDurationAndAreDetectedAtTheFarEnd)
{
    const HLINE line = OpenLine(0, 0x99);
    const HCALL call = ConnectedCall(line);
    ASSERT_EQ(lineGenerateDigitsA(call, LINEDIGITMODE_DTMF, "159#", 0), 0);
    EXPECT_EQ(Find(Pump(700), LINE_GENERATE), nullptr) << "four digits of 100 ms with pauses take 800 ms";
    const auto messages = Pump(200);
    const Received* done = Find(messages, LINE_GENERATE);
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->device, call);
    EXPECT_EQ(done->instance, 0x99u);
    EXPECT_EQ(done->p1, DWORD_PTR(LINEGENERATETERM_DONE));
    Pump(100);
    char digits[32] = {};
    ASSERT_EQ(tapisimGetDetectedDigits(0, digits, sizeof digits), TAPISIM_OK);
    EXPECT_STREQ(digits, "159#");

    ASSERT_EQ(lineGenerateDigitsA(call, LINEDIGITMODE_DTMF, "!", 0), 0);
    EXPECT_NE(Find(Pump(500), LINE_GENERATE), nullptr);
    char log[256] = {};
    ASSERT_EQ(tapisimGetGeneratedLog(0, log, sizeof log), TAPISIM_OK);
    EXPECT_EQ(std::string(log), "digits 159#\nflash\n");
}

TEST_F(TapiCalls, DigitGenerationChecksItsArguments)
{
    const HLINE line = OpenLine(0);
    HCALL call = 0;
    ASSERT_GT(MakeCall(line, call, "5551234"), 0);
    Pump();
    EXPECT_EQ(lineGenerateDigitsA(call, LINEDIGITMODE_DTMF, "1", 0), LINEERR_INVALCALLSTATE);
    call = ConnectedCall(OpenLine(1));
    EXPECT_EQ(lineGenerateDigitsA(call, LINEDIGITMODE_DTMF, "12x", 0), LINEERR_INVALDIGITS);
    EXPECT_EQ(lineGenerateDigitsA(call, LINEDIGITMODE_DTMF, "", 0), LINEERR_INVALDIGITS);
    EXPECT_EQ(lineGenerateDigitsA(call, LINEDIGITMODE_PULSE, "*", 0), LINEERR_INVALDIGITS);
    EXPECT_EQ(lineGenerateDigitsA(call, 0x40, "1", 0), LINEERR_INVALDIGITMODE);
    EXPECT_EQ(lineGenerateDigitsA(0x1234, LINEDIGITMODE_DTMF, "1", 0), LINEERR_INVALCALLHANDLE);
    ASSERT_EQ(lineGenerateDigitsA(call, LINEDIGITMODE_DTMF, "123", 0), 0);
    ASSERT_EQ(lineGenerateDigitsA(call, LINEDIGITMODE_DTMF, nullptr, 0), 0);
    const auto cancelMessages = Pump();
    const Received* cancelled = Find(cancelMessages, LINE_GENERATE);
    ASSERT_NE(cancelled, nullptr);
    EXPECT_EQ(cancelled->p1, DWORD_PTR(LINEGENERATETERM_CANCEL));
}

TEST_F(TapiCalls, BeepEndsWithLineGenerateAfterItsDuration)
{
    const HLINE line = OpenLine(4);
    const HCALL call = ConnectedCall(line);
    ASSERT_EQ(lineGenerateTone(call, LINETONEMODE_BEEP, 600, 0, nullptr), 0);
    EXPECT_EQ(Find(Pump(580), LINE_GENERATE), nullptr);
    const auto beepMessages = Pump(40);
    const Received* done = Find(beepMessages, LINE_GENERATE);
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->p1, DWORD_PTR(LINEGENERATETERM_DONE));
    char log[64] = {};
    ASSERT_EQ(tapisimGetGeneratedLog(4, log, sizeof log), TAPISIM_OK);
    EXPECT_STREQ(log, "tone beep 600\n");
    // The beep is in what the far end heard: 600 ms of a loud tone.
    const LONG count = tapisimGetHeardAudio(4, nullptr, 0);
    std::vector<int16_t> heard(static_cast<std::size_t>(count));
    tapisimGetHeardAudio(4, heard.data(), static_cast<DWORD>(heard.size()));
    const auto loud = std::count_if(heard.begin(), heard.end(), [](int16_t s) { return s > 3000; });
    EXPECT_GT(loud, 1000);

    EXPECT_EQ(lineGenerateTone(call, LINETONEMODE_CUSTOM, 100, 0, nullptr), LINEERR_INVALPOINTER);
    LINEGENERATETONE tones[4] = { { 440, 0, 0, 0 }, { 480, 0, 0, 0 }, { 0, 0, 0, 0 }, { 0, 0, 0, 0 } };
    EXPECT_EQ(lineGenerateTone(call, LINETONEMODE_CUSTOM, 100, 4, tones), LINEERR_INVALTONELIST);
    EXPECT_EQ(lineGenerateTone(call, 0x400, 100, 0, nullptr), LINEERR_INVALTONEMODE);
    EXPECT_EQ(lineGenerateTone(call, LINETONEMODE_CUSTOM, 100, 2, tones), 0);
}

TEST_F(TapiCalls, BeepThenDropReachesTheFarEndBeforeTheLineIsReleased)
{
    const HLINE line = OpenLine(0);
    const HCALL call = IncomingCall(0, line, TAPISIM_CALLER{ "5550100", nullptr, 0, 0, 0 });
    ASSERT_GT(lineAnswer(call, nullptr, 0), 0);
    Pump(500);
    ASSERT_EQ(lineGenerateTone(call, LINETONEMODE_BEEP, 500, 0, nullptr), 0);
    const LONG drop = lineDrop(call, nullptr, 0);
    ASSERT_GT(drop, 0);
    EXPECT_TRUE(States(Pump(100)).empty());
    const auto messages = Pump(500);
    ASSERT_GE(messages.size(), 3u);
    EXPECT_EQ(messages[0].message, DWORD(LINE_GENERATE));
    EXPECT_EQ(messages[0].p1, DWORD_PTR(LINEGENERATETERM_DONE));
    EXPECT_EQ(States(messages), std::vector<DWORD>{ LINECALLSTATE_IDLE });
    EXPECT_EQ(Find(messages, LINE_REPLY)->p1, DWORD_PTR(drop));
}

// The far end may hang up whatever state the call is in; the exchange answers each correctly.
struct HangUpCase {
    const char* name;
    DWORD advanceMs; // after placing the call
    bool incoming;
    bool answer;
    DWORD before; // the state the call is in when the far end hangs up
    DWORD expected; // the state the hang-up produces
};

// Shown in test lists and failure messages.
void PrintTo(const HangUpCase& c, std::ostream* out)
{
    *out << c.name;
}

class TapiHangUp : public TapiFixture, public ::testing::WithParamInterface<HangUpCase> { };

TEST_P(TapiHangUp, FarEndHangsUpInEveryState)
{
    const HangUpCase& c = GetParam();
    TAPISIM_DIALRULE busy{ "666*", TAPISIM_OUTCOME_BUSY, 0, 0 };
    tapisimAddDialRule(&busy);
    const HLINE line = OpenLine(0);
    HCALL call = 0;
    if (c.incoming) {
        call = IncomingCall(0, line, TAPISIM_CALLER{ "1", nullptr, 0, 0, 0 });
        if (c.answer)
            lineAnswer(call, nullptr, 0);
    } else {
        ASSERT_GT(MakeCall(line, call, c.answer ? "6660000" : "5551234"), 0);
    }
    Pump(c.advanceMs);
    ASSERT_EQ(CallState(call), c.before) << c.name;
    ASSERT_EQ(tapisimHangUp(0), TAPISIM_OK) << c.name;
    EXPECT_EQ(States(Pump()).back(), c.expected) << c.name;
    EXPECT_EQ(tapisimHangUp(0), TAPISIM_E_NOCALL) << c.name;
    if (c.expected == LINECALLSTATE_DISCONNECTED) {
        ASSERT_GT(lineDrop(call, nullptr, 0), 0);
        EXPECT_EQ(States(Pump()).back(), DWORD(LINECALLSTATE_IDLE));
    }
    EXPECT_EQ(lineDeallocateCall(call), 0);
    EXPECT_TRUE(States(Pump(70000)).empty()) << "nothing of the call is left to happen";
}

INSTANTIATE_TEST_SUITE_P(States, TapiHangUp,
    ::testing::Values(
        HangUpCase{ "dialtone", 0, false, false, LINECALLSTATE_DIALTONE, LINECALLSTATE_DISCONNECTED },
        HangUpCase{ "dialing", 250, false, false, LINECALLSTATE_DIALING, LINECALLSTATE_DISCONNECTED },
        HangUpCase{ "proceeding", 900, false, false, LINECALLSTATE_PROCEEDING, LINECALLSTATE_DISCONNECTED },
        HangUpCase{ "ringback", 2000, false, false, LINECALLSTATE_RINGBACK, LINECALLSTATE_DISCONNECTED },
        HangUpCase{ "connected", 6000, false, false, LINECALLSTATE_CONNECTED, LINECALLSTATE_DISCONNECTED },
        HangUpCase{ "busy", 2000, false, true, LINECALLSTATE_BUSY, LINECALLSTATE_DISCONNECTED },
        HangUpCase{ "offering", 0, true, false, LINECALLSTATE_OFFERING, LINECALLSTATE_IDLE },
        HangUpCase{ "accepted", 0, true, true, LINECALLSTATE_ACCEPTED, LINECALLSTATE_IDLE },
        HangUpCase{ "answered", 1000, true, true, LINECALLSTATE_CONNECTED, LINECALLSTATE_DISCONNECTED }),
    [](const auto& info) { return testing_support::CaseName(info.param.name); });

TEST_F(TapiCalls, HangUpOfADisconnectedOrMissingCallIsRefused)
{
    EXPECT_EQ(tapisimHangUp(0), TAPISIM_E_NOCALL);
    EXPECT_EQ(tapisimHangUp(42), TAPISIM_E_BADLINE);
    const HLINE line = OpenLine(0);
    ConnectedCall(line);
    ASSERT_EQ(tapisimHangUp(0), TAPISIM_OK);
    EXPECT_EQ(tapisimHangUp(0), TAPISIM_E_NOCALL);
}

TEST_F(TapiCalls, FarEndHangsUpAfterTheTimeItWasGiven)
{
    TAPISIM_DIALRULE rule{ "*", TAPISIM_OUTCOME_ANSWER, 1000, 5000 };
    ASSERT_EQ(tapisimAddDialRule(&rule), TAPISIM_OK);
    const HLINE line = OpenLine(0);
    const HCALL call = ConnectedCall(line);
    EXPECT_TRUE(States(Pump(4000)).empty());
    const auto messages = Pump(1500);
    EXPECT_EQ(States(messages), std::vector<DWORD>{ LINECALLSTATE_DISCONNECTED });
    EXPECT_EQ(DisconnectMode(messages), DWORD(LINEDISCONNECTMODE_NORMAL));
    (void)call;
}

TEST_F(TapiCalls, LineConfigurationTimeOutAppliesWhenTheCallParametersGiveNone)
{
    auto& hive = platform::RegistryHive::CurrentUser();
    const char* key = "SOFTWARE\\Kestrium Telephony\\Lines\\Zo-Linka Line 1";
    ASSERT_TRUE(hive.Set(key, "No Answer Timeout", platform::RegValue::Number(5)));
    TAPISIM_DIALRULE rule{ "*", TAPISIM_OUTCOME_ANSWER, 30000, 0 };
    ASSERT_EQ(tapisimAddDialRule(&rule), TAPISIM_OK);
    const HLINE line = OpenLine(0);
    HCALL call = 0;
    ASSERT_GT(lineMakeCallA(line, &call, "5551234", 0, nullptr), 0);
    Pump(5000);
    EXPECT_EQ(CallState(call), DWORD(LINECALLSTATE_RINGBACK));
    EXPECT_EQ(DisconnectMode(Pump(2000)), DWORD(LINEDISCONNECTMODE_NOANSWER));
    hive.DeleteValue(key, "No Answer Timeout");
}

// Directed pickup between lines of the exchange: a call offered on line 2 is answered on line 1,
// connected at once with the caller's id and reason PICKUP, and line 2's owner sees it end as
// picked up. Nothing ringing, an unknown line, another address, group pickup and a busy line are
// refused.
TEST_F(TapiCalls, ACallOfferedOnAnotherLineIsPickedUp)
{
    const HLINE here = OpenLine(0);
    const HLINE there = OpenLine(1, 0x52);
    HCALL picked = 0;
    EXPECT_EQ(linePickupA(here, 0, &picked, "Zo-Linka Line 2", nullptr), LINEERR_OPERATIONFAILED);
    EXPECT_EQ(linePickupA(here, 0, &picked, "Zo-Linka Line 9", nullptr), LINEERR_OPERATIONUNAVAIL);
    EXPECT_EQ(linePickupA(here, 1, &picked, "Zo-Linka Line 2", nullptr), LINEERR_INVALADDRESSID);
    EXPECT_EQ(linePickupA(here, 0, &picked, nullptr, "sales"), LINEERR_OPERATIONUNAVAIL);
    EXPECT_EQ(linePickupA(here, 0, nullptr, "Zo-Linka Line 2", nullptr), LINEERR_INVALPOINTER);

    const HCALL offered = IncomingCall(1, there, TAPISIM_CALLER{ "5550100", "Caller", 0, 0, 0 });
    const LONG request = linePickupA(here, 0, &picked, "Zo-Linka Line 2", nullptr);
    ASSERT_GT(request, 0);
    const auto messages = Pump();
    const Received* reply = Find(messages, LINE_REPLY);
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(reply->p1, DWORD_PTR(request));
    EXPECT_EQ(reply->p2, 0u);
    ASSERT_NE(picked, 0u);
    EXPECT_EQ(CallState(picked), DWORD(LINECALLSTATE_CONNECTED));
    EXPECT_EQ(CallState(offered), DWORD(LINECALLSTATE_DISCONNECTED));
    EXPECT_EQ(DisconnectMode(messages), DWORD(LINEDISCONNECTMODE_PICKUP));
    Info info = CallInfo(picked);
    EXPECT_EQ(info->dwReason, DWORD(LINECALLREASON_PICKUP));
    EXPECT_EQ(info->dwOrigin, DWORD(LINECALLORIGIN_EXTERNAL));
    EXPECT_EQ(Text(info.block, info->dwCallerIDSize, info->dwCallerIDOffset), "5550100");
    EXPECT_EQ(Text(info.block, info->dwCallerIDNameSize, info->dwCallerIDNameOffset), "Caller");

    HCALL second = 0;
    EXPECT_EQ(linePickupA(here, 0, &second, "Zo-Linka Line 2", nullptr), LINEERR_INUSE);
    ASSERT_GT(lineDrop(picked, nullptr, 0), 0);
    Pump();
    EXPECT_EQ(CallState(picked), DWORD(LINECALLSTATE_IDLE));
}
