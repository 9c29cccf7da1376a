// The exchange on the real clock: it sleeps while nothing needs it, and wakes on time for a caller,
// a call's audio and a line device an application starts.

#include "tapi_fixture.h"

#include "platform/wave_devices.h"
#include "support/thread_sleep.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr long kRingPeriodMs = 1000;

// The exchange's clock thread in this process.
long ClockWakeUps()
{
    return testing_support::ThreadWakeUps(::getpid(), "tapi-clock");
}
bool ClockSleeps()
{
    return testing_support::ThreadSleeps(::getpid(), "tapi-clock");
}

long MsSince(Clock::time_point start)
{
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

class TapiRealClock : public TapiFixture {
protected:
    bool ManualClock() const override { return false; }
    std::string Configuration() const override
    {
        return "[line]\nname = Front Desk\nring-period-ms = " + std::to_string(kRingPeriodMs) + "\n";
    }

    // Runs the arrived callbacks every few ms until `condition` holds; false after `limit`.
    bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = 5s)
    {
        const auto deadline = Clock::now() + limit;
        for (;;) {
            Pump();
            if (condition())
                return true;
            if (Clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(2ms);
        }
    }

    bool Arrived(DWORD message, DWORD_PTR p1, DWORD_PTR p3) const
    {
        for (const Received& m : m_received)
            if (m.message == message && m.p1 == p1 && m.p3 == p3)
                return true;
        return false;
    }
};

} // namespace

TEST_F(TapiRealClock, SleepsWhileIdleAndWakesOnTimeForACallAndForADevice)
{
    const HLINE line = OpenLine(0);
    ASSERT_TRUE(PumpUntil([] { return ClockWakeUps() >= 0; })) << "the real clock runs";
    ASSERT_TRUE(ClockSleeps()) << "an idle exchange with an open line does not wake";

    // A caller rings through the control command, as linesim does, while the clock sleeps: the
    // second ring comes one ring period later, not at once and not late.
    const auto rung = Clock::now();
    char reply[256] = {};
    ASSERT_EQ(tapisimCommand("ring 1 5550123 \"Ann Lee\"", reply, sizeof reply), TAPISIM_OK) << reply;
    ASSERT_TRUE(PumpUntil([&] { return Find(m_received, LINE_APPNEWCALL) != nullptr; }));
    const HCALL call = static_cast<HCALL>(Find(m_received, LINE_APPNEWCALL)->p2);
    EXPECT_TRUE(Arrived(LINE_LINEDEVSTATE, LINEDEVSTATE_RINGING, 0)) << "the first ring comes at once";
    ASSERT_TRUE(PumpUntil([&] { return Arrived(LINE_LINEDEVSTATE, LINEDEVSTATE_RINGING, 1); }));
    const long secondRing = MsSince(rung);
    EXPECT_GE(secondRing, kRingPeriodMs - 5);
    EXPECT_LT(secondRing, kRingPeriodMs + 1000);

    // Answered on that ring, as the answering machine does: the call connects and its audio moves
    // in real time (the far end hears the line, silence included).
    ASSERT_GT(lineAnswer(call, nullptr, 0), 0);
    ASSERT_TRUE(PumpUntil([&] { return CallState(call) == LINECALLSTATE_CONNECTED; }));
    ASSERT_EQ(tapisimClearHeard(0), TAPISIM_OK);
    std::this_thread::sleep_for(500ms);
    EXPECT_GT(tapisimGetHeardAudio(0, nullptr, 0), 8 * 300) << "audio of at least 300 ms in 500 ms";

    ASSERT_GT(lineDrop(call, nullptr, 0), 0);
    ASSERT_TRUE(PumpUntil([&] { return CallState(call) == LINECALLSTATE_IDLE; }));
    ASSERT_EQ(lineDeallocateCall(call), 0);
    EXPECT_TRUE(ClockSleeps()) << "asleep again once the call is over";

    // An application starts the idle line's capture device: the clock wakes and delivers the line's
    // audio in real time until the device stops.
    auto device = platform::WaveDeviceList::Instance().Input(LineDeviceId(line, "wave/in"));
    ASSERT_NE(device, nullptr);
    std::atomic<std::size_t> captured{ 0 };
    ASSERT_EQ(device->Start(platform::PcmFormat{},
                  [&](const std::uint8_t*, std::size_t bytes) { captured += bytes / sizeof(std::int16_t); }),
        MMSYSERR_NOERROR);
    std::this_thread::sleep_for(500ms);
    EXPECT_GT(captured.load(), 8u * 300) << "audio of at least 300 ms in 500 ms";
    device->Stop();
    EXPECT_TRUE(ClockSleeps()) << "asleep again once the device stopped";
}
