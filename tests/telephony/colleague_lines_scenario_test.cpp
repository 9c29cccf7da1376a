// Colleagues' lines in the program: which contact numbers are watched, on which line, and what
// becomes of the states when the service reports them, the list changes or the lines close.
// The SIP line has no server here (nothing answers its subscriptions); the service's side is
// tested against SIPp and Kamailio (SipWatch.*, OfficePresence.*).
#include "support/telephony_scenario.h"

#include "telephony/colleague_lines.h"

namespace {

using State = ColleagueLines::State;

TEST(ColleagueNumbers, ExtensionsAndSipAddressesAreWatchedTelephoneNumbersAreNot)
{
    for (const char* number :
        { "201", " 20-1 ", "12", "123456", "sip:201@pbx", "sips:ann@pbx", "ann@pbx.example" })
        EXPECT_TRUE(ColleagueLines::IsColleagueNumber(number)) << number;
    for (const char* number :
        { "", "7", "1234567", "+49 30 1234", "5551234567", "T201", "sip:", "@pbx", "ann@", "201\nsip:x@pbx" })
        EXPECT_FALSE(ColleagueLines::IsColleagueNumber(number)) << number;
    EXPECT_FALSE(ColleagueLines::IsColleagueNumber("sip:" + std::string(TAPIWATCH_MAXADDRESS, 'a') + "@pbx"));
}

class ColleagueLinesScenario : public TelephonyScenario {
protected:
    void SetUp() override
    {
        TelephonyScenario::SetUp();
        std::string config;
        for (int i = 1; i <= 4; ++i)
            config += "[line]\nname = Zo-Linka Line " + std::to_string(i) + "\n";
        config += "[line]\nname = IP Line 1\nkind = sip\nuser = 200\ndomain = 127.0.0.1:9\n"
                  "local-address = 127.0.0.1\nregister = no\n"
                  "[line]\nname = IP Line 2\nkind = ip\n[line]\nname = Data Modem\nkind = modem\n";
        ASSERT_EQ(tapisimConfigure(config.c_str()), TAPISIM_OK) << tapisimLastError();
        Colleagues().SetChangeHandler([this] { ++m_changes; });
    }
    ColleagueLines& Colleagues() { return m_manager->Colleagues(); }
    HLINE SipLine()
    {
        LineSlot* slot = m_manager->FindSlotByDevice(4);
        return slot ? slot->GetLine() : 0;
    }
    int m_changes = 0;
};

TEST_F(ColleagueLinesScenario, TheSipLineWatchesAndReportedStatesFollowTheList)
{
    Colleagues().SetNumbers({ "201", "5551234567", "202", "201" });
    Start();
    ASSERT_NE(SipLine(), 0u);
    // The default line (analog) cannot watch; the SIP line took the list: 201 and 202, each once.
    DWORD state = 0xFF;
    EXPECT_EQ(tapiGetWatchedLine(SipLine(), 1, &state), 0);
    EXPECT_EQ(state, DWORD(TAPIWATCH_UNKNOWN));
    EXPECT_EQ(tapiGetWatchedLine(SipLine(), 2, &state), LINEERR_INVALPARAM)
        << "the telephone number is not watched";
    EXPECT_EQ(m_changes, 0) << "every state is still unknown: nothing to show again";

    // Reports reach the state through the line manager's callback.
    const int before = m_changes;
    Colleagues().OnDevSpecific(SipLine(), TAPIDEVSPECIFIC_WATCHEDLINE, 1, TAPIWATCH_RINGING);
    EXPECT_EQ(Colleagues().StateOf(" 202 "), State::Ringing);
    EXPECT_EQ(Colleagues().StateOf("201"), State::Unknown);
    EXPECT_EQ(m_changes, before + 1);
    // Another line's, another kind's or an index beyond the list change nothing.
    Colleagues().OnDevSpecific(Slot(0).GetLine(), TAPIDEVSPECIFIC_WATCHEDLINE, 0, TAPIWATCH_INCALL);
    Colleagues().OnDevSpecific(SipLine(), 7, 0, TAPIWATCH_INCALL);
    Colleagues().OnDevSpecific(SipLine(), TAPIDEVSPECIFIC_WATCHEDLINE, 9, TAPIWATCH_INCALL);
    EXPECT_EQ(Colleagues().StateOf("201"), State::Unknown);

    // A new list takes the states the service has for it (its own, not the report made up above);
    // the list is not sent again when it did not change.
    Colleagues().SetNumbers({ "202", "203" });
    EXPECT_EQ(Colleagues().StateOf("202"), State::Unknown);
    EXPECT_EQ(tapiGetWatchedLine(SipLine(), 1, &state), 0) << "203 is watched";
    const int afterList = m_changes;
    Colleagues().SetNumbers({ "202", "203", "5551234567" });
    EXPECT_EQ(m_changes, afterList);

    // Closed lines know nothing.
    m_manager->CloseAllLines();
    EXPECT_EQ(Colleagues().StateOf("202"), State::Unknown);
}

} // namespace
