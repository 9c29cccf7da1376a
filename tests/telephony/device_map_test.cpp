#include "telephony/device_map.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

std::string QuotedFields(int count, const std::string& stem)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += (i ? ",\"" : "\"") + stem + std::to_string(i) + "\"";
    return text;
}

TEST(DeviceMap, MissingFileGivesNoDeviceAndDefaultLabels)
{
    TempDir dir;
    DeviceMap map;
    map.SetDeviceName(2, "Something");
    map.Load(dir / "KestriumDevices.csv");
    for (int slot = 0; slot < DeviceMap::kSlotCount; ++slot) {
        EXPECT_EQ(map.GetDeviceName(slot), "No device");
        EXPECT_EQ(map.GetLineLabel(slot), "Line " + std::to_string(slot + 1));
    }
}

TEST(DeviceMap, ThreeFieldsFillTheFirstThreeNames)
{
    TempDir dir;
    WriteBytes(dir / "map.csv", QuotedFields(3, "Dev"));
    DeviceMap map;
    map.Load(dir / "map.csv");
    EXPECT_EQ(map.GetDeviceName(0), "Dev0");
    EXPECT_EQ(map.GetDeviceName(2), "Dev2");
    EXPECT_EQ(map.GetDeviceName(3), "No device");
    EXPECT_EQ(map.GetDeviceName(5), "No device");
    EXPECT_EQ(map.GetLineLabel(0), "Line 1");
    EXPECT_EQ(map.GetLineLabel(5), "Line 6");
}

TEST(DeviceMap, ThirtyFieldsUseTheFirstTwelve)
{
    TempDir dir;
    WriteBytes(dir / "map.csv", QuotedFields(30, "F"));
    DeviceMap map;
    map.Load(dir / "map.csv");
    EXPECT_EQ(map.GetDeviceName(5), "F5");
    EXPECT_EQ(map.GetLineLabel(0), "F6");
    EXPECT_EQ(map.GetLineLabel(5), "F11");
}

TEST(DeviceMap, HugeFieldsAreCutAndTheNextFieldsStillRead)
{
    TempDir dir;
    const std::string huge(5000, 'x');
    WriteBytes(dir / "map.csv", "\"" + huge + "\",\"Second\"");
    DeviceMap map;
    map.Load(dir / "map.csv");
    EXPECT_EQ(map.GetDeviceName(0), std::string(DeviceMap::kMaxTextLength, 'x'));
    EXPECT_EQ(map.GetDeviceName(1), "Second");

    map.SetLineLabel(3, std::string(500, 'y'));
    EXPECT_EQ(map.GetLineLabel(3).size(), DeviceMap::kMaxTextLength);
}

TEST(DeviceMap, SavedFileHasTwelveQuotedFieldsAndNoLineEnd)
{
    TempDir dir;
    DeviceMap map;
    map.SetDeviceName(0, "Zo-Linka Line 1");
    map.SetLineLabel(1, "Office \"2\"");
    ASSERT_TRUE(map.Save(dir / "map.csv"));
    const std::string bytes = ReadBytes(dir / "map.csv");
    EXPECT_EQ(bytes,
        "\"Zo-Linka Line 1\",\"No device\",\"No device\",\"No device\",\"No device\",\"No device\","
        "\"Line 1\",\"Office \"\"2\"\"\",\"Line 3\",\"Line 4\",\"Line 5\",\"Line 6\"");

    DeviceMap again;
    again.Load(dir / "map.csv");
    EXPECT_EQ(again.GetDeviceName(0), "Zo-Linka Line 1");
    EXPECT_EQ(again.GetLineLabel(1), "Office \"2\"");
}

TEST(DeviceMap, DefaultLabelInAnyCaseShowsTheDeviceName)
{
    DeviceMap map;
    map.SetDeviceName(1, "IP Line 1");
    map.SetLineLabel(1, "LINE 2");
    EXPECT_EQ(map.GetDisplayName(1), "IP Line 1");
    map.SetLineLabel(1, "Front desk");
    EXPECT_EQ(map.GetDisplayName(1), "Front desk");
}

TEST(DeviceMap, UnwritableFolderIsNotAnError)
{
    TempDir dir;
    DeviceMap map;
    EXPECT_FALSE(map.Save(dir / "missing" / "map.csv"));
}

} // namespace
