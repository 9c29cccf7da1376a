#include "platform/audio_codec.h"
#include "platform/msacm.h"
#include "support/case_name.h"
#include "tone.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

constexpr WAVEFORMATEX kPcm8k{ WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0 };

struct Offered {
    std::vector<std::string> texts;
    std::vector<std::vector<std::uint8_t>> formats;
    HACMDRIVER driver = nullptr;
};

BOOL OnFormat(HACMDRIVERID, ACMFORMATDETAILSA* details, DWORD_PTR instance, DWORD)
{
    auto* offered = reinterpret_cast<Offered*>(instance);
    ACMFORMATTAGDETAILSA tag{};
    tag.cbStruct = sizeof tag;
    tag.dwFormatTag = details->dwFormatTag;
    EXPECT_EQ(acmFormatTagDetailsA(offered->driver, &tag, ACM_FORMATTAGDETAILSF_FORMATTAG), MMSYSERR_NOERROR);
    offered->texts.push_back(std::string(tag.szFormatTag) + " , " + details->szFormat);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(details->pwfx);
    offered->formats.emplace_back(bytes, bytes + sizeof(WAVEFORMATEX) + details->pwfx->cbSize);
    return 1;
}

BOOL OnDriver(HACMDRIVERID id, DWORD_PTR instance, DWORD)
{
    auto* offered = reinterpret_cast<Offered*>(instance);
    DWORD maxSize = 0;
    EXPECT_EQ(acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &maxSize), MMSYSERR_NOERROR);
    std::vector<std::uint8_t> buffer(maxSize);
    std::memcpy(buffer.data(), &kPcm8k, sizeof kPcm8k);
    ACMFORMATDETAILSA details{};
    details.cbStruct = sizeof details;
    details.pwfx = reinterpret_cast<WAVEFORMATEX*>(buffer.data());
    details.cbwfx = maxSize;
    EXPECT_EQ(acmDriverOpen(&offered->driver, id, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(acmFormatEnumA(offered->driver, &details, OnFormat, instance, ACM_FORMATENUMF_CONVERT),
        MMSYSERR_NOERROR);
    acmDriverClose(offered->driver, 0);
    return 1;
}

Offered EnumerateAll()
{
    Offered offered;
    EXPECT_EQ(acmDriverEnum(OnDriver, reinterpret_cast<DWORD_PTR>(&offered), ACM_DRIVERENUMF_NOLOCAL),
        MMSYSERR_NOERROR);
    return offered;
}

// Converts `samples` in buffers of 10,000 bytes as the recorder does, then flushes the stream.
std::vector<std::uint8_t> Encode(
    const std::vector<std::uint8_t>& format, const std::vector<std::int16_t>& samples)
{
    HACMSTREAM stream = nullptr;
    const auto* wfx = reinterpret_cast<const WAVEFORMATEX*>(format.data());
    EXPECT_EQ(acmStreamOpen(&stream, nullptr, &kPcm8k, wfx, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME),
        MMSYSERR_NOERROR);
    DWORD size = 0;
    EXPECT_EQ(acmStreamSize(stream, 10000, &size, ACM_STREAMSIZEF_SOURCE), MMSYSERR_NOERROR);
    std::vector<std::uint8_t> out, buffer(size);
    for (std::size_t at = 0; at <= samples.size(); at += 5000) {
        const std::size_t n = std::min<std::size_t>(5000, samples.size() - at);
        ACMSTREAMHEADER header{};
        header.cbStruct = sizeof header;
        header.pbSrc = reinterpret_cast<std::uint8_t*>(const_cast<std::int16_t*>(samples.data() + at));
        header.cbSrcLength = DWORD(n * 2);
        header.pbDst = buffer.data();
        header.cbDstLength = size;
        EXPECT_EQ(acmStreamPrepareHeader(stream, &header, 0), MMSYSERR_NOERROR);
        EXPECT_EQ(acmStreamConvert(stream, &header, n < 5000 ? ACM_STREAMCONVERTF_END : 0), MMSYSERR_NOERROR);
        EXPECT_EQ(header.cbSrcLengthUsed, header.cbSrcLength);
        EXPECT_EQ(acmStreamUnprepareHeader(stream, &header, 0), MMSYSERR_NOERROR);
        out.insert(out.end(), buffer.begin(), buffer.begin() + header.cbDstLengthUsed);
    }
    acmStreamClose(stream, 0);
    return out;
}

std::vector<std::int16_t> Decode(
    const std::vector<std::uint8_t>& format, const std::vector<std::uint8_t>& coded)
{
    const auto* wfx = reinterpret_cast<const WAVEFORMATEX*>(format.data());
    auto decoder = platform::MakeDecoder(*wfx, format.data() + sizeof(WAVEFORMATEX), wfx->cbSize);
    EXPECT_NE(decoder, nullptr);
    std::vector<std::int16_t> out;
    std::vector<std::int16_t> block(decoder->FramesPerBlock());
    for (std::size_t at = 0; at + decoder->BlockBytes() <= coded.size(); at += decoder->BlockBytes()) {
        decoder->DecodeBlock(coded.data() + at, block.data());
        out.insert(out.end(), block.begin(), block.end());
    }
    return out;
}

} // namespace

TEST(CompressionManager, OffersEveryFormatConvertibleFromTelephonePcmWithItsDescription)
{
    const Offered offered = EnumerateAll();
    const std::vector<std::string> expected = {
        "PCM , 8.000 kHz, 16 Bit, Mono",
        "PCM , 8.000 kHz, 8 Bit, Mono",
        "CCITT A-Law , 8.000 kHz, 8 Bit, Mono",
        "CCITT u-Law , 8.000 kHz, 8 Bit, Mono",
        "IMA ADPCM , 8.000 kHz, 4 Bit, Mono",
        "GSM 6.10 , 8.000 kHz, Mono",
    };
    EXPECT_EQ(offered.texts, expected);
    // The block-coded formats carry their samples per block as extra data.
    const auto* gsm = reinterpret_cast<const WAVEFORMATEX*>(offered.formats[5].data());
    EXPECT_EQ(gsm->wFormatTag, 0x31);
    EXPECT_EQ(gsm->nBlockAlign, 65);
    EXPECT_EQ(gsm->nAvgBytesPerSec, 1625u);
    ASSERT_EQ(gsm->cbSize, 2);
    EXPECT_EQ(offered.formats[5][18] | offered.formats[5][19] << 8, 320);
    EXPECT_EQ(offered.formats[4][18] | offered.formats[4][19] << 8, 505);
}

TEST(CompressionManager, OffersNothingToConvertFromOtherSources)
{
    WAVEFORMATEX cd{ WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0 };
    Offered offered;
    std::vector<std::uint8_t> buffer(64);
    std::memcpy(buffer.data(), &cd, sizeof cd);
    ACMFORMATDETAILSA details{};
    details.cbStruct = sizeof details;
    details.pwfx = reinterpret_cast<WAVEFORMATEX*>(buffer.data());
    details.cbwfx = DWORD(buffer.size());
    EXPECT_EQ(acmFormatEnumA(nullptr, &details, OnFormat, reinterpret_cast<DWORD_PTR>(&offered),
                  ACM_FORMATENUMF_CONVERT),
        MMSYSERR_NOERROR);
    EXPECT_TRUE(offered.texts.empty());
}

TEST(CompressionManager, ReportsItsResultCodes)
{
    HACMSTREAM stream = nullptr;
    WAVEFORMATEX gsm{ 0x31, 1, 8000, 1625, 65, 0, 0 };
    EXPECT_EQ(acmStreamOpen(&stream, nullptr, &gsm, &kPcm8k, nullptr, 0, 0, 0), ACMERR_NOTPOSSIBLE);
    WAVEFORMATEX odd{ WAVE_FORMAT_PCM, 1, 11025, 22050, 2, 16, 0 };
    EXPECT_EQ(acmStreamOpen(&stream, nullptr, &kPcm8k, &odd, nullptr, 0, 0, 0), ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(acmStreamSize(nullptr, 10000, nullptr, 0), MMSYSERR_INVALHANDLE);
    WAVEFORMATEX alaw{ 6, 1, 8000, 8000, 1, 8, 0 };
    ASSERT_EQ(acmStreamOpen(&stream, nullptr, &kPcm8k, &alaw, nullptr, 0, 0, 0), MMSYSERR_NOERROR);
    std::vector<std::uint8_t> src(100), dst(10);
    ACMSTREAMHEADER header{};
    header.cbStruct = sizeof header;
    header.pbSrc = src.data();
    header.cbSrcLength = 100;
    header.pbDst = dst.data();
    header.cbDstLength = 10;
    EXPECT_EQ(acmStreamConvert(stream, &header, 0), ACMERR_UNPREPARED);
    ASSERT_EQ(acmStreamPrepareHeader(stream, &header, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(acmStreamConvert(stream, &header, 0), MMSYSERR_INVALPARAM); // 50 samples do not fit 10 bytes
    EXPECT_EQ(acmStreamClose(stream, 0), MMSYSERR_NOERROR);
    ACMFORMATTAGDETAILSA tag{};
    tag.cbStruct = sizeof tag;
    tag.dwFormatTag = 0x55;
    EXPECT_EQ(acmFormatTagDetailsA(nullptr, &tag, ACM_FORMATTAGDETAILSF_FORMATTAG), ACMERR_NOTPOSSIBLE);
}

// A 1 kHz tone through each codec keeps its frequency and an SNR fitting the codec, and every
// sample comes out again (the last block completed with silence; GSM 6.10 ends on a whole pair).
struct CodecCase {
    std::size_t formatIndex;
    double minSnrDb;
    const char* name;
    std::size_t endBlocks = 1; // blocks that may end the stream after the last sample
};

void PrintTo(const CodecCase& c, std::ostream* os)
{
    *os << c.name;
}

class CodecRoundTrip : public testing::TestWithParam<CodecCase> { };

TEST_P(CodecRoundTrip, KeepsAToneAndEverySample)
{
    const Offered offered = EnumerateAll();
    const auto& format = offered.formats[GetParam().formatIndex];
    const auto tone = Tone(12345);
    const auto decoded = Decode(format, Encode(format, tone));
    ASSERT_GE(decoded.size(), tone.size());
    const auto* wfx = reinterpret_cast<const WAVEFORMATEX*>(format.data());
    const std::size_t perBlock = wfx->cbSize >= 2 ? std::size_t(format[18] | format[19] << 8) : 1;
    EXPECT_LT(decoded.size() - tone.size(), perBlock * GetParam().endBlocks);
    EXPECT_GT(ToneShare(decoded, 1000, 8000, 1000), 0.9) << GetParam().name;
    EXPECT_GT(SnrDb(tone, decoded, 1000, 8000), GetParam().minSnrDb) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, CodecRoundTrip,
    testing::Values(CodecCase{ 0, 80, "PCM16" }, CodecCase{ 1, 35, "PCM8" }, CodecCase{ 2, 30, "A-Law" },
        CodecCase{ 3, 30, "u-Law" }, CodecCase{ 4, 20, "IMA ADPCM" }, CodecCase{ 5, 5, "GSM 6.10", 2 }),
    [](const auto& info) { return testing_support::CaseName(info.param.name); });

TEST(FormatChooser, CancelsWithoutAChooserAndFillsTheChosenFormat)
{
    std::vector<std::uint8_t> buffer(50);
    std::memcpy(buffer.data(), &kPcm8k, sizeof kPcm8k);
    WAVEFORMATEX source = kPcm8k;
    ACMFORMATCHOOSEA choose{};
    choose.cbStruct = sizeof choose;
    choose.fdwStyle = ACMFORMATCHOOSE_STYLEF_INITTOWFXSTRUCT;
    choose.pwfx = reinterpret_cast<WAVEFORMATEX*>(buffer.data());
    choose.cbwfx = 50;
    choose.pszTitle = "Select Audio Format";
    choose.fdwEnum = ACM_FORMATENUMF_CONVERT;
    choose.pwfxEnum = &source;
    acmSetFormatChooser(nullptr);
    EXPECT_EQ(acmFormatChooseA(&choose), ACMERR_CANCELED);

    int initialSeen = -2;
    std::string titleSeen;
    acmSetFormatChooser(
        [&](const std::vector<AcmFormatChoice>& choices, int initial, const std::string& title, void*) {
            initialSeen = initial;
            titleSeen = title;
            return int(choices.size()) - 1;
        });
    ASSERT_EQ(acmFormatChooseA(&choose), MMSYSERR_NOERROR);
    acmSetFormatChooser(nullptr);
    EXPECT_EQ(initialSeen, 0);
    EXPECT_EQ(titleSeen, "Select Audio Format");
    EXPECT_STREQ(choose.szFormatTag, "GSM 6.10");
    EXPECT_STREQ(choose.szFormat, "8.000 kHz, Mono");
    EXPECT_EQ(choose.pwfx->wFormatTag, 0x31);
}
