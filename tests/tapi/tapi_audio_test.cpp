#include "tapi_fixture.h"

#include "platform/wave_devices.h"
#include "support/temp_dir.h"

#include <spandsp.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

namespace {



struct Capture {
    std::vector<int16_t> samples;
    platform::WaveInDevice::Deliver Deliver()
    {
        return [this](const std::uint8_t* data, std::size_t bytes) {
            const auto* p = reinterpret_cast<const int16_t*>(data);
            samples.insert(samples.end(), p, p + bytes / 2);
        };
    }
};

void WriteToneWave(const std::filesystem::path& path, double frequency, unsigned ms)
{
    const std::uint32_t count = ms * 8;
    std::string bytes = "RIFF";
    const auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes += char(v >> (8 * i));
    };
    const auto put16 = [&](std::uint16_t v) {
        bytes += char(v);
        bytes += char(v >> 8);
    };
    put32(36 + count * 2);
    bytes += "WAVEfmt ";
    put32(16);
    put16(1);
    put16(1);
    put32(8000);
    put32(16000);
    put16(2);
    put16(16);
    bytes += "data";
    put32(count * 2);
    for (std::uint32_t i = 0; i < count; ++i)
        put16(static_cast<std::uint16_t>(
            static_cast<int16_t>(8000 * std::sin(2 * std::numbers::pi * frequency * i / 8000))));
    testing_support::WriteBytes(path, bytes);
}

} // namespace

using TapiAudio = TapiFixture;

TEST_F(TapiAudio, FarEndToneArrivesInTheLinesWaveInDeviceInRealTime)
{
    const HLINE line = OpenLine(0);
    auto device = platform::WaveDeviceList::Instance().Input(LineDeviceId(line, "wave/in"));
    ASSERT_NE(device, nullptr);
    Capture capture;
    EXPECT_EQ(device->Start(platform::PcmFormat{ 44100, 16, 2 }, capture.Deliver()), WAVERR_BADFORMAT);
    ASSERT_EQ(device->Start(platform::PcmFormat{}, capture.Deliver()), MMSYSERR_NOERROR);
    EXPECT_EQ(device->Start(platform::PcmFormat{}, capture.Deliver()), MMSYSERR_ALLOCATED);
    ASSERT_EQ(tapisimSetFarEndTone(0, 1000, -10), TAPISIM_OK);

    Pump(1000);
    EXPECT_EQ(capture.samples.size(), 8000u) << "one second of line audio per second of clock";
    EXPECT_TRUE(std::all_of(capture.samples.begin(), capture.samples.end(), [](int16_t s) { return s == 0; }))
        << "an idle line is silent";

    capture.samples.clear();
    ConnectedCall(line);
    capture.samples.clear();
    Pump(500);
    ASSERT_EQ(capture.samples.size(), 4000u);
    EXPECT_GT(ShareOf(capture.samples, 1000), 0.8);
    device->Stop();
    const std::size_t stopped = capture.samples.size();
    Pump(200);
    EXPECT_EQ(capture.samples.size(), stopped) << "nothing arrives after Stop";
}

TEST_F(TapiAudio, RingbackToneIsHeardWhileTheFarEndRings)
{
    const HLINE line = OpenLine(1);
    auto device = platform::WaveDeviceList::Instance().Input(LineDeviceId(line, "wave/in"));
    Capture capture;
    ASSERT_EQ(device->Start(platform::PcmFormat{}, capture.Deliver()), MMSYSERR_NOERROR);
    HCALL call = 0;
    ASSERT_GT(MakeCall(line, call, "5551234"), 0);
    Pump(1300);
    ASSERT_EQ(CallState(call), DWORD(LINECALLSTATE_RINGBACK));
    capture.samples.clear();
    Pump(1000);
    EXPECT_GT(ShareOf(capture.samples, 440) + ShareOf(capture.samples, 480), 0.5);
    device->Stop();
}

TEST_F(TapiAudio, FarEndWaveFileIsPlayedIntoTheCall)
{
    testing_support::TempDir dir;
    WriteToneWave(dir / "far.wav", 600, 300);
    const HLINE line = OpenLine(0);
    ASSERT_EQ(tapisimSetFarEndWave(0, (dir / "far.wav").c_str()), TAPISIM_OK);
    EXPECT_EQ(tapisimSetFarEndWave(0, (dir / "missing.wav").c_str()), TAPISIM_E_FILE);
    testing_support::WriteBytes(dir / "bad.wav", "RIFF1234WAVEjunk");
    EXPECT_EQ(tapisimSetFarEndWave(0, (dir / "bad.wav").c_str()), TAPISIM_E_FILE);
    // Only regular files are read: a FIFO would wait for a writer, /dev/zero never ends.
    ASSERT_EQ(::mkfifo((dir / "fifo.wav").c_str(), 0600), 0);
    for (const std::string& path : { (dir / "fifo.wav").string(), std::string("/dev/zero") }) {
        EXPECT_EQ(tapisimSetFarEndWave(0, path.c_str()), TAPISIM_E_FILE);
        EXPECT_EQ(std::string(tapisimLastError()), path + " is not a regular file");
    }
    ConnectedCall(line);
    auto device = platform::WaveDeviceList::Instance().Input(LineDeviceId(line, "wave/in"));
    Capture capture;
    ASSERT_EQ(device->Start(platform::PcmFormat{}, capture.Deliver()), MMSYSERR_NOERROR);
    Pump(600);
    device->Stop();
    ASSERT_EQ(capture.samples.size(), 4800u);
    // The file was started when the call connected; its end is followed by silence.
    EXPECT_TRUE(
        std::all_of(capture.samples.end() - 800, capture.samples.end(), [](int16_t s) { return s == 0; }));
}

TEST_F(TapiAudio, OurPlaybackReachesTheFarEndWhichDetectsItsDigits)
{
    const HLINE line = OpenLine(2);
    auto out = platform::WaveDeviceList::Instance().Output(LineDeviceId(line, "wave/out"));
    ASSERT_NE(out, nullptr);
    // A player that sends "42" as DTMF audio down the line.
    dtmf_tx_state_t* tx = dtmf_tx_init(nullptr);
    dtmf_tx_put(tx, "42", 2);
    std::vector<int16_t> played;
    auto render = [&](std::uint8_t* data, std::size_t bytes) {
        auto* samples = reinterpret_cast<int16_t*>(data);
        const int got = dtmf_tx(tx, samples, static_cast<int>(bytes / 2));
        played.insert(played.end(), samples, samples + got);
        return static_cast<std::size_t>(got) * 2;
    };
    ConnectedCall(line);
    tapisimClearHeard(2);
    ASSERT_EQ(out->Start(platform::PcmFormat{}, render), MMSYSERR_NOERROR);
    Pump(1000);
    out->Stop();
    dtmf_tx_free(tx);
    char digits[16] = {};
    ASSERT_EQ(tapisimGetDetectedDigits(2, digits, sizeof digits), TAPISIM_OK);
    EXPECT_STREQ(digits, "42");
    std::vector<int16_t> heard(static_cast<std::size_t>(tapisimGetHeardAudio(2, nullptr, 0)));
    ASSERT_EQ(heard.size(), 8000u);
    tapisimGetHeardAudio(2, heard.data(), static_cast<DWORD>(heard.size()));
    ASSERT_FALSE(played.empty());
    EXPECT_TRUE(std::equal(played.begin(), played.end(), heard.begin()))
        << "the far end hears exactly what we played";
}

TEST_F(TapiAudio, AuxiliaryInputCarriesBothDirections)
{
    const HLINE line = OpenLine(0);
    auto aux = platform::WaveDeviceList::Instance().Input(LineDeviceId(line, "wave/in/aux"));
    Capture capture;
    ASSERT_EQ(aux->Start(platform::PcmFormat{}, capture.Deliver()), MMSYSERR_NOERROR);
    tapisimSetFarEndTone(0, 500, -10);
    const HCALL call = ConnectedCall(line);
    ASSERT_EQ(lineGenerateTone(call, LINETONEMODE_BEEP, 400, 0, nullptr), 0);
    capture.samples.clear();
    Pump(400);
    aux->Stop();
    EXPECT_GT(ShareOf(capture.samples, 500), 0.2);
    EXPECT_GT(ShareOf(capture.samples, 1000), 0.2);
}

TEST_F(TapiAudio, HeardAudioAndDigitQueriesCheckTheirArguments)
{
    EXPECT_EQ(tapisimGetHeardAudio(99, nullptr, 0), TAPISIM_E_BADLINE);
    char small[1];
    EXPECT_EQ(tapisimGetDetectedDigits(0, small, sizeof small), TAPISIM_OK);
    EXPECT_EQ(tapisimGetDetectedDigits(0, nullptr, 4), TAPISIM_E_BADARG);
    EXPECT_EQ(tapisimSetFarEndTone(0, 0, -10), TAPISIM_E_BADARG);
    EXPECT_EQ(tapisimSetFarEndTone(0, 440, 20), TAPISIM_E_BADARG);
    EXPECT_EQ(tapisimSetFarEndWave(0, nullptr), TAPISIM_E_BADARG);
}
