#include "platform/wave_devices.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

class NamedIn : public WaveInDevice {
public:
    explicit NamedIn(std::string name) : m_name(std::move(name)) {}
    std::string Name() const override { return m_name; }
    MMRESULT Start(const PcmFormat&, Deliver) override { return MMSYSERR_NOERROR; }
    void Stop() override {}

private:
    std::string m_name;
};

}  // namespace

TEST(WaveDeviceList, OrdersByGroupThenLineOrderAndKeepsIdsConsistent)
{
    auto& list = WaveDeviceList::Instance();
    std::size_t builtIns = list.InputCount();
    auto line2 = std::make_shared<NamedIn>("Zo-Linka Line 2");
    auto line1 = std::make_shared<NamedIn>("Zo-Linka Line 1");
    auto card = std::make_shared<NamedIn>("Test card");
    list.AddInput(WaveDeviceGroup::Line, 2, line2);
    list.AddInput(WaveDeviceGroup::Line, 1, line1);
    list.AddInput(WaveDeviceGroup::SoundCard, 0, card);
    ASSERT_EQ(list.InputCount(), builtIns + 3);
    EXPECT_EQ(list.FindInput(card.get()), 0);
    int first = list.FindInput(line1.get());
    EXPECT_EQ(list.FindInput(line2.get()), first + 1);
    EXPECT_EQ(list.Input(std::size_t(first))->Name(), "Zo-Linka Line 1");

    list.RemoveInput(line1.get());
    EXPECT_EQ(list.FindInput(line1.get()), -1);
    EXPECT_EQ(list.FindInput(line2.get()), first);
    EXPECT_EQ(list.Input(list.InputCount()), nullptr);
    list.RemoveInput(line2.get());
    list.RemoveInput(card.get());
    EXPECT_EQ(list.InputCount(), builtIns);
}
