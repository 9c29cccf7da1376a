#include "recorder_fixture.h"
#include "sound_file.h"
#include "tone.h"

#include "audio/recording_file.h"
#include "platform/msacm.h"
#include "platform/wave_file_reader.h"

#include "support/file_size_limit.h"

#include <filesystem>
#include <fstream>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

std::string Description(const WaveRecorder& recorder)
{
    char text[200];
    EXPECT_EQ(recorder.GetFormatDescription(text, sizeof text), AudioResult());
    return text;
}

} // namespace

TEST_F(RecorderTest, WritesAPcmFileWithThe50ByteFormatChunkAndAZeroFactChunk)
{
    const auto tone = Tone(12500); // 25,000 bytes: two full buffers and a partial one
    const std::string path = PathOf("call.wav");
    ASSERT_EQ(Record(path, tone), AudioResult());

    const std::string bytes = ReadBytes(path);
    const std::uint32_t d = 25000;
    ASSERT_EQ(bytes.size(), d + 90);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(Le32(bytes, 4), d + 82);
    EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(Le32(bytes, 16), 50u);
    EXPECT_EQ(Le16(bytes, 20), 1); // PCM
    EXPECT_EQ(Le16(bytes, 22), 1); // mono
    EXPECT_EQ(Le32(bytes, 24), 8000u); // rate
    EXPECT_EQ(Le32(bytes, 28), 16000u); // bytes per second
    EXPECT_EQ(Le16(bytes, 32), 2); // block alignment
    EXPECT_EQ(Le16(bytes, 34), 16); // bits
    EXPECT_EQ(bytes.substr(36, 34), std::string(34, '\0'));
    EXPECT_EQ(bytes.substr(70, 4), "fact");
    EXPECT_EQ(Le32(bytes, 74), 4u);
    EXPECT_EQ(Le32(bytes, 78), 0u);
    EXPECT_EQ(bytes.substr(82, 4), "data");
    EXPECT_EQ(Le32(bytes, 86), d);
    EXPECT_EQ(bytes.substr(90), std::string(reinterpret_cast<const char*>(tone.data()), d));
    EXPECT_FALSE(fs::exists(path + "ACM_Temp"));

    const SoundFile read = ReadSoundFile(path);
    ASSERT_TRUE(read.opened);
    EXPECT_EQ(read.rate, 8000);
    EXPECT_EQ(read.channels, 1);
    EXPECT_EQ(read.frames, 12500);
}

TEST_F(RecorderTest, KeepsWhatTheResetHandsBackWhenStoppedBeforeABufferFilled)
{
    const std::string path = PathOf("short.wav");
    ASSERT_EQ(Record(path, Tone(1500)), AudioResult());
    EXPECT_EQ(fs::file_size(path), 3000u + 90);
    EXPECT_EQ(ReadSoundFile(path).frames, 1500);
}

TEST_F(RecorderTest, AnEmptyCaptureGivesMinus4LeavesNoFilesAndAllowsTheNextRecording)
{
    const std::string path = PathOf("empty.wav");
    EXPECT_EQ(Record(path, {}), AudioError::NothingCaptured);
    EXPECT_FALSE(m_recorder.IsRecording());
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(fs::exists(path + "ACM_Temp"));
    EXPECT_EQ(Record(path, Tone(100)), AudioResult());
    EXPECT_EQ(fs::file_size(path), 290u);
}

TEST_F(RecorderTest, StartOrFormatChangeWhileRecordingAndStopWhileIdleAreRefused)
{
    EXPECT_EQ(m_recorder.StopRecording(), AudioError::NotRecording);
    const std::string path = PathOf("first.wav");
    ASSERT_EQ(m_recorder.StartRecording(path.c_str(), LineId()), AudioResult());
    EXPECT_EQ(
        m_recorder.StartRecording(PathOf("second.wav").c_str(), LineId()), AudioError::RecordingInProgress);
    EXPECT_EQ(m_recorder.FindFormat("GSM 6.10 , 8.000 kHz, Mono"), AudioError::RecordingInProgress);
    EXPECT_EQ(m_recorder.ChooseFormat(nullptr), AudioError::RecordingInProgress);
    EXPECT_EQ(Description(m_recorder), "PCM , 8,000 Hz, 16 Bit, Mono");
    m_line->Push(Tone(400));
    ASSERT_EQ(m_recorder.StopRecording(), AudioResult());
    EXPECT_FALSE(fs::exists(PathOf("second.wav")));
    EXPECT_EQ(fs::file_size(path), 890u);
}

TEST_F(RecorderTest, PauseAndResumeCaptureWithTheirCodes)
{
    const std::string path = PathOf("paused.wav");
    EXPECT_EQ(m_recorder.Pause(2), AudioError::NotRecording);
    EXPECT_EQ(m_recorder.Resume(2), AudioError::NotRecording);
    ASSERT_EQ(m_recorder.StartRecording(path.c_str(), LineId()), AudioResult());
    EXPECT_EQ(m_recorder.Resume(2), AudioError::NotPaused);
    m_line->Push(Tone(1000));
    EXPECT_EQ(m_recorder.Pause(2), AudioResult());
    EXPECT_FALSE(m_line->Running());
    EXPECT_EQ(m_recorder.Pause(2), AudioError::AlreadyPaused);
    EXPECT_EQ(m_recorder.Pause(3), AudioError::UnknownTarget);
    EXPECT_EQ(m_recorder.Resume(0), AudioError::UnknownTarget);
    EXPECT_FALSE(m_line->Push(Tone(1000))); // nothing arrives while paused
    EXPECT_EQ(m_recorder.Resume(2), AudioResult());
    EXPECT_EQ(m_recorder.Resume(2), AudioError::NotPaused);
    m_line->Push(Tone(500));
    ASSERT_EQ(m_recorder.StopRecording(), AudioResult());
    EXPECT_EQ(ReadSoundFile(path).frames, 1500);
}

// Two recordings of one device take turns: the one set aside frees the device for the other and
// goes on in its own file when taken back; the format stays fixed while one waits.
TEST_F(RecorderTest, ARecordingSetAsideFreesTheDeviceAndGoesOnInItsFileWhenTakenBack)
{
    const std::string first = PathOf("first.wav");
    const std::string second = PathOf("second.wav");
    EXPECT_EQ(m_recorder.SetAsideRecording(1), AudioError::NotRecording);
    ASSERT_EQ(m_recorder.StartRecording(first.c_str(), LineId()), AudioResult());
    m_line->Push(Tone(1000));
    ASSERT_EQ(m_recorder.SetAsideRecording(1), AudioResult());
    EXPECT_TRUE(m_recorder.HasSetAsideRecording(1));
    EXPECT_FALSE(m_recorder.IsRecording());
    EXPECT_EQ(m_recorder.FindFormat("PCM"), AudioError::RecordingInProgress);
    ASSERT_EQ(m_recorder.StartRecording(second.c_str(), LineId()), AudioResult()) << "the device is free";
    m_line->Push(Tone(700, 1500));
    EXPECT_EQ(m_recorder.TakeBackRecording(1), AudioError::RecordingInProgress);
    ASSERT_EQ(m_recorder.SetAsideRecording(2), AudioResult());
    ASSERT_EQ(m_recorder.TakeBackRecording(1), AudioResult());
    EXPECT_FALSE(m_recorder.HasSetAsideRecording(1));
    m_line->Push(Tone(500));
    ASSERT_EQ(m_recorder.StopRecording(), AudioResult());
    EXPECT_EQ(m_recorder.StopSetAsideRecording(2), AudioResult());
    EXPECT_EQ(m_recorder.StopSetAsideRecording(2), AudioError::NotRecording);
    EXPECT_EQ(ReadSoundFile(first).frames, 1500);
    EXPECT_EQ(ReadSoundFile(second).frames, 700);
}

TEST_F(RecorderTest, RefusesOverlongPathsAndReportsADeviceThatCannotOpen)
{
    const std::string longPath = "/tmp/" + std::string(243, 'x');
    ASSERT_EQ(longPath.size(), 248u);
    EXPECT_EQ(m_recorder.StartRecording(longPath.c_str(), LineId()), AudioError::InvalidPath);
    EXPECT_EQ(m_recorder.StartRecording(nullptr, LineId()), AudioError::InvalidPath);
    EXPECT_FALSE(m_recorder.IsRecording());

    const std::string path = PathOf("nodevice.wav");
    EXPECT_EQ(m_recorder.StartRecording(path.c_str(), std::int16_t(waveInGetNumDevs())),
        AudioResult::Platform(MMSYSERR_BADDEVICEID));
    EXPECT_FALSE(m_recorder.IsRecording());
    EXPECT_TRUE(fs::exists(path)); // the capture file stays, empty
    EXPECT_EQ(fs::file_size(path), 0u);
    // The line's device was released again.
    EXPECT_EQ(Record(PathOf("after.wav"), Tone(10)), AudioResult());
}

// While capturing, the file on disk is a WAVE file whose sizes follow the audio buffer by buffer;
// cut anywhere, libsndfile still opens it, and the repair makes it whole for our own reader too.
TEST_F(RecorderTest, TheFilePlaysWhileRecordingAndWhereverItIsCut)
{
    const std::string path = PathOf("growing.wav");
    ASSERT_EQ(m_recorder.StartRecording(path.c_str(), LineId()), AudioResult());
    EXPECT_EQ(fs::file_size(path), 90u) << "the header is there before any audio";
    EXPECT_EQ(ReadSoundFile(path).frames, 0);
    const auto tone = Tone(20000);
    for (std::size_t at = 0; at < tone.size(); at += 5000) {
        m_line->Push(std::vector<std::int16_t>(
            tone.begin() + std::ptrdiff_t(at), tone.begin() + std::ptrdiff_t(at + 5000)));
        const std::string bytes = ReadBytes(path);
        EXPECT_EQ(Le32(bytes, 86), bytes.size() - 90) << "each full buffer updates the sizes";
        EXPECT_EQ(Le32(bytes, 4), bytes.size() - 8);
        EXPECT_EQ(ReadSoundFile(path).frames, std::int64_t(at + 5000));
    }
    const std::string snapshot = ReadBytes(path);
    ASSERT_EQ(m_recorder.StopRecording(), AudioResult());
    EXPECT_EQ(ReadBytes(path), snapshot) << "the finished file is laid out as the growing one";

    const std::string cut = PathOf("cut.wav");
    for (std::size_t length = 90; length < snapshot.size(); length += 1999) {
        WriteBytes(cut, snapshot.substr(0, length));
        const SoundFile read = ReadSoundFile(cut);
        ASSERT_TRUE(read.opened) << length;
        EXPECT_EQ(RecordingFile::Repair(cut).result, RecordingFile::RepairResult::Repaired) << length;
        const std::string repaired = ReadBytes(cut);
        EXPECT_EQ(Le32(repaired, 86), (length - 90) / 2 * 2);
        platform::WaveFileReader reader;
        ASSERT_EQ(reader.Open(cut), MMSYSERR_NOERROR) << length;
        EXPECT_EQ(reader.Frames(), (length - 90) / 2);
        EXPECT_EQ(ReadSoundFile(cut).samples,
            std::vector<std::int16_t>(tone.begin(), tone.begin() + std::ptrdiff_t((length - 90) / 2)));
        EXPECT_EQ(RecordingFile::Repair(cut).result, RecordingFile::RepairResult::Finished)
            << "repaired once";
    }
}

TEST_F(RecorderTest, AFullDiskStopsTheRecordingOnceAndKeepsWhatWasWrittenPlayable)
{
    const std::string path = PathOf("full.wav");
    int failures = 0;
    m_recorder.SetWriteFailureHandler([&] { ++failures; });
    const auto tone = Tone(40000);
    {
        FileSizeLimit limit(30000);
        ASSERT_EQ(m_recorder.StartRecording(path.c_str(), LineId()), AudioResult());
        m_line->Push(tone);
        EXPECT_TRUE(m_recorder.WriteFailed());
        EXPECT_EQ(m_recorder.StopRecording(), AudioResult::Platform(MMIOERR_CANNOTWRITE));
    }
    EXPECT_EQ(failures, 1) << "told once, not per buffer";
    EXPECT_FALSE(m_recorder.IsRecording());
    const SoundFile read = ReadSoundFile(path);
    ASSERT_TRUE(read.opened);
    EXPECT_GE(read.frames, 10000) << "the buffers before the disk filled";
    EXPECT_LE(read.frames, (30000 - 90) / 2);
    EXPECT_EQ(read.samples, std::vector<std::int16_t>(tone.begin(), tone.begin() + read.frames));
    EXPECT_EQ(RecordingFile::Repair(path).result, RecordingFile::RepairResult::Finished);
    platform::WaveFileReader reader;
    EXPECT_EQ(reader.Open(path), MMSYSERR_NOERROR);

    // The next recording starts afresh.
    EXPECT_EQ(Record(PathOf("after.wav"), Tone(1000)), AudioResult());
    EXPECT_FALSE(m_recorder.WriteFailed());
    EXPECT_EQ(failures, 1);
}

TEST_F(RecorderTest, DestructionFinishesARecordingInProgress)
{
    const std::string path = PathOf("destroyed.wav");
    {
        WaveRecorder recorder;
        ASSERT_EQ(recorder.StartRecording(path.c_str(), LineId()), AudioResult());
        m_line->Push(Tone(2000));
    }
    EXPECT_EQ(ReadSoundFile(path).frames, 2000);
}

TEST_F(RecorderTest, TheLevelFollowsTheInputAndShowsLoudLevelsAsFullScale)
{
    std::uint8_t level = 7;
    EXPECT_EQ(m_recorder.GetLevel(nullptr), AudioError::MissingOutParameter);
    ASSERT_EQ(m_recorder.GetLevel(&level), AudioResult());
    EXPECT_EQ(level, 0);
    ASSERT_EQ(m_recorder.StartRecording(PathOf("level.wav").c_str(), LineId()), AudioResult());
    m_line->Push(std::vector<std::int16_t>(5000, 8192)); // a quarter of full scale: level 128
    ASSERT_EQ(m_recorder.GetLevel(&level), AudioResult());
    EXPECT_EQ(level, 128);
    m_line->Push(std::vector<std::int16_t>(5000, -32768)); // level 512 shows as 255
    ASSERT_EQ(m_recorder.GetLevel(&level), AudioResult());
    EXPECT_EQ(level, 255);
    m_recorder.StopRecording();
}

TEST_F(RecorderTest, FormatDescriptionStartsAsPcmAndReportsItsCodes)
{
    EXPECT_EQ(Description(m_recorder), "PCM , 8,000 Hz, 16 Bit, Mono");
    char small[4];
    EXPECT_EQ(m_recorder.GetFormatDescription(nullptr, 200), AudioError::MissingOutParameter);
    EXPECT_EQ(m_recorder.GetFormatDescription(small, 0), AudioError::BufferTooSmall);
    EXPECT_EQ(m_recorder.GetFormatDescription(small, sizeof small), AudioResult());
    EXPECT_STREQ(small, "PCM");
}

TEST_F(RecorderTest, FindFormatMatchesTheExactTextOnly)
{
    EXPECT_EQ(m_recorder.FindFormat(""), AudioError::FormatNotFound);
    EXPECT_EQ(m_recorder.FindFormat(" GSM 6.10 , 8.000 kHz, Mono"), AudioError::FormatNotFound);
    EXPECT_EQ(m_recorder.FindFormat(nullptr), AudioError::FormatNotFound);
    EXPECT_EQ(Description(m_recorder), "PCM , 8,000 Hz, 16 Bit, Mono");
    ASSERT_EQ(m_recorder.FindFormat("PCM , 8.000 kHz, 16 Bit, Mono"), AudioResult());
    EXPECT_EQ(Description(m_recorder), "PCM , 8.000 kHz, 16 Bit, Mono");

    // With compression on, a PCM recording format still records plain PCM.
    m_recorder.SetCompression(1);
    const auto tone = Tone(800);
    const std::string path = PathOf("pcm.wav");
    ASSERT_EQ(Record(path, tone), AudioResult());
    const std::string bytes = ReadBytes(path);
    EXPECT_EQ(bytes.substr(90), std::string(reinterpret_cast<const char*>(tone.data()), 1600));
    EXPECT_EQ(Le32(bytes, 78), 800u);
}

TEST_F(RecorderTest, ChooseFormatCancelsWithoutAChooserAndKeepsAChosenFormatOverCancels)
{
    EXPECT_EQ(m_recorder.ChooseFormat(nullptr), AudioResult());
    EXPECT_EQ(Description(m_recorder), "PCM , 8,000 Hz, 16 Bit, Mono");
    int offered = 0;
    acmSetFormatChooser([&](const std::vector<AcmFormatChoice>& choices, int, const std::string&, void*) {
        offered = int(choices.size());
        return int(choices.size()) - 1;
    });
    ASSERT_EQ(m_recorder.ChooseFormat(nullptr), AudioResult());
    EXPECT_EQ(offered, 6);
    EXPECT_EQ(Description(m_recorder), "GSM 6.10 , 8.000 kHz, Mono");
    acmSetFormatChooser([](const auto&, int, const auto&, void*) { return -1; });
    EXPECT_EQ(m_recorder.ChooseFormat(nullptr), AudioResult());
    EXPECT_EQ(m_recorder.ChooseFormat(nullptr), AudioResult());
    acmSetFormatChooser(nullptr);
    EXPECT_EQ(Description(m_recorder), "GSM 6.10 , 8.000 kHz, Mono");
    m_recorder.SetCompression(1);
    const std::string path = PathOf("chosen.wav");
    ASSERT_EQ(Record(path, Tone(3200)), AudioResult());
    EXPECT_EQ(Le16(ReadBytes(path), 20), 0x31);
}

TEST_F(RecorderTest, CountsSamplesOfACompressedRecordingFromItsBlocks)
{
    // 32,500 bytes of GSM 6.10 at 1,625 bytes per second hold 160,000 samples.
    ASSERT_EQ(m_recorder.FindFormat("GSM 6.10 , 8.000 kHz, Mono"), AudioResult());
    m_recorder.SetCompression(1);
    const std::string path = PathOf("gsm.wav");
    ASSERT_EQ(Record(path, Tone(160000), 4000), AudioResult());
    const std::string bytes = ReadBytes(path);
    EXPECT_EQ(Le32(bytes, 86), 32500u);
    EXPECT_EQ(Le32(bytes, 78), 160000u);
    EXPECT_EQ(bytes.size(), 32500u + 90);
}

// Every format the recorder writes is read back by libsndfile with the right rate and length, and a
// 1 kHz tone keeps its frequency and an SNR that fits the codec.
struct FormatCase {
    const char* name;
    const char* description;
    std::int64_t frames; // 20,000 samples recorded, completed to whole blocks
    double minSnrDb;
};

void PrintTo(const FormatCase& c, std::ostream* os)
{
    *os << c.description;
}

class RecorderFormats : public RecorderTest, public testing::WithParamInterface<FormatCase> { };

TEST_P(RecorderFormats, WritesFilesThatStandardReadersDecode)
{
    ASSERT_EQ(m_recorder.FindFormat(GetParam().description), AudioResult());
    m_recorder.SetCompression(1);
    const auto tone = Tone(20000);
    const std::string path = PathOf("format.wav");
    ASSERT_EQ(Record(path, tone, 1234), AudioResult());
    const std::string bytes = ReadBytes(path);
    EXPECT_EQ(Le32(bytes, 16), 50u);
    EXPECT_EQ(bytes.substr(70, 4), "fact");
    EXPECT_EQ(Le32(bytes, 78), std::uint32_t(GetParam().frames));

    const SoundFile read = ReadSoundFile(path);
    ASSERT_TRUE(read.opened) << GetParam().description;
    EXPECT_EQ(read.rate, 8000);
    EXPECT_EQ(read.channels, 1);
    EXPECT_EQ(read.frames, GetParam().frames);
    ASSERT_GE(read.samples.size(), 20000u);
    EXPECT_GT(ToneShare(read.samples, 2000, 8000, 1000), 0.9);
    EXPECT_GT(SnrDb(tone, read.samples, 2000, 8000), GetParam().minSnrDb);
}

// Coded formats: the sizes describe whole blocks (an even number of bytes) at every update and
// after a repair, so every reader decodes what is there.
TEST_P(RecorderFormats, CutFilesHoldWholeBlocks)
{
    ASSERT_EQ(m_recorder.FindFormat(GetParam().description), AudioResult());
    m_recorder.SetCompression(1);
    const std::string path = PathOf("coded.wav");
    ASSERT_EQ(m_recorder.StartRecording(path.c_str(), LineId()), AudioResult());
    const auto tone = Tone(20000);
    m_line->Push(tone);
    const std::string snapshot = ReadBytes(path);
    const std::uint16_t block = Le16(snapshot, 32);
    const std::uint32_t data = Le32(snapshot, 86);
    EXPECT_GT(data, 0u);
    EXPECT_EQ(data % block, 0u);
    EXPECT_EQ(data % 2, 0u);
    ASSERT_EQ(m_recorder.StopRecording(), AudioResult());
    const std::string cut = PathOf("cut.wav");
    for (std::size_t length = 90; length < snapshot.size(); length += 777) {
        WriteBytes(cut, snapshot.substr(0, length));
        ASSERT_TRUE(ReadSoundFile(cut).opened) << length;
        RecordingFile::Repair(cut);
        const std::uint32_t kept = Le32(ReadBytes(cut), 86);
        EXPECT_EQ(kept % block, 0u);
        EXPECT_EQ(kept % 2, 0u);
        EXPECT_LE(length - 90 - kept, 2u * block);
        platform::WaveFileReader reader;
        EXPECT_EQ(reader.Open(cut), MMSYSERR_NOERROR) << length;
        const SoundFile read = ReadSoundFile(cut);
        // The "fact" count of G.711 goes by the byte rate in double precision and may be one short.
        EXPECT_LE(std::uint64_t(read.frames) - reader.Frames(), 1u) << length;
        if (read.frames >= 1600) {
            EXPECT_GT(ToneShare(read.samples, read.samples.size() - 800, 800, 1000), 0.9) << length;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Every, RecorderFormats,
    testing::Values(FormatCase{ "Pcm8", "PCM , 8.000 kHz, 8 Bit, Mono", 20000, 35 },
        FormatCase{ "ALaw", "CCITT A-Law , 8.000 kHz, 8 Bit, Mono", 20000, 30 },
        FormatCase{ "ULaw", "CCITT u-Law , 8.000 kHz, 8 Bit, Mono", 20000, 30 },
        FormatCase{ "ImaAdpcm", "IMA ADPCM , 8.000 kHz, 4 Bit, Mono", 20200, 20 },
        FormatCase{ "Gsm610", "GSM 6.10 , 8.000 kHz, Mono", 20480, 5 }),
    [](const auto& info) { return std::string(info.param.name); });
