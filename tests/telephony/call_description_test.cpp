#include "telephony/call_description.h"

#include <gtest/gtest.h>

namespace {

CallParty Incoming(DWORD flags, std::string_view name, std::string_view number)
{
    CallParty party;
    party.origin = LINECALLORIGIN_EXTERNAL;
    party.callerIdFlags = flags;
    party.callerName = name;
    party.callerNumber = number;
    return party;
}

TEST(CallText, BlockedCallerWithNumberShowsBothWithoutBlank)
{
    const CallParty party = Incoming(LINECALLPARTYID_BLOCKED | LINECALLPARTYID_ADDRESS, "", "5551234");
    EXPECT_EQ(CallText::PartyText(party), "[Blocked],5551234");
}

TEST(CallText, NameReplacesPlaceholdersAndNumberFollows)
{
    const CallParty party
        = Incoming(LINECALLPARTYID_OUTOFAREA | LINECALLPARTYID_NAME | LINECALLPARTYID_ADDRESS, "Bob", "  42");
    EXPECT_EQ(CallText::PartyText(party), "Bob,42");
}

TEST(CallText, BlankCallerNumberAddsNothing)
{
    CallDescription out;
    out.text = CallText::PartyText(Incoming(LINECALLPARTYID_ADDRESS, "", "   "));
    CallText::AppendState(LINECALLSTATE_OFFERING, 0, LINECALLORIGIN_EXTERNAL, 0, {}, out);
    EXPECT_EQ(out.text, "[No data] (Incoming)");
    EXPECT_EQ(out.image, CallImage::kIncome);
}

TEST(CallText, PlacedCallShowsCalledPartyAndAddress)
{
    CallParty party;
    party.origin = LINECALLORIGIN_OUTBOUND;
    party.calledParty = "Ann";
    party.displayableAddress = "+1 212-555";
    EXPECT_EQ(CallText::PartyText(party), "Ann, +1 212-555");
    party.calledParty = {};
    EXPECT_EQ(CallText::PartyText(party), "+1 212-555");
}

struct StateCase {
    const char* name;
    DWORD state;
    DWORD mode;
    DWORD origin;
    DWORD media;
    CallRole role;
    const char* text;
    int image;
};

void PrintTo(const StateCase& c, std::ostream* os)
{
    *os << '"' << c.text << "\" with image " << c.image;
}

class StateTextTest : public ::testing::TestWithParam<StateCase> { };

TEST_P(StateTextTest, AppendsTextAndImage)
{
    const StateCase& c = GetParam();
    CallDescription out;
    out.text = "x";
    CallText::AppendState(c.state, c.mode, c.origin, c.media, c.role, out);
    EXPECT_EQ(out.text, std::string("x") + c.text);
    EXPECT_EQ(out.image, c.image);
    EXPECT_EQ(out.state, c.state);
}

constexpr DWORD kOut = LINECALLORIGIN_OUTBOUND;

INSTANTIATE_TEST_SUITE_P(States, StateTextTest,
    ::testing::Values(StateCase{ "Idle", LINECALLSTATE_IDLE, 0, kOut, 0, {}, " (Idle)", 0 },
        StateCase{ "Offering", LINECALLSTATE_OFFERING, 0, kOut, 0, {}, " (Incoming)", 7 },
        StateCase{ "Accepted", LINECALLSTATE_ACCEPTED, 0, kOut, 0, {}, " (Accepted)", 7 },
        StateCase{ "Dialtone", LINECALLSTATE_DIALTONE, 0, kOut, 0, {}, " (Dialtone)", 4 },
        StateCase{ "Dialing", LINECALLSTATE_DIALING, 0, kOut, 0, {}, " (Dialing...)", 3 },
        StateCase{ "Ringback", LINECALLSTATE_RINGBACK, 0, kOut, 0, {}, " (Ringing...)", 10 },
        StateCase{ "Busy", LINECALLSTATE_BUSY, 0, kOut, 0, {}, " (Busy)", 2 },
        StateCase{ "VoiceMailCall", LINECALLSTATE_CONNECTED, 0, kOut, 0, { true, true }, " (Voicemail)", 25 },
        StateCase{ "RecordedCall", LINECALLSTATE_CONNECTED, 0, kOut, 0, { true, false }, " (Recording)", 11 },
        StateCase{ "RecordingPaused", LINECALLSTATE_CONNECTED, 0, kOut, 0, { true, false, true },
            " (Recording paused)", 11 },
        StateCase{ "VoiceMailPaused", LINECALLSTATE_CONNECTED, 0, kOut, 0, { true, true, true },
            " (Voicemail paused)", 25 },
        StateCase{
            "Conference", LINECALLSTATE_CONNECTED, 0, LINECALLORIGIN_CONFERENCE, 0, {}, " (Conference)", 11 },
        StateCase{ "G3Fax", LINECALLSTATE_CONNECTED, 0, kOut, LINEMEDIAMODE_G3FAX, {}, " (Fax)", 5 },
        StateCase{ "G4Fax", LINECALLSTATE_CONNECTED, 0, kOut, LINEMEDIAMODE_G4FAX, {}, " (Fax)", 5 },
        StateCase{ "Connected", LINECALLSTATE_CONNECTED, 0, kOut, 0, {}, " (Connected)", 11 },
        StateCase{ "Proceeding", LINECALLSTATE_PROCEEDING, 0, kOut, 0, {}, " (Proceeding...)", 3 },
        StateCase{ "OnHold", LINECALLSTATE_ONHOLD, 0, kOut, 0, {}, " (On-Hold) ", 6 },
        StateCase{
            "OnHoldPendingConference", LINECALLSTATE_ONHOLDPENDCONF, 0, kOut, 0, {}, " (On-Hold) ", 6 },
        StateCase{
            "OnHoldPendingTransfer", LINECALLSTATE_ONHOLDPENDTRANSFER, 0, kOut, 0, {}, " (On-Hold) ", 12 },
        StateCase{ "Conferenced", LINECALLSTATE_CONFERENCED, 0, kOut, 0, {}, " (Conferenced)", 13 },
        StateCase{ "DisconnectedNormal", LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL, kOut, 0, {},
            " (Terminated)", 9 },
        StateCase{ "DisconnectedReject", LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_REJECT, kOut, 0, {},
            " (Rejected)", 9 },
        StateCase{ "DisconnectedBusy", LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_BUSY, kOut, 0, {},
            " (Busy)", 2 },
        StateCase{ "DisconnectedNoAnswer", LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NOANSWER, kOut, 0,
            {}, " (No-Answer)", 9 },
        StateCase{ "DisconnectedBadAddress", LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_BADADDRESS, kOut,
            0, {}, " (Bad address)", 9 },
        StateCase{ "DisconnectedNoDialtone", LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NODIALTONE, kOut,
            0, {}, " (No-Dialtone)", 8 },
        StateCase{
            "DisconnectedCanceled", LINECALLSTATE_DISCONNECTED, 0x8000, kOut, 0, {}, " (Canceled)", 9 },
        StateCase{ "DisconnectedUnknown", LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNKNOWN, kOut, 0, {},
            " (Disconnected)", 9 },
        StateCase{ "SpecialInfo", LINECALLSTATE_SPECIALINFO, 0, kOut, 0, {}, " (Unknown)", 14 },
        StateCase{ "Unknown", LINECALLSTATE_UNKNOWN, 0, kOut, 0, {}, " (Unknown)", 14 }),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace

namespace {

std::string OutcomeText(DWORD state, DWORD mode)
{
    CallOutcome outcome;
    return CallText::Outcome(state, mode, outcome) ? outcome.text : "(none)";
}

TEST(CallText, OutcomeOfADialledCallNamesBusyNoAnswerRefusalOrTheFailure)
{
    EXPECT_EQ(OutcomeText(LINECALLSTATE_BUSY, LINEBUSYMODE_STATION), "Busy");
    EXPECT_EQ(OutcomeText(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_BUSY), "Busy");
    EXPECT_EQ(OutcomeText(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NOANSWER), "No answer");
    EXPECT_EQ(OutcomeText(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_REJECT), "Refused");
    EXPECT_EQ(
        OutcomeText(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNREACHABLE), "Call failed: unreachable");
    EXPECT_EQ(OutcomeText(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_CONGESTION),
        "Call failed: network congestion");
    EXPECT_EQ(
        OutcomeText(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNKNOWN), "Call failed: unknown reason");
    EXPECT_EQ(OutcomeText(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL), "(none)");
    EXPECT_EQ(OutcomeText(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_PICKUP), "(none)");

    CallOutcome busy;
    ASSERT_TRUE(CallText::Outcome(LINECALLSTATE_BUSY, 0, busy));
    EXPECT_EQ(busy.image, CallImage::kBusy);
    busy.party = "Bea, 555";
    EXPECT_EQ(busy.RowText(), "Bea, 555 (Busy)");
    EXPECT_EQ(busy.StatusText(), "Bea, 555: Busy");
    busy.party.clear();
    EXPECT_EQ(busy.RowText(), "Busy");
}

TEST(CallText, DurationShowsMinutesAndSecondsThenHours)
{
    EXPECT_EQ(CallText::Duration(0), "0:00");
    EXPECT_EQ(CallText::Duration(42999), "0:42");
    EXPECT_EQ(CallText::Duration(725000), "12:05");
    EXPECT_EQ(CallText::Duration(3723000), "1:02:03");
}

} // namespace
