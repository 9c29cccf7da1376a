#include "platform/mmsystem.h"
#include "platform/wave_file_reader.h"
#include "support/little_endian.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <random>
#include <string>

using namespace testing_support;
using platform::WaveFileReader;

namespace {

std::string Chunk(const std::string& id, const std::string& body, std::uint32_t size)
{
    return id + Le32(size) + body;
}

std::string PcmFmt(std::uint16_t channels = 1, std::uint32_t rate = 8000, std::uint16_t bits = 16)
{
    const std::uint16_t align = std::uint16_t(channels * bits / 8);
    return Le16(1) + Le16(channels) + Le32(rate) + Le32(rate * align) + Le16(align) + Le16(bits);
}

std::string Wave(const std::string& chunks)
{
    return "RIFF" + Le32(std::uint32_t(4 + chunks.size())) + "WAVE" + chunks;
}

// 100 frames of 16-bit mono: a valid file to damage.
std::string GoodFile()
{
    return Wave(Chunk("LIST", std::string(6, 'x'), 6) + Chunk("fmt ", PcmFmt(), 16)
        + Chunk("data", std::string(200, '\x10'), 200));
}

} // namespace

TEST(WaveFileReader, ReadsChunksInAnyOrderAndSkipsUnknownOnes)
{
    TempDir dir;
    WriteBytes(dir / "a.wav", GoodFile());
    WaveFileReader reader;
    ASSERT_EQ(reader.Open((dir / "a.wav").string()), MMSYSERR_NOERROR);
    EXPECT_EQ(reader.Frames(), 100u);
    EXPECT_EQ(reader.Rate(), 8000u);
    std::int16_t frame[8];
    ASSERT_TRUE(reader.Seek(99));
    EXPECT_TRUE(reader.ReadFrame(frame));
    EXPECT_EQ(frame[0], 0x1010);
    EXPECT_FALSE(reader.ReadFrame(frame));
    EXPECT_FALSE(reader.Seek(101));
}

struct BadFile {
    const char* name;
    std::string bytes;
    MCIERROR error;
};

void PrintTo(const BadFile& file, std::ostream* os)
{
    *os << file.name;
}

class WaveFileReaderRefuses : public testing::TestWithParam<BadFile> { };

TEST_P(WaveFileReaderRefuses, DamagedFiles)
{
    TempDir dir;
    WriteBytes(dir / "bad.wav", GetParam().bytes);
    WaveFileReader reader;
    EXPECT_EQ(reader.Open((dir / "bad.wav").string()), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(Table, WaveFileReaderRefuses,
    testing::Values(BadFile{ "Empty", "", MCIERR_INVALID_FILE },
        BadFile{ "HeaderOnly", "RIFF", MCIERR_INVALID_FILE },
        BadFile{ "NotWave", "RIFF" + Le32(4) + "AVI ", MCIERR_INVALID_FILE },
        BadFile{ "Text", "hello, world, this is text", MCIERR_INVALID_FILE },
        BadFile{ "NoFormat", Wave(Chunk("data", "abcd", 4)), MCIERR_INVALID_FILE },
        BadFile{ "NoData", Wave(Chunk("fmt ", PcmFmt(), 16)), MCIERR_INVALID_FILE },
        BadFile{
            "ShortFormat", Wave(Chunk("fmt ", "abcd", 4) + Chunk("data", "ab", 2)), MCIERR_INVALID_FILE },
        BadFile{ "HugeFormat", Wave(Chunk("fmt ", PcmFmt(), 0xFFFFFFF0u) + Chunk("data", "ab", 2)),
            MCIERR_INVALID_FILE },
        BadFile{ "HugeData", Wave(Chunk("fmt ", PcmFmt(), 16) + Chunk("data", "abcd", 0x7FFFFFFFu)),
            MCIERR_INVALID_FILE },
        BadFile{ "HugeSkippedChunk", Wave(Chunk("junk", "", 0xFFFFFFFFu) + Chunk("fmt ", PcmFmt(), 16)),
            MCIERR_INVALID_FILE },
        BadFile{ "TruncatedData", GoodFile().substr(0, 100), MCIERR_INVALID_FILE },
        BadFile{ "ZeroChannels", Wave(Chunk("fmt ", PcmFmt(0), 16) + Chunk("data", "ab", 2)),
            MCIERR_INVALID_FILE },
        BadFile{ "OddBits", Wave(Chunk("fmt ", PcmFmt(1, 8000, 12), 16) + Chunk("data", "ab", 2)),
            MCIERR_INVALID_FILE },
        BadFile{
            "ZeroRate", Wave(Chunk("fmt ", PcmFmt(1, 0), 16) + Chunk("data", "ab", 2)), MCIERR_INVALID_FILE },
        // A playback device would be asked for billions of frames a second.
        BadFile{ "AbsurdRate", Wave(Chunk("fmt ", PcmFmt(1, 4000000000u), 16) + Chunk("data", "ab", 2)),
            MCIERR_INVALID_FILE },
        BadFile{ "UnknownCodec",
            Wave(Chunk("fmt ", Le16(0x55) + PcmFmt().substr(2), 16) + Chunk("data", "ab", 2)),
            MCIERR_INVALID_FILE }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WaveFileReader, NeverFailsHardOnAnyTruncationOrDamage)
{
    TempDir dir;
    const std::string good = GoodFile();
    const auto path = (dir / "cut.wav").string();
    for (std::size_t length = 0; length < good.size(); ++length) {
        WriteBytes(path, good.substr(0, length));
        WaveFileReader reader;
        EXPECT_NE(reader.Open(path), MMSYSERR_NOERROR) << length;
    }
    std::mt19937 random(4);
    for (int round = 0; round < 300; ++round) {
        std::string damaged = good;
        for (int flips = 0; flips < 4; ++flips)
            damaged[random() % damaged.size()] = char(random());
        WriteBytes(path, damaged);
        WaveFileReader reader;
        if (reader.Open(path) != MMSYSERR_NOERROR)
            continue;
        std::int16_t frame[8];
        std::uint64_t frames = 0;
        while (reader.ReadFrame(frame))
            ++frames;
        EXPECT_LE(frames, reader.Frames());
    }
}

namespace {

// A sparse file of `size` bytes that starts with `head`: costs no disk.
void WriteSparse(const std::filesystem::path& path, const std::string& head, off_t size)
{
    WriteBytes(path, head);
    ASSERT_EQ(::truncate(path.c_str(), size), 0);
}

} // namespace

TEST(WaveFileReader, RefusesHugeAndSpecialFilesAtOnce)
{
    TempDir dir;
    constexpr off_t kTwoGigabytes = off_t(2) << 30;
    WriteSparse(dir / "zeros.wav", "", kTwoGigabytes);
    // A valid header followed by zeros: 268 million empty chunks to walk.
    WriteSparse(dir / "riff-zeros.wav", "RIFF" + Le32(0xFFFFFFFFu) + "WAVE", kTwoGigabytes);
    std::string manyChunks;
    for (int i = 0; i < 300; ++i)
        manyChunks += Chunk("junk", "", 0);
    WriteBytes(dir / "many-chunks.wav", Wave(manyChunks + Chunk("fmt ", PcmFmt(), 16) + Chunk("data", "ab", 2)));
    // A FIFO with a writer and some text in it: opening it must neither block nor read it.
    ASSERT_EQ(::mkfifo((dir / "fifo.wav").c_str(), 0600), 0);
    const int fifo = ::open((dir / "fifo.wav").c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(fifo, 0);
    ASSERT_EQ(::write(fifo, "not a wave!!", 12), 12);
    for (const std::string& path : { (dir / "zeros.wav").string(), (dir / "riff-zeros.wav").string(),
             (dir / "many-chunks.wav").string(), (dir / "fifo.wav").string(), dir.Path().string(),
             std::string("/dev/zero") }) {
        const auto start = std::chrono::steady_clock::now();
        WaveFileReader reader;
        EXPECT_EQ(reader.Open(path), MCIERR_INVALID_FILE) << path;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << path;
    }
    ::close(fifo);
}

TEST(Mmio, CreatesChunksThatFixTheirSizeAndPadOddData)
{
    TempDir dir;
    const auto path = (dir / "chunks.riff").string();
    MmioHandle file(mmioOpen(path.c_str(), nullptr, MMIO_CREATE | MMIO_READWRITE));
    ASSERT_TRUE(file);
    MMCKINFO riff{ 0, 0, mmioFOURCC('T', 'E', 'S', 'T'), 0, 0 };
    ASSERT_EQ(mmioCreateChunk(file.get(), &riff, MMIO_CREATERIFF), MMSYSERR_NOERROR);
    MMCKINFO odd{ mmioFOURCC('o', 'd', 'd', ' '), 0, 0, 0, 0 };
    ASSERT_EQ(mmioCreateChunk(file.get(), &odd, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioWrite(file.get(), "abc", 3), 3);
    ASSERT_EQ(mmioAscend(file.get(), &odd, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioAscend(file.get(), &riff, 0), MMSYSERR_NOERROR);
    file.reset();
    EXPECT_EQ(ReadBytes(path), "RIFF" + Le32(16) + "TESTodd " + Le32(3) + std::string("abc\0", 4));

    file.reset(mmioOpen(path.c_str(), nullptr, MMIO_READ));
    MMCKINFO found{ 0, 0, mmioFOURCC('T', 'E', 'S', 'T'), 0, 0 };
    ASSERT_EQ(mmioDescend(file.get(), &found, nullptr, MMIO_FINDRIFF), MMSYSERR_NOERROR);
    MMCKINFO missing{ mmioFOURCC('n', 'o', 'n', 'e'), 0, 0, 0, 0 };
    EXPECT_EQ(mmioDescend(file.get(), &missing, &found, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND);
    EXPECT_EQ(mmioOpen((dir / "nothing").c_str(), nullptr, MMIO_READ), nullptr);
    EXPECT_NE(mmioOpen(path.c_str(), nullptr, MMIO_DELETE), nullptr);
    EXPECT_EQ(mmioOpen(path.c_str(), nullptr, MMIO_DELETE), nullptr);
}
