#include "fake_wave_device.h"
#include "support/temp_dir.h"

#include "audio/play_to_list.h"
#include "platform/registry.h"
#include "platform/silent_wave_in.h"
#include "settings/settings.h"
#include "settings/settings_store.h"

#include <gtest/gtest.h>

using namespace testing_support;
using platform::WaveDeviceGroup;

class PlayToListTest : public testing::Test {
protected:
    TempDir m_dir;
    platform::RegistryHive m_hive{ m_dir / "registry.reg" };
    SettingsStore m_settings{ m_hive };
    PlayToList m_list{ m_settings };
};

TEST_F(PlayToListTest, ListsTheWaveOutDevicesInOrderAndStartsAtDevice0)
{
    Registered<FakeWaveOut> card(WaveDeviceGroup::SoundCard, "Card with a name longer than thirty-one");
    Registered<FakeWaveOut> line(WaveDeviceGroup::Line, "Zo-Linka Line 1");
    const auto names = PlayToList::DeviceNames();
    ASSERT_GE(names.size(), 3u);
    EXPECT_EQ(names[0], "Card with a name longer than th");
    EXPECT_EQ(names[1], platform::kSilentDeviceName);
    EXPECT_EQ(names.back(), "Zo-Linka Line 1");
    // "Play to" unset ("*"): the first device.
    EXPECT_EQ(m_list.SelectedIndex(names), 0);
    EXPECT_EQ(m_list.SelectedIndex({}), -1);
}

TEST_F(PlayToListTest, KeepsTheChoiceAndFindsTheDeviceByItsExactName)
{
    Registered<FakeWaveOut> line(WaveDeviceGroup::Line, "Zo-Linka Line 2");
    const auto names = PlayToList::DeviceNames();
    m_list.Select("Zo-Linka Line 2");
    EXPECT_EQ(m_settings.Read(Settings::kPlayTo), "Zo-Linka Line 2");
    EXPECT_EQ(m_list.SelectedIndex(names), int(line.Id()));
    EXPECT_EQ(PlayToList::FindOutputDevice("Zo-Linka Line 2"), int(line.Id()));
    EXPECT_EQ(PlayToList::FindOutputDevice("zo-linka line 2"), -1);
    m_list.Select("A device that went away");
    EXPECT_EQ(m_list.SelectedIndex(names), 0);
}
