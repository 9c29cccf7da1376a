// The contacts tab of seat 201 shows colleague 202's line through Kamailio's presence: idle, ringing
// when this seat calls it, in a call once the colleague answers, idle again after the hang-up; the
// speed-dial button of the colleague shows the same. The colleague is the real program in a process
// of its own.
#include "kestrium_seat.h"
#include "office_scenario.h"

#include "store/contact_store.h"
#include "store/redial_store.h"
#include "store/speed_dial_store.h"
#include "ui/panels/contact_tree_model.h"
#include "ui/panels/contacts_panel.h"

#include <QMenu>
#include <QPushButton>
#include <QTreeView>

#include <memory>

namespace {

using office_test::KestriumSeat;

class OfficeContactsTab : public office_test::OfficeScenario {
protected:
    void SetUp() override
    {
        OfficeScenario::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        m_contacts.Groups().Load(m_dir / "no-groups-file");
        ContactRecord colleague;
        colleague.SetFirstName("Colleague");
        colleague.SetLastName("Two");
        colleague.SetNumber(1, "202");
        colleague.SetDefaultNumberIndex(1);
        ASSERT_TRUE(m_contacts.Append(colleague));
        m_speedDials.SetSlot(0, colleague);
        m_panel = std::make_unique<ContactsPanel>(m_contacts, m_speedDials, m_redial, *m_manager, m_prompter);
        m_panel->resize(326, 420);
        m_panel->show();
        m_panel->FillContactTree(true);
        Start();
    }
    void TearDown() override
    {
        m_panel.reset();
        OfficeScenario::TearDown();
    }

    // What the contacts tab says of the colleague: the tooltip of the contact's row (the one
    // below the add-new item).
    std::string ContactState() const
    {
        return m_panel->Model()->index(1, 0).data(Qt::ToolTipRole).toString().toStdString();
    }
    bool Shows(const std::string& state) const
    {
        return ContactState() == state && m_panel->SpeedButton(0)->toolTip().toStdString() == state;
    }
    // The "Pick up" item heading the contact's menu and the speed-dial button's: enabled in both.
    bool PickupOffered() const
    {
        std::unique_ptr<QMenu> tree(m_panel->CreateTreeMenu(nullptr));
        std::unique_ptr<QMenu> speed(m_panel->CreateSpeedMenu(0, nullptr));
        const QAction* first = tree->actions().value(0);
        const QAction* speedFirst = speed->actions().value(0);
        EXPECT_TRUE(first && speedFirst && first->text() == "&Pick up" && speedFirst->text() == "&Pick up");
        return first && speedFirst && first->isEnabled() && speedFirst->isEnabled();
    }
    LineSlot& SeatSlot()
    {
        int index = 0;
        LineSlot* slot = m_manager->FindSlotByDevice(kSeatDevice, &index);
        EXPECT_NE(slot, nullptr);
        return *slot;
    }

    ContactStore m_contacts;
    SpeedDialStore m_speedDials{ m_contacts.Groups(), PhoneLabelStore() };
    RedialStore m_redial{ m_contacts.Groups(), PhoneLabelStore() };
    std::unique_ptr<ContactsPanel> m_panel;
};

TEST_F(OfficeContactsTab, ColleaguesLineGoesRingingBusyAndIdle)
{
    KestriumSeat colleague("202", "secret-202", m_server->Port());
    ASSERT_TRUE(colleague.Start()) << colleague.Output();
    EXPECT_EQ(ContactState(), "") << "nothing is known before the server said so";
    ASSERT_TRUE(RunUntil([&] { return Shows("Idle"); }, 8000)) << ContactState() << m_server->Log();
    const QModelIndex row = m_panel->Model()->index(1, 0);
    EXPECT_EQ(row.data().toString().toStdString(), "Colleague Two (Work)");
    EXPECT_FALSE(row.data(Qt::DecorationRole).value<QIcon>().isNull());

    ASSERT_TRUE(
        RunUntil([&] { return colleague.SipLineState().find("registered") != std::string::npos; }, 5000));
    ASSERT_GT(SeatSlot().PlaceCall("202", "202", "Colleague Two", false), 0);
    EXPECT_FALSE(PickupOffered()) << "nothing rings";
    ASSERT_TRUE(RunUntil([&] { return Shows("Ringing"); }, 5000)) << ContactState();
    // The colleague rings (this seat's own call, so the line is busy): the menu offers the pickup,
    // and the service's refusal is explained.
    m_panel->Tree()->setCurrentIndex(m_panel->Model()->index(1, 0));
    EXPECT_TRUE(PickupOffered());
    std::unique_ptr<QMenu>(m_panel->CreateTreeMenu(nullptr))->actions().value(0)->trigger();
    ASSERT_EQ(m_prompter.messages.size(), 1u);
    EXPECT_TRUE(m_prompter.messages[0].text.starts_with("The call ringing at Colleague Two"));
    EXPECT_TRUE(m_prompter.messages[0].text.ends_with("cannot be picked up while this line has a call."))
        << m_prompter.messages[0].text;
    // The colleague's program is offered the call 300 ms after its line rang; then it lifts the handset.
    ASSERT_TRUE(
        RunUntil([&] { return colleague.SipLineState().find("offering") != std::string::npos; }, 5000))
        << colleague.SipLineState();
    colleague.Linesim("handset 5 up");
    ASSERT_TRUE(RunUntil([&] { return Shows("In a call"); }, 5000)) << ContactState();
    SeatSlot().DropAllCalls();
    EXPECT_TRUE(RunUntil([&] { return Shows("Idle"); }, 5000)) << ContactState();
    colleague.Linesim("handset 5 down");
}

} // namespace
