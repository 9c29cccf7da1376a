#include "sound_file.h"
#include "support/temp_dir.h"
#include "tone.h"

#include "audio/wave_recorder.h"
#include "audio_result_printer.h"
#include "platform/silent_wave_in.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

using namespace testing_support;

namespace {

// The id of the silent device in the wave-in or wave-out list.
template <typename Caps, typename Count, typename GetCaps> std::int16_t SilentId(Count count, GetCaps getCaps)
{
    for (UINT id = 0; id < count(); ++id) {
        Caps caps{};
        if (getCaps(id, &caps, sizeof caps) == MMSYSERR_NOERROR
            && std::string(caps.szPname) == platform::kSilentDeviceName)
            return std::int16_t(id);
    }
    return -1;
}

template <typename Condition> bool WaitFor(Condition done, int seconds = 5)
{
    for (int i = 0; i < seconds * 100 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return done();
}

class Completion : public PlaybackObserver {
public:
    void PlaybackComplete() override { m_done = true; }
    bool Done() const { return m_done; }

private:
    std::atomic<bool> m_done{ false };
};

} // namespace

// The silent device captures on its own thread while the test's thread reads the level, pauses,
// resumes and stops: the run under ThreadSanitizer checks that the two never race.
TEST(RealTimeDevices, RecordsFromTheSilentDeviceWhileTheWindowThreadWorks)
{
    const std::int16_t id = SilentId<WAVEINCAPSA>(waveInGetNumDevs, waveInGetDevCapsA);
    ASSERT_GE(id, 0);
    TempDir dir;
    const std::string path = (dir / "silence.wav").string();
    WaveRecorder recorder;
    ASSERT_EQ(recorder.FindFormat("GSM 6.10 , 8.000 kHz, Mono"), AudioResult());
    recorder.SetCompression(1);
    ASSERT_EQ(recorder.StartRecording(path.c_str(), id), AudioResult());
    std::uint8_t level = 1;
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(recorder.GetLevel(&level), AudioResult());
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
    EXPECT_EQ(recorder.Pause(2), AudioResult());
    EXPECT_EQ(recorder.Resume(2), AudioResult());
    std::this_thread::sleep_for(std::chrono::milliseconds(700)); // at least one full buffer
    ASSERT_EQ(recorder.StopRecording(), AudioResult());
    EXPECT_EQ(level, 0);
    const SoundFile read = ReadSoundFile(path);
    ASSERT_TRUE(read.opened);
    EXPECT_GE(read.frames, 5000);
}

TEST(RealTimeDevices, PlaysToTheSilentDeviceUntilTheEnd)
{
    const std::int16_t id = SilentId<WAVEOUTCAPSA>(waveOutGetNumDevs, waveOutGetDevCapsA);
    ASSERT_GE(id, 0);
    TempDir dir;
    const std::string path = (dir / "short.wav").string();
    ASSERT_EQ(std::system(("sox -q -n -r 8000 -b 16 -c 1 '" + path + "' synth 0.3 sine 1000").c_str()), 0);
    WaveRecorder engine;
    Completion completion;
    engine.SetPlaybackObserver(&completion);
    ASSERT_EQ(engine.Play(path.c_str(), 0, id), AudioResult());
    std::uint32_t position = 0;
    EXPECT_TRUE(WaitFor([&] {
        engine.GetPosition(&position);
        return position >= 300;
    }));
    EXPECT_TRUE(WaitFor([&] { return completion.Done(); }));
    EXPECT_EQ(engine.Resume(1), AudioResult()); // stopped at the end: plays again from the position (the end)
    EXPECT_EQ(engine.ClosePlayback(), AudioResult());
}
