#include "platform/alsa_pcm.h"
#include "platform/alsa_wave_in.h"
#include "platform/alsa_wave_out.h"
#include "platform/wave_out_mixer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace platform;

namespace {

// Waits (a few seconds at most) until `done` holds.
template <typename Condition> bool WaitFor(Condition done)
{
    for (int i = 0; i < 500 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return done();
}

} // namespace

// ALSA's "null" device stands in for a sound card: it takes and gives audio without hardware.
TEST(AlsaDevices, CaptureDeliversAndPlaybackPullsUntilStopped)
{
    AlsaWaveIn in("Null card", "null");
    std::atomic<std::size_t> delivered{ 0 };
    ASSERT_EQ(in.Start(PcmFormat{}, [&](const std::uint8_t*, std::size_t bytes) { delivered += bytes; }),
        MMSYSERR_NOERROR);
    EXPECT_TRUE(WaitFor([&] { return delivered >= 3200; }));
    in.Stop();
    const std::size_t after = delivered;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(delivered, after);

    AlsaWaveOut out("Null card", "null", "null");
    std::atomic<std::size_t> pulled{ 0 };
    ASSERT_EQ(out.Start(PcmFormat{ 44100, 16, 2 },
                  [&](std::uint8_t*, std::size_t bytes) {
                      pulled += bytes;
                      return bytes / 2;
                  }),
        MMSYSERR_NOERROR);
    EXPECT_TRUE(WaitFor([&] { return pulled >= 17640; }));
    out.Stop();
    DWORD left = 0, right = 0;
    EXPECT_EQ(out.GetVolume(left, right), MIXERR_INVALCONTROL); // the null device has no mixer
}

TEST(AlsaDevices, RefusesADeviceThatDoesNotExistOrAFormatItCannotTake)
{
    AlsaWaveIn missing("Missing", "no-such-alsa-device");
    EXPECT_EQ(missing.Start(PcmFormat{}, [](const std::uint8_t*, std::size_t) {}), MMSYSERR_ALLOCATED);
    AlsaWaveIn null("Null card", "null");
    EXPECT_EQ(
        null.Start(PcmFormat{ 8000, 24, 1 }, [](const std::uint8_t*, std::size_t) {}), WAVERR_BADFORMAT);
}

// After an overrun the capture thread waits for data; a stream left prepared would never give any.
TEST(AlsaDevices, ACaptureStreamRunsAgainAfterRecoveringFromAnOverrun)
{
    snd_pcm_t* pcm = nullptr;
    ASSERT_EQ(snd_pcm_open(&pcm, "null", SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK), 0);
    std::unique_ptr<snd_pcm_t, int (*)(snd_pcm_t*)> closer(pcm, snd_pcm_close);
    ASSERT_EQ(
        snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1, 8000, 1, 100000), 0);
    ASSERT_EQ(snd_pcm_start(pcm), 0);
    EXPECT_TRUE(AlsaPcm::Recover(pcm, -EPIPE));
    EXPECT_EQ(snd_pcm_state(pcm), SND_PCM_STATE_RUNNING);
    EXPECT_FALSE(AlsaPcm::Recover(pcm, -ENODEV));
}
