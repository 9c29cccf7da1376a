// What the call tree and the status bar show between call events: the outcome of a dialled call
// that failed, the running time of a connected call, and the once-a-second timer behind them.
#include "support/telephony_scenario.h"

#include "telephony/call_description.h"

namespace {

using Row = std::pair<std::string, int>;

class CallDisplayScenario : public TelephonyScenario {
protected:
    void SetUp() override
    {
        TelephonyScenario::SetUp();
        Start();
    }

    // The rows under the node of line `slot`, with their images.
    std::vector<Row> Rows(int slot) const
    {
        std::vector<Row> rows;
        for (const auto& line : m_window.tree.TopLevel())
            if (SlotOfTreeValue(line->value) == slot)
                for (const auto& child : line->children)
                    rows.emplace_back(child->text, child->image);
        return rows;
    }

    // Moves the exchange's clock, then runs what the display timer runs each second.
    void AdvanceAndTick(DWORD milliseconds)
    {
        Advance(milliseconds);
        m_manager->Tick();
    }
};

TEST_F(CallDisplayScenario, FailedDialledCallShowsItsOutcomeForAWhileAfterItHasGone)
{
    struct Case {
        const char* number;
        DWORD outcome;
        const char* text;
        int image;
    };
    const Case cases[] = {
        { "5551001", TAPISIM_OUTCOME_BUSY, "Busy", CallImage::kBusy },
        { "5551002", TAPISIM_OUTCOME_NOANSWER, "No answer", CallImage::kNoAnswer },
        { "5551003", TAPISIM_OUTCOME_REJECT, "Refused", CallImage::kNoAnswer },
        { "5551004", TAPISIM_OUTCOME_BADADDRESS, "Call failed: bad address", CallImage::kNoAnswer },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        AddDialRule(c.number, c.outcome, 1000);
        ASSERT_EQ(Slot(1).PlaceCall(c.number, c.number, "Bea", false), 1);
        Advance(4000);
        EXPECT_EQ(OnlyCall(1), 0u) << "the call itself is dropped and freed as soon as it failed";
        const std::string party = std::string("Bea, ") + c.number;
        EXPECT_EQ(Rows(1), std::vector<Row>{ Row(party + " (" + c.text + ")", c.image) });
        EXPECT_EQ(m_window.status, party + ": " + c.text);
        EXPECT_EQ(m_window.page, WindowPage::Calls) << "the keypad tab stays while the outcome shows";
        EXPECT_TRUE(m_manager->IsDisplayTimerRunning());

        AdvanceAndTick(LineSlot::kOutcomeShownMs - 4000 + 500);
        EXPECT_EQ(Rows(1).size(), 1u) << "still shown a few seconds after the call went";
        AdvanceAndTick(3500);
        EXPECT_TRUE(Rows(1).empty());
        EXPECT_EQ(m_window.status, "");
        EXPECT_EQ(m_window.page, WindowPage::Contacts) << "then back to the first tab, as at idle";
        EXPECT_FALSE(m_manager->IsDisplayTimerRunning()) << "no timer runs while nothing needs it";
    }
    EXPECT_EQ(LoggedCalls().Count(), 0u) << "a dialled call that never connected is not logged";
}

TEST_F(CallDisplayScenario, CallRefusedByTheLineShowsItsFailureBesideTheRingingCall)
{
    Ring(0, "5557777", "Bob Stone");
    EXPECT_EQ(Slot(0).PlaceCall("5551234", "5551234", "Ann", false), 0);
    ASSERT_EQ(m_prompter.messages.size(), 1u);
    EXPECT_EQ(m_prompter.messages[0].text, "Call failed: another phone off-hook.");
    EXPECT_EQ(Rows(0),
        (std::vector<Row>{ { "Bob Stone,5557777 (Incoming)", CallImage::kIncome },
            { "Ann, 5551234 (Call failed: another phone off-hook)", CallImage::kNoAnswer } }));
    EXPECT_EQ(m_window.status, "Ann, 5551234: Call failed: another phone off-hook");

    AdvanceAndTick(LineSlot::kOutcomeShownMs);
    EXPECT_EQ(Rows(0), (std::vector<Row>{ { "Bob Stone,5557777 (Incoming)", CallImage::kIncome } }));
    EXPECT_EQ(m_window.status, "Bob Stone,5557777 (Incoming)");
    EXPECT_EQ(m_window.page, WindowPage::Calls) << "a call still rings: the tab stays";
    EXPECT_FALSE(m_manager->IsDisplayTimerRunning()) << "a ringing call has no time running";
}

} // namespace
