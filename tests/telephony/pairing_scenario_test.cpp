#include "support/telephony_scenario.h"

namespace {

using testing_support::ReadBytes;
using testing_support::WriteBytes;

using PairingScenario = TelephonyScenario;

std::string Quoted(const std::vector<std::string>& fields)
{
    std::string text;
    for (const std::string& field : fields)
        text += (text.empty() ? "\"" : ",\"") + field + "\"";
    return text;
}

TEST_F(PairingScenario, WithoutDeviceMapTheMarkerAndKindPassesPairEveryLine)
{
    Start();
    const char* expected[] = { "Zo-Linka Line 1", "Zo-Linka Line 2", "Zo-Linka Line 3", "Zo-Linka Line 4",
        "IP Line 1", "IP Line 2" };
    for (int slot = 0; slot < 6; ++slot) {
        EXPECT_TRUE(Slot(slot).IsOpen()) << slot;
        EXPECT_EQ(Slot(slot).GetLineName(), expected[slot]);
        EXPECT_EQ(m_manager->GetDeviceName(slot), expected[slot]);
        EXPECT_EQ(m_manager->GetDisplayName(slot), expected[slot]);
        EXPECT_GE(Slot(slot).GetWaveInDeviceId(), 0);
        EXPECT_GE(Slot(slot).GetWaveOutDeviceId(), 0);
        EXPECT_GE(Slot(slot).GetPhoneDeviceId(), 0);
    }
    const std::string file = ReadBytes(m_manager->DeviceMapPath());
    EXPECT_EQ(file,
        Quoted({ expected[0], expected[1], expected[2], expected[3], expected[4], expected[5], "Line 1",
            "Line 2", "Line 3", "Line 4", "Line 5", "Line 6" }));
    EXPECT_EQ(m_manager->FindFreeLine(), 0);
    EXPECT_EQ(m_manager->GetLineImage(0), 17);
    EXPECT_EQ(m_manager->GetLineImage(1), 15);
    EXPECT_EQ(m_manager->GetLineImage(4), 20);
}

TEST_F(PairingScenario, ConfiguredLinesOpenAndAMissingOneStaysClosed)
{
    WriteBytes(m_manager->DeviceMapPath(),
        Quoted({ "Zo-Linka Line 3", "Gone Line", "No device", "No device", "IP Line 2", "No device", "Front",
            "line 2", "Line 3", "Line 4", "Line 5", "Line 6" }));
    Start();
    EXPECT_TRUE(Slot(0).IsOpen());
    EXPECT_EQ(Slot(0).GetLineName(), "Zo-Linka Line 3");
    EXPECT_FALSE(Slot(1).IsOpen()) << "pairing runs only when a whole kind stayed closed";
    EXPECT_FALSE(Slot(2).IsOpen());
    EXPECT_TRUE(Slot(4).IsOpen());
    EXPECT_FALSE(Slot(5).IsOpen());
    EXPECT_EQ(m_manager->GetDisplayName(0), "Front");
    EXPECT_EQ(m_manager->GetDisplayName(1), "Gone Line");
    EXPECT_EQ(m_manager->GetLineImage(1), 19);
    EXPECT_EQ(m_manager->GetLineImage(5), 24);
    int index = -1;
    EXPECT_EQ(m_manager->FindSlotByDevice(Slot(4).GetDeviceId(), &index), &Slot(4));
    EXPECT_EQ(index, 4);
}

TEST_F(PairingScenario, OneDeviceIsNeverOpenedInTwoSlots)
{
    WriteBytes(m_manager->DeviceMapPath(),
        Quoted({ "Zo-Linka Line 1", "Zo-Linka Line 1", "No device", "No device", "IP Line 1", "IP Line 1" }));
    Start();
    EXPECT_TRUE(Slot(0).IsOpen());
    EXPECT_FALSE(Slot(1).IsOpen());
    EXPECT_TRUE(Slot(4).IsOpen());
    EXPECT_FALSE(Slot(5).IsOpen());
}

TEST_F(PairingScenario, IpDevicesAreNeverOfferedToPstnSlots)
{
    Start();
    m_manager->CloseAllLines();
    Settle();
    for (int slot = 0; slot < 6; ++slot)
        EXPECT_FALSE(Slot(slot).IsOpen());
    m_manager->OpenAllLines();
    Settle();
    for (int slot = 0; slot < 4; ++slot)
        EXPECT_EQ(Slot(slot).GetLineName().rfind("Zo-Linka", 0), 0u);
}

TEST_F(PairingScenario, LongLineNameIsPairedAndFoundAgainByItsCutName)
{
    const std::string longName = "Zo-Linka " + std::string(94, 'L');
    const std::string config = "[line]\nname = " + longName
        + "\nkind = analog\n"
          "[line]\nname = Zo-Linka Data\nkind = ip\n"
          "[line]\nname = Office IP\nkind = ip\nphone = no\n";
    ASSERT_EQ(tapisimConfigure(config.c_str()), TAPISIM_OK) << tapisimLastError();
    Start();
    EXPECT_EQ(Slot(0).GetLineName(), longName);
    EXPECT_EQ(m_manager->GetDeviceName(0), longName.substr(0, DeviceMap::kMaxTextLength));
    EXPECT_EQ(Slot(1).GetLineName(), "Zo-Linka Data") << "the marker pass ignores the kind";
    EXPECT_EQ(Slot(4).GetLineName(), "Office IP") << "a device paired to a lower slot is passed over";
    EXPECT_EQ(Slot(4).GetPhoneDeviceId(), -1);
    EXPECT_EQ(Slot(4).GetPhone(), 0u);
    EXPECT_FALSE(Slot(5).IsOpen());

    Restart();
    EXPECT_EQ(Slot(0).GetLineName(), longName) << "found again by its configured name";
    EXPECT_FALSE(Slot(1).IsOpen()) << "a configured device of the wrong kind is not opened";
    EXPECT_TRUE(Slot(4).IsOpen());
}

TEST_F(PairingScenario, MarkerDeviceThatFailsToOpenLeavesTheKindPass)
{
    ASSERT_EQ(tapisimConfigure("[line]\nname = Zo-Linka Modem\nkind = modem\n"
                               "[line]\nname = Plain 1\nkind = analog\n"
                               "[line]\nname = Plain 2\nkind = analog\n"),
        TAPISIM_OK)
        << tapisimLastError();
    Start();
    EXPECT_EQ(Slot(0).GetLineName(), "Plain 1");
    EXPECT_EQ(Slot(1).GetLineName(), "Plain 2");
    EXPECT_FALSE(Slot(2).IsOpen());
    EXPECT_FALSE(Slot(4).IsOpen());
    EXPECT_EQ(m_manager->GetDeviceName(2), "No device");
}

// Without a usable service the program runs with no lines: nothing opens, nothing is offered.
TEST(TelephonyWithoutService, LineManagerStartsWithoutLines)
{
    for (const char* library : { "libkestrium-no-such-tapi.so", "libtapi_partial_fake.so" }) {
        ManagerWithoutService without(library);
        LineManager& manager = without.manager;
        manager.LoadDeviceMap(manager.DeviceMapPath());
        EXPECT_EQ(manager.Initialize(), 0) << library;
        manager.OpenAllLines();
        for (int slot = 0; slot < 6; ++slot)
            EXPECT_FALSE(manager.GetLineSlot(slot).IsOpen());
        EXPECT_EQ(manager.FindFreeLine(), -1);
        EXPECT_EQ(manager.GetLineImage(0), 19);
        EXPECT_EQ(manager.GetLineImage(5), 24);
        EXPECT_EQ(manager.GetTargetCallForAction(true, kActionDrop), 0);
        EXPECT_FALSE(manager.DialNumber("", "5551234"));
        FakeCallTree tree;
        manager.RebuildCallTree(tree);
        EXPECT_TRUE(tree.TopLevel().empty());
        manager.CloseAllLines();
        manager.Shutdown();
        EXPECT_TRUE(without.prompter.messages.empty());
        EXPECT_FALSE(std::filesystem::exists(manager.DeviceMapPath()));
    }
}

} // namespace
