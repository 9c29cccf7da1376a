#include "support/telephony_scenario.h"

#include "telephony/handset_watch.h"

#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <string>

namespace {

// Desk has a phone, Trunk has none.
constexpr const char* kDeskAndTrunk = "[line]\nname = Desk\n"
                                      "[line]\nname = Trunk\nphone = no\n";

class PhoneScenario : public TelephonyScenario {
protected:
    // Runs the event loop for a while of real time, as the playback window's timer needs.
    static void Wait(int milliseconds)
    {
        QEventLoop loop;
        QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
        loop.exec();
    }

    void SetHandset(int slot, bool offHook)
    {
        ASSERT_EQ(tapisimSetHandset(DWORD(Slot(slot).GetPhoneDeviceId()), offHook ? 1 : 0), TAPISIM_OK);
        Settle();
    }

    // Plays to the phone and tells how long the call took in real time.
    std::chrono::milliseconds TimedPlayToPhone(int slot, bool on, HandsetListener* window)
    {
        const auto started = std::chrono::steady_clock::now();
        Slot(slot).PlayToPhone(on, window);
        Settle();
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - started);
    }
};

TEST_F(PhoneScenario, HeadsetAndVolumeAreControlledOnlyWhereThereIsAPhone)
{
    ASSERT_EQ(tapisimConfigure(kDeskAndTrunk), TAPISIM_OK);
    Start();
    ASSERT_EQ(Slot(0).GetLineName(), "Desk");
    ASSERT_EQ(Slot(1).GetLineName(), "Trunk");

    EXPECT_EQ(Slot(0).IsHeadsetOn(), 0);
    EXPECT_GT(Slot(0).SetHeadset(true), 0);
    EXPECT_EQ(Slot(0).IsHeadsetOn(), 1);
    EXPECT_GT(Slot(0).SetHeadset(false), 0);
    EXPECT_EQ(Slot(0).IsHeadsetOn(), 0);

    DWORD volume = 0;
    EXPECT_EQ(Slot(0).SetPhoneVolume(PHONEHOOKSWITCHDEV_HANDSET, 0x3000), 1);
    EXPECT_EQ(Slot(0).GetPhoneVolume(PHONEHOOKSWITCHDEV_HANDSET, volume), 1);
    EXPECT_EQ(volume, 0x3000u);
    EXPECT_EQ(Slot(0).SetPhoneVolume(99, 0x3000), 0) << "no such hookswitch device";

    EXPECT_EQ(Slot(1).IsHeadsetOn(), 0);
    EXPECT_EQ(Slot(1).SetHeadset(true), PHONEERR_INVALPHONEHANDLE);
    EXPECT_EQ(Slot(1).SetPhoneVolume(PHONEHOOKSWITCHDEV_HANDSET, 0x3000), 0);
    EXPECT_EQ(Slot(1).GetPhoneVolume(PHONEHOOKSWITCHDEV_HANDSET, volume), 0);
    EXPECT_EQ(Slot(1).PlayToPhone(true, nullptr), 0);

    ASSERT_FALSE(Slot(2).IsOpen());
    EXPECT_EQ(Slot(2).IsHeadsetOn(), 0);
    EXPECT_EQ(Slot(2).SetHeadset(true), 0);
    EXPECT_EQ(Slot(2).PlayToPhone(true, nullptr), 0);
}

// While a recording plays into the handset, the handset does not answer calls, and putting it
// down stops the playback once, a moment later. Afterwards the phone belongs to the line again.
TEST_F(PhoneScenario, PlayingToThePhoneStopsWhenTheHandsetIsPutDown)
{
    Start();
    int stopped = 0;
    HandsetWatch watch([&stopped] { ++stopped; });

    EXPECT_LT(TimedPlayToPhone(0, true, &watch).count(), 500) << "the phone messages are never waited for";
    EXPECT_EQ(DescribeLine(1), "line 1: Zo-Linka Line 1 (analog, handset down, audio to the computer) idle");
    Ring(0, "5558888", "Ringer");
    SetHandset(0, true);
    EXPECT_EQ(CallText(0), "Ringer,5558888 (Incoming)") << "the handset is not the line's while playing";
    SetHandset(0, false);
    EXPECT_TRUE(watch.IsPending());
    EXPECT_EQ(stopped, 0) << "the window reacts only after its delay";
    Wait(HandsetWatch::kDelayMs + 100);
    EXPECT_EQ(stopped, 1);
    Wait(HandsetWatch::kDelayMs + 100);
    EXPECT_EQ(stopped, 1) << "one put-down, one stop";

    EXPECT_LT(TimedPlayToPhone(0, false, &watch).count(), 500);
    EXPECT_EQ(DescribeLine(1).find("audio to the computer"), std::string::npos) << DescribeLine(1);
    SetHandset(0, true);
    EXPECT_EQ(CallText(0), "Ringer,5558888 (Connected)") << "the handset answers again";
    SetHandset(0, false);
    EXPECT_FALSE(watch.IsPending());
    Wait(HandsetWatch::kDelayMs + 100);
    EXPECT_EQ(stopped, 1) << "after playback stopped the window is no longer told";
}

} // namespace
