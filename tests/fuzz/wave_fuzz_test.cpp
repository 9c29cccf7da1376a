// Both WAVE readers, the platform's (sound files) and the service's (far-end audio for "play"),
// on files built from random chunks: random ids, sizes that lie, formats of every kind. Neither
// may crash, hang or read past what it reports.
#include "random_text.h"

#include "platform/mmsystem.h"
#include "platform/wave_file_reader.h"
#include "support/little_endian.h"
#include "support/temp_dir.h"
#include "tapisim.h"

#include <gtest/gtest.h>

using platform::WaveFileReader;

using testing_support::Le16;
using testing_support::Le32;

namespace {

template <class T> T OneOf(std::mt19937& random, std::initializer_list<T> values)
{
    return values.begin()[random() % values.size()];
}

struct Format {
    std::uint16_t tag, channels, bits, align;
};

// A format record of every kind we decode (PCM, float, A-law, mu-law, IMA ADPCM, GSM), now and
// then in the extensible record, now and then with a field that makes no sense.
std::string RandomFormat(std::mt19937& random)
{
    Format f = OneOf<Format>(random,
        { { 1, 1, 16, 2 }, { 1, 2, 16, 4 }, { 1, 1, 8, 1 }, { 3, 1, 32, 4 }, { 6, 1, 8, 1 }, { 7, 2, 8, 2 },
            { 0x11, 1, 4, 256 }, { 0x11, 2, 4, 512 }, { 0x31, 1, 0, 65 } });
    std::uint32_t rate = OneOf<std::uint32_t>(random, { 8000, 8000, 44100, 4000, 0, 4000000000u });
    if (random() % 4 == 0) {
        std::uint16_t* fields[] = { &f.tag, &f.channels, &f.bits, &f.align };
        *fields[random() % 4] = OneOf<std::uint16_t>(random, { 0, 1, 3, 9, 12, 0x55, 0xFFFF });
    }
    std::string extra;
    if (random() % 5 == 0) {
        extra = Le16(f.bits) + Le32(0) + Le16(f.tag) + fuzz::RandomText(random, 14, std::string(1, '\0'));
        f.tag = 0xFFFE;
    }
    return Le16(f.tag) + Le16(f.channels) + Le32(rate) + Le32(rate * f.align) + Le16(f.align) + Le16(f.bits)
        + Le16(OneOf<std::uint16_t>(random, { std::uint16_t(extra.size()), 0, 0xFFFF })) + extra;
}

// A chunk whose size is true, or now and then a lie.
std::string Chunk(std::mt19937& random, const std::string& id, const std::string& body)
{
    const std::uint32_t size = random() % 6 ? std::uint32_t(body.size())
                                            : OneOf<std::uint32_t>(random,
                                                { std::uint32_t(body.size() + 1), std::uint32_t(body.size() / 2), 0,
                                                    0xFFFFFFFFu, 0x7FFFFFFFu });
    return id + Le32(size) + body + (body.size() % 2 ? std::string(1, '\0') : "");
}

std::string RandomChunk(std::mt19937& random)
{
    const std::string id
        = OneOf<std::string>(random, { "fmt ", "fact", "LIST", "junk", "RIFF", std::string(4, '\0') });
    return Chunk(random, id, id == "fmt " ? RandomFormat(random) : fuzz::RandomText(random, 40, std::string(1, '\0')));
}

std::string RandomWave(std::mt19937& random)
{
    std::vector<std::string> chunks = { Chunk(random, "fmt ", RandomFormat(random)),
        Chunk(random, "data", fuzz::RandomText(random, 1200, std::string(1, '\0'))) };
    for (int count = int(random() % 4); count > 0; --count)
        chunks.insert(chunks.begin() + std::ptrdiff_t(random() % (chunks.size() + 1)), RandomChunk(random));
    std::string body;
    for (const auto& chunk : chunks)
        body += chunk;
    const std::uint32_t size = random() % 6 ? std::uint32_t(4 + body.size()) : std::uint32_t(random());
    const std::string wave = "RIFF" + Le32(size) + (random() % 20 ? "WAVE" : "AVI ") + body;
    return random() % 5 == 0 ? fuzz::Mutate(random, wave) : wave;
}

// Reads the whole file and jumps about in it.
void ExpectBoundedReading(WaveFileReader& reader, std::mt19937& random)
{
    ASSERT_GE(reader.Channels(), 1u);
    ASSERT_LE(reader.Channels(), 8u);
    std::int16_t frame[8];
    std::uint64_t frames = 0;
    while (reader.ReadFrame(frame))
        ASSERT_LE(++frames, reader.Frames());
    for (int jump = 0; jump < 4; ++jump) {
        const std::uint64_t to = random() % (reader.Frames() + 2);
        ASSERT_EQ(reader.Seek(to), to <= reader.Frames());
        reader.ReadFrame(frame);
        ASSERT_LE(reader.Position(), reader.Frames());
    }
}

class FuzzWave : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(tapisimUseManualClock(1), TAPISIM_OK); }
    void TearDown() override { tapisimReset(); }
};

} // namespace

TEST_F(FuzzWave, BothReadersRefuseOrReadWithinTheFile)
{
    testing_support::TempDir dir;
    const auto path = (dir / "random.wav").string();
    std::mt19937 random(20);
    int opened = 0;
    for (int round = 0; round < 3000; ++round) {
        testing_support::WriteBytes(path, RandomWave(random));
        WaveFileReader reader;
        const MCIERROR error = reader.Open(path);
        ASSERT_TRUE(error == MMSYSERR_NOERROR || error == MCIERR_INVALID_FILE) << error;
        if (error == MMSYSERR_NOERROR) {
            ++opened;
            ExpectBoundedReading(reader, random);
        }
        const LONG played = tapisimSetFarEndWave(0, path.c_str());
        ASSERT_TRUE(played == TAPISIM_OK || played == TAPISIM_E_FILE) << played;
    }
    EXPECT_GT(opened, 100) << "the generator must reach the decoders too";
}
