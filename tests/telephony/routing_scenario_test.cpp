#include "support/telephony_scenario.h"

#include "telephony/call_menu.h"
#include "telephony/device_choice_list.h"
#include "telephony/handset_listener.h"
#include "telephony/tapi_block.h"

#include <map>

namespace {

class CountingIncoming : public NoIncomingCalls {
public:
    void UpdateIncomingPopups(LineSlot&, HCALL call) override { updated.push_back(call); }
    void OnRing(LineSlot&, DWORD, DWORD count) override { rings.push_back(count); }

    std::vector<HCALL> updated;
    std::vector<DWORD> rings;
};

class CountingListener : public HandsetListener {
public:
    void OnHandsetPutDown() override { ++putDown; }
    int putDown = 0;
};

class RecordingMenu : public CallMenu {
public:
    void Enable(Item item, bool enabled) override { commands[item] = enabled; }
    std::map<Item, bool> commands;
};

class ChoiceList : public DeviceChoiceList {
public:
    void Clear() override
    {
        items.clear();
        selected = -1;
    }
    void AddItem(std::string_view text, std::uint32_t) override { items.emplace_back(text); }
    int Count() const override { return int(items.size()); }
    std::string ItemText(int index) const override { return items[index]; }
    int SelectedIndex() const override { return selected; }
    void Select(int index) override { selected = index; }

    std::string SelectedText() const { return selected >= 0 ? items[selected] : std::string(); }
    std::vector<std::string> items;
    int selected = -1;
};

using DialerScenario = TelephonyScenario;

class RoutingScenario : public TelephonyScenario {
protected:
    void SetUp() override
    {
        TelephonyScenario::SetUp();
        m_manager->SetIncomingPort(&m_incoming);
        Start();
    }
    void TearDown() override
    {
        m_manager->SetIncomingPort(nullptr);
        TelephonyScenario::TearDown();
    }

    void SendLineMessage(
        int slot, DWORD device, DWORD message, DWORD_PTR p1 = 0, DWORD_PTR p2 = 0, DWORD_PTR p3 = 0)
    {
        LineManager::LineCallback(device, message, DWORD_PTR(&Slot(slot)), p1, p2, p3);
    }

    CountingIncoming m_incoming;
};

TEST_F(RoutingScenario, RingsReachTheIncomingCallHandlingWithTheirCount)
{
    Ring(0, "5551111", "Eve");
    Advance(13000);
    ASSERT_GE(m_incoming.rings.size(), 2u);
    EXPECT_EQ(m_incoming.rings[0], 0u);
    EXPECT_EQ(m_incoming.rings[1], 1u);
    EXPECT_FALSE(m_incoming.updated.empty());
    const std::size_t rings = m_incoming.rings.size();
    SendLineMessage(0, Slot(0).GetLine(), LINE_LINEDEVSTATE, LINEDEVSTATE_OUTOFSERVICE, 0, 0);
    EXPECT_EQ(m_incoming.rings.size(), rings) << "other line states do nothing";
}

TEST_F(RoutingScenario, CallInfoUpdatesTheCallsNodeOrRebuildsTheTree)
{
    Ring(1, "5551111", "Eve");
    const HCALL call = OnlyCall(1);
    const int clears = m_window.tree.ClearCount();
    SendLineMessage(1, call, LINE_CALLINFO);
    EXPECT_EQ(m_window.tree.ClearCount(), clears) << "a call with a node only changes that node";
    m_window.tree.Clear();
    SendLineMessage(1, call, LINE_CALLINFO);
    EXPECT_EQ(m_window.tree.ClearCount(), clears + 2) << "a call without a node rebuilds the tree";
    EXPECT_EQ(m_window.tree.CallTexts(), std::vector<std::string>{ "Eve,5551111 (Incoming)" });
}

TEST_F(RoutingScenario, MessagesWithoutASlotOrBeforeTheWindowIsReadyTouchNothing)
{
    m_window.ready = false;
    Ring(2, "5551111", "Eve");
    EXPECT_EQ(m_window.updates, 0);
    EXPECT_TRUE(m_window.shownPages.empty());
    LineManager::LineCallback(OnlyCall(2), LINE_CALLSTATE, 0, LINECALLSTATE_IDLE, 0, 0);
    EXPECT_NE(OnlyCall(2), 0u) << "a message without callback instance is ignored";
}

TEST_F(RoutingScenario, HandsetPutDownReachesOnlyAWaitingWindow)
{
    CountingListener listener;
    const DWORD phone = DWORD(Slot(0).GetPhoneDeviceId());
    ASSERT_EQ(tapisimSetHandset(phone, 1), TAPISIM_OK);
    ASSERT_EQ(tapisimSetHandset(phone, 0), TAPISIM_OK);
    Settle();
    Slot(0).SetNotifyWindow(&listener);
    ASSERT_EQ(tapisimSetHandset(phone, 1), TAPISIM_OK);
    Settle();
    EXPECT_EQ(listener.putDown, 0) << "lifting the handset is not reported";
    ASSERT_EQ(tapisimSetHandset(phone, 0), TAPISIM_OK);
    Settle();
    EXPECT_EQ(listener.putDown, 1);
    Slot(0).SetNotifyWindow(nullptr);
}

TEST_F(RoutingScenario, CallMenuFollowsTheCallsState)
{
    Ring(0, "5551111", "Eve");
    RecordingMenu menu;
    Slot(0).UpdateCallMenu(menu, OnlyCall(0));
    EXPECT_TRUE(menu.commands[CallMenu::Item::Answer]);
    EXPECT_TRUE(menu.commands[CallMenu::Item::DropCall]);
    ASSERT_GT(Slot(0).AnswerCall(OnlyCall(0)), 0);
    Advance(500);
    Slot(0).UpdateCallMenu(menu, OnlyCall(0));
    EXPECT_FALSE(menu.commands[CallMenu::Item::Answer]);

    RecordingMenu untouched;
    Slot(0).UpdateCallMenu(untouched, 0);
    EXPECT_TRUE(untouched.commands.empty());
    EXPECT_EQ(Slot(0).AnswerCall(12345), -1) << "a call that is not on the line";
}

TEST_F(RoutingScenario, DeviceChoicesOfferEachDeviceToOneSlotOfItsKind)
{
    std::array<ChoiceList, 6> lists;
    std::array<DeviceChoiceList*, 6> pointers{};
    for (int slot = 0; slot < 6; ++slot)
        pointers[slot] = &lists[slot];
    m_manager->SetDeviceName(1, "No device");
    m_manager->FillDeviceChoices(pointers, -1);
    EXPECT_EQ(lists[0].SelectedText(), "Zo-Linka Line 1");
    EXPECT_EQ(lists[1].SelectedText(), "No device");
    EXPECT_EQ(lists[1].items, (std::vector<std::string>{ "No device", "Zo-Linka Line 2" }))
        << "devices configured for other slots are not offered";
    EXPECT_EQ(lists[4].SelectedText(), "IP Line 1");
    for (const std::string& item : lists[4].items)
        EXPECT_EQ(item.find("Zo-Linka"), std::string::npos);

    lists[1].Select(1);
    m_manager->FillDeviceChoices(pointers, 1);
    EXPECT_EQ(lists[1].SelectedText(), "Zo-Linka Line 2") << "the excepted list is left alone";
    for (int slot : { 0, 2, 3 })
        for (const std::string& item : lists[slot].items)
            EXPECT_NE(item, "Zo-Linka Line 2") << slot;
}

TEST_F(DialerScenario, DialingRequestsAreServedOnlyWhileRegistered)
{
    m_settings.Write(Settings::kIsSystemDialer, 1);
    Start();
    m_manager->SetDefaultLine(2);
    ASSERT_EQ(tapiRequestMakeCallA("5551234", "Other App", "Zed", ""), 0);
    Settle();
    EXPECT_EQ(CallText(2), "Zed, 5551234 (Dialtone)");

    m_manager->CloseAllLines();
    m_manager->Shutdown();
    Settle();
    EXPECT_EQ(tapiRequestMakeCallA("5551234", "Other App", "Zed", ""), TAPIERR_NOREQUESTRECIPIENT);
}

TEST_F(DialerScenario, StoredHeadsetChoiceIsAppliedWhenALineOpens)
{
    m_settings.Write(Settings::kLineHeadset, 1, 2);
    Start(); // pairs the lines automatically and saves the device map
    Restart(); // opens the configured lines, as every later start does
    auto headsetMode = [this](int slot) {
        TapiBlock<PHONESTATUS> status(1104);
        EXPECT_EQ(m_tapi.phoneGetStatusA(Slot(slot).GetPhone(), status.Get()), 0);
        return status->dwHeadsetHookSwitchMode;
    };
    EXPECT_EQ(headsetMode(1), DWORD(PHONEHOOKSWITCHMODE_MICSPEAKER));
    EXPECT_EQ(headsetMode(0), DWORD(PHONEHOOKSWITCHMODE_ONHOOK)) << "no stored value keeps the phone's own";
}

TEST_F(DialerScenario, WithoutTheSystemDialerSettingNoRequestIsServed)
{
    Start();
    EXPECT_EQ(tapiRequestMakeCallA("5551234", "Other App", "Zed", ""), TAPIERR_NOREQUESTRECIPIENT);
}

TEST_F(RoutingScenario, ReplyForAnUnknownRequestIsHarmless)
{
    Slot(0).OnReply(987654, LINEERR_INUSE);
    Slot(0).OnReply(0, 0);
    EXPECT_TRUE(m_prompter.messages.empty());
}

} // namespace
