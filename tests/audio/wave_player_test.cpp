#include "fake_wave_device.h"
#include "sound_file.h"
#include "support/temp_dir.h"
#include "tone.h"

#include "audio/wave_recorder.h"
#include "audio_result_printer.h"
#include "platform/mci.h"
#include "platform/wave_out_mixer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace testing_support;
using platform::WaveDeviceGroup;

namespace {

// Writes a 1.5-second 1 kHz tone with sox; `options` give rate, size, channels and encoding.
std::string SoxTone(const TempDir& dir, const std::string& name, const std::string& options)
{
    const std::string path = (dir / name).string();
    const std::string command = "sox -q -n " + options + " '" + path + "' synth 1.5 sine 1000 2>/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return path;
}

class CountingObserver : public PlaybackObserver {
public:
    void PlaybackComplete() override { ++m_completed; }
    int Completed() const { return m_completed; }

private:
    std::atomic<int> m_completed{ 0 };
};

// The first channel of 16-bit frames played into a fake device.
std::vector<std::int16_t> FirstChannel(const FakeWaveOut& device)
{
    const auto& bytes = device.Played();
    const std::size_t channels = device.Format().channels;
    std::vector<std::int16_t> samples(bytes.size() / (2 * channels));
    for (std::size_t i = 0; i < samples.size(); ++i)
        std::memcpy(&samples[i], bytes.data() + i * 2 * channels, 2);
    return samples;
}

// Pulls until the source runs dry; returns the frames played.
std::size_t PlayToEnd(FakeWaveOut& device)
{
    std::size_t frames = 0;
    for (std::size_t filled; (filled = device.Pull(1000)) > 0;)
        frames += filled / device.Format().BlockAlign();
    return frames;
}

class PlayerTest : public testing::Test {
protected:
    std::int16_t OutId() const { return std::int16_t(m_out.Id()); }

    TempDir m_dir;
    Registered<FakeWaveOut> m_out{ WaveDeviceGroup::Line, "Zo-Linka Line 1" };
    WaveRecorder m_engine;
};

struct SoxCase {
    const char* name;
    const char* options;
    int rate;
    int channels;
};

void PrintTo(const SoxCase& c, std::ostream* os)
{
    *os << "sox " << c.options;
}

class PlaysSoxFiles : public PlayerTest, public testing::WithParamInterface<SoxCase> { };

} // namespace

TEST_P(PlaysSoxFiles, WithTheRightLengthAndTone)
{
    const std::string path = SoxTone(m_dir, "sox.wav", GetParam().options);
    std::uint32_t length = 0;
    ASSERT_EQ(m_engine.GetFileLength(path.c_str(), &length), AudioResult());
    EXPECT_EQ(length, 1500u);
    ASSERT_EQ(m_engine.Play(path.c_str(), 0, OutId()), AudioResult());
    EXPECT_EQ(m_out->Format().rate, std::uint32_t(GetParam().rate));
    EXPECT_EQ(m_out->Format().channels, GetParam().channels);
    const std::size_t frames = PlayToEnd(*m_out);
    EXPECT_EQ(frames, std::size_t(std::lround(GetParam().rate * 1.5)));
    const auto played = FirstChannel(*m_out);
    EXPECT_GT(ToneShare(played, 1000, 4000, 1000, GetParam().rate), 0.9);
    std::uint32_t position = 0;
    ASSERT_EQ(m_engine.GetPosition(&position), AudioResult());
    EXPECT_EQ(position, 1500u);
    EXPECT_EQ(m_engine.ClosePlayback(), AudioResult());
}

INSTANTIATE_TEST_SUITE_P(Formats, PlaysSoxFiles,
    testing::Values(SoxCase{ "Pcm16Mono8k", "-r 8000 -b 16 -c 1 -e signed-integer", 8000, 1 },
        SoxCase{ "Pcm8Mono8k", "-r 8000 -b 8 -c 1 -e unsigned-integer", 8000, 1 },
        SoxCase{ "Pcm8Stereo11k", "-r 11025 -b 8 -c 2 -e unsigned-integer", 11025, 2 },
        SoxCase{ "Pcm16Stereo22k", "-r 22050 -b 16 -c 2 -e signed-integer", 22050, 2 },
        SoxCase{ "Pcm16Mono44k", "-r 44100 -b 16 -c 1 -e signed-integer", 44100, 1 },
        SoxCase{ "Pcm16Stereo48k", "-r 48000 -b 16 -c 2 -e signed-integer", 48000, 2 },
        SoxCase{ "Pcm24Mono16k", "-r 16000 -b 24 -c 1 -e signed-integer", 16000, 1 },
        SoxCase{ "ULaw", "-r 8000 -c 1 -e u-law", 8000, 1 },
        SoxCase{ "ALaw", "-r 8000 -c 1 -e a-law", 8000, 1 },
        SoxCase{ "ImaAdpcmMono", "-r 8000 -c 1 -e ima-adpcm", 8000, 1 },
        SoxCase{ "ImaAdpcmStereo22k", "-r 22050 -c 2 -e ima-adpcm", 22050, 2 },
        SoxCase{ "Gsm610", "-r 8000 -c 1 -e gsm-full-rate", 8000, 1 }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PlayerTest, ResamplesToATelephoneLineThatTakesOnly8kMono)
{
    Registered<FakeWaveOut> line(WaveDeviceGroup::Line, "Zo-Linka Line 2", true);
    const std::string path = SoxTone(m_dir, "cd.wav", "-r 44100 -b 16 -c 2");
    ASSERT_EQ(m_engine.Play(path.c_str(), 0, std::int16_t(line.Id())), AudioResult());
    EXPECT_EQ(line->Format(), platform::PcmFormat{});
    const std::size_t frames = PlayToEnd(*line);
    EXPECT_NEAR(double(frames), 12000, 2);
    EXPECT_GT(ToneShare(FirstChannel(*line), 1000, 8000, 1000), 0.9);
}

TEST_F(PlayerTest, PausesResumesSeeksAndReportsTheEnd)
{
    CountingObserver observer;
    m_engine.SetPlaybackObserver(&observer);
    const std::string path = SoxTone(m_dir, "tone.wav", "-r 8000 -b 16 -c 1");
    ASSERT_EQ(m_engine.Play(path.c_str(), 500, OutId()), AudioResult());
    m_out->Pull(4000);
    std::uint32_t position = 0;
    ASSERT_EQ(m_engine.GetPosition(&position), AudioResult());
    EXPECT_EQ(position, 1000u);

    EXPECT_EQ(m_engine.Resume(1), AudioError::AlreadyPlaying); // already playing
    EXPECT_EQ(m_engine.Pause(1), AudioResult());
    EXPECT_FALSE(m_out->Running());
    EXPECT_EQ(m_engine.GetPosition(&position), AudioResult());
    EXPECT_EQ(position, 1000u);
    EXPECT_EQ(m_engine.Resume(1), AudioResult());
    EXPECT_TRUE(m_out->Running());

    // Seek without play-on stops at the new place; Resume then plays from there.
    EXPECT_EQ(m_engine.Seek(0, false), AudioResult());
    EXPECT_FALSE(m_out->Running());
    EXPECT_EQ(m_engine.GetPosition(&position), AudioResult());
    EXPECT_EQ(position, 0u);
    EXPECT_EQ(m_engine.Resume(1), AudioResult());
    EXPECT_TRUE(m_out->Running());
    EXPECT_EQ(m_engine.Seek(1200, true), AudioResult());
    EXPECT_TRUE(m_out->Running());
    EXPECT_EQ(PlayToEnd(*m_out), 2400u);
    EXPECT_EQ(observer.Completed(), 1);
    EXPECT_EQ(m_engine.GetPosition(&position), AudioResult());
    EXPECT_EQ(position, 1500u);
    EXPECT_EQ(m_engine.Seek(2000, false), AudioResult::Platform(MCIERR_OUTOFRANGE));

    EXPECT_EQ(m_engine.ClosePlayback(), AudioResult());
    EXPECT_FALSE(m_out->Running());
    EXPECT_EQ(m_engine.GetPosition(&position), AudioResult::Platform(MCIERR_INVALID_DEVICE_ID));
    EXPECT_EQ(m_engine.GetPosition(nullptr), AudioError::MissingOutParameter);
    EXPECT_EQ(m_engine.ClosePlayback(), AudioResult());
}

TEST_F(PlayerTest, TellsTheEndOnlyToTheObserverSetWhenTheEndIsReached)
{
    const std::string path = SoxTone(m_dir, "tone.wav", "-r 8000 -b 16 -c 1");
    CountingObserver gone;
    CountingObserver current;
    m_engine.SetPlaybackObserver(&gone);
    ASSERT_EQ(m_engine.Play(path.c_str(), 1000, OutId()), AudioResult());
    m_engine.SetPlaybackObserver(&current); // a window that closed hands over to another
    PlayToEnd(*m_out);
    EXPECT_EQ(gone.Completed(), 0);
    EXPECT_EQ(current.Completed(), 1);

    ASSERT_EQ(m_engine.Play(path.c_str(), 1000, OutId()), AudioResult());
    m_engine.SetPlaybackObserver(nullptr);
    PlayToEnd(*m_out);
    EXPECT_EQ(current.Completed(), 1);
}

TEST_F(PlayerTest, PlayingTakesTheDeviceFromTheLastPlaybackAndMeasuringClosesIt)
{
    const std::string path = SoxTone(m_dir, "tone.wav", "-r 8000 -b 16 -c 1");
    Registered<FakeWaveOut> other(WaveDeviceGroup::Line, "Zo-Linka Line 3");
    ASSERT_EQ(m_engine.Play(path.c_str(), 0, OutId()), AudioResult());
    ASSERT_EQ(m_engine.Play(path.c_str(), 0, std::int16_t(other.Id())), AudioResult());
    EXPECT_FALSE(m_out->Running());
    EXPECT_TRUE(other->Running());
    std::uint32_t length = 0;
    ASSERT_EQ(m_engine.GetFileLength(path.c_str(), &length), AudioResult());
    EXPECT_FALSE(other->Running());
    EXPECT_EQ(m_engine.Play(nullptr, 0, OutId()), AudioError::InvalidPath);
    EXPECT_EQ(m_engine.Play(path.c_str(), 2000, OutId()), AudioResult::Platform(MCIERR_OUTOFRANGE));
    EXPECT_FALSE(m_out->Running());
}

TEST_F(PlayerTest, BadFilesGiveErrorCodes)
{
    std::uint32_t length = 0;
    EXPECT_EQ(m_engine.GetFileLength("x.wav", nullptr), AudioError::MissingOutParameter);
    EXPECT_EQ(m_engine.GetFileLength((m_dir / "missing.wav").c_str(), &length), AudioError::UnreadableFile);
    WriteBytes(m_dir / "empty.wav", "");
    EXPECT_EQ(m_engine.GetFileLength((m_dir / "empty.wav").c_str(), &length), AudioError::UnreadableFile);
    WriteBytes(m_dir / "text.wav", "This is not a sound file at all.\n");
    EXPECT_EQ(m_engine.GetFileLength((m_dir / "text.wav").c_str(), &length), AudioError::UnreadableFile);
    EXPECT_EQ(
        m_engine.Play((m_dir / "text.wav").c_str(), 0, OutId()), AudioResult::Platform(MCIERR_INVALID_FILE));
    EXPECT_EQ(m_engine.Play((m_dir / "missing.wav").c_str(), 0, OutId()),
        AudioResult::Platform(MCIERR_FILE_NOT_FOUND));
    EXPECT_EQ(m_engine.GetFileLength(m_dir.Path().c_str(), &length), AudioError::UnreadableFile);
    const std::string tooLong = (m_dir / std::string(5000, 'n')).string();
    EXPECT_EQ(m_engine.GetFileLength(tooLong.c_str(), &length), AudioError::UnreadableFile);
    EXPECT_EQ(m_engine.Play(tooLong.c_str(), 0, OutId()), AudioResult::Platform(MCIERR_FILE_NOT_FOUND));
    EXPECT_FALSE(m_out->Running());
}

TEST_F(PlayerTest, AFileWithNoSamplesHasLength0AndEndsAtOnce)
{
    const std::string path = SoxTone(m_dir, "empty.wav", "-r 8000 -b 16 -c 1");
    const std::string header = ReadBytes(path).substr(0, 44);
    ASSERT_EQ(header.substr(36, 4), "data");
    std::string empty = header;
    empty.replace(40, 4, std::string(4, '\0'));
    empty.replace(4, 4, std::string{ char(36), 0, 0, 0 });
    WriteBytes(path, empty);
    std::uint32_t length = 99;
    ASSERT_EQ(m_engine.GetFileLength(path.c_str(), &length), AudioResult());
    EXPECT_EQ(length, 0u);
    ASSERT_EQ(m_engine.Play(path.c_str(), 0, OutId()), AudioResult());
    EXPECT_EQ(PlayToEnd(*m_out), 0u);
    std::uint32_t position = 99;
    ASSERT_EQ(m_engine.GetPosition(&position), AudioResult());
    EXPECT_GE(position, length);
}

TEST_F(PlayerTest, RecordsAndPlaysBackEveryFormatItWrites)
{
    Registered<FakeWaveIn> in(WaveDeviceGroup::Line, "Zo-Linka Line 1");
    for (const char* format : { "PCM , 8.000 kHz, 8 Bit, Mono", "CCITT A-Law , 8.000 kHz, 8 Bit, Mono",
             "IMA ADPCM , 8.000 kHz, 4 Bit, Mono", "GSM 6.10 , 8.000 kHz, Mono" }) {
        SCOPED_TRACE(format);
        ASSERT_EQ(m_engine.FindFormat(format), AudioResult());
        m_engine.SetCompression(1);
        const std::string path = (m_dir / "rec.wav").string();
        ASSERT_EQ(m_engine.StartRecording(path.c_str(), std::int16_t(in.Id())), AudioResult());
        in->Push(Tone(16000));
        ASSERT_EQ(m_engine.StopRecording(), AudioResult());
        std::uint32_t length = 0;
        ASSERT_EQ(m_engine.GetFileLength(path.c_str(), &length), AudioResult());
        EXPECT_NEAR(length, 2000, 80);
        ASSERT_EQ(m_engine.Play(path.c_str(), 0, OutId()), AudioResult());
        EXPECT_NEAR(double(PlayToEnd(*m_out)), 16000, 640);
        EXPECT_GT(ToneShare(FirstChannel(*m_out), 2000, 8000, 1000), 0.9);
        m_engine.ClosePlayback();
    }
}

TEST(MixerControl, KeepsTheVolumeOfWaveOutDevice0PerChannel)
{
    WaveRecorder engine;
    std::uint32_t left = 0, right = 0;
    EXPECT_EQ(engine.GetVolume(nullptr, &right), AudioError::MissingOutParameter);
    ASSERT_EQ(engine.SetVolume(40000, 20000), AudioResult());
    ASSERT_EQ(engine.GetVolume(&left, &right), AudioResult());
    EXPECT_EQ(left, 40000u);
    EXPECT_EQ(right, 20000u);
    ASSERT_EQ(engine.SetVolume(-1, 65535), AudioResult());
    ASSERT_EQ(engine.GetVolume(&left, &right), AudioResult());
    EXPECT_EQ(left, 40000u);
    EXPECT_EQ(right, 65535u);
    EXPECT_EQ(engine.SetVolume(65536, 0), AudioError::VolumeOutOfRange);
    EXPECT_EQ(engine.SetVolume(0, 70000), AudioError::VolumeOutOfRange);
    ASSERT_EQ(engine.GetVolume(&left, &right), AudioResult());
    EXPECT_EQ(right, 65535u);

    // A sound card without a volume control reports the mixer's error.
    Registered<FakeWaveOut> card(WaveDeviceGroup::SoundCard, "Card");
    EXPECT_EQ(engine.GetVolume(&left, &right), AudioResult::Platform(MIXERR_INVALCONTROL));
}
