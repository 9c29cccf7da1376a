#include "audio/wave_recorder.h"
#include "fake_wave_device.h"
#include "platform/audio_codec.h"
#include "platform/msacm.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using testing_support::FakeWaveIn;
using testing_support::Registered;
namespace fs = std::filesystem;

namespace {

constexpr WAVEFORMATEX kPcm8k{ WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0 };
constexpr std::size_t kRate = 8000;

struct Format {
    const char* name;
    WAVEFORMATEX wfx;
    std::uint16_t samplesPerBlock;
};

const Format kFormats[] = {
    { "PCM8", { WAVE_FORMAT_PCM, 1, 8000, 8000, 1, 8, 0 }, 0 },
    { "ALaw", { 6, 1, 8000, 8000, 1, 8, 0 }, 0 },
    { "uLaw", { 7, 1, 8000, 8000, 1, 8, 0 }, 0 },
    { "ImaAdpcm", { 0x11, 1, 8000, 4055, 256, 4, 2 }, 505 },
    { "Gsm610", { 0x31, 1, 8000, 1625, 65, 0, 2 }, 320 },
};

std::vector<std::int16_t> Speechlike(std::size_t count)
{
    std::vector<std::int16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double t = double(i) / kRate;
        samples[i] = std::int16_t(8000 * std::sin(2 * M_PI * 440 * t) + 3000 * std::sin(2 * M_PI * 1375 * t));
    }
    return samples;
}

std::vector<std::uint8_t> FormatBytes(const Format& f)
{
    std::vector<std::uint8_t> bytes(sizeof(WAVEFORMATEX) + f.wfx.cbSize);
    std::memcpy(bytes.data(), &f.wfx, sizeof f.wfx);
    if (f.wfx.cbSize >= 2) {
        bytes[18] = std::uint8_t(f.samplesPerBlock & 0xFF);
        bytes[19] = std::uint8_t(f.samplesPerBlock >> 8);
    }
    return bytes;
}

// Seconds of audio handled per second of one core's time: the real-time factor.
void ReportRealTime(benchmark::State& state, double audioSecondsPerIteration)
{
    state.counters["x_realtime"] = benchmark::Counter(
        audioSecondsPerIteration * double(state.iterations()), benchmark::Counter::kIsRate);
}

// Encoding through a conversion stream in the recorder's 10,000-byte buffers.
void BM_Encode(benchmark::State& state, const Format& format)
{
    const auto bytes = FormatBytes(format);
    HACMSTREAM stream = nullptr;
    acmStreamOpen(&stream, nullptr, &kPcm8k, reinterpret_cast<const WAVEFORMATEX*>(bytes.data()), nullptr, 0,
        0, ACM_STREAMOPENF_NONREALTIME);
    DWORD size = 0;
    acmStreamSize(stream, 10000, &size, ACM_STREAMSIZEF_SOURCE);
    std::vector<std::uint8_t> out(size);
    auto source = Speechlike(5000);
    for (auto _ : state) {
        ACMSTREAMHEADER header{};
        header.cbStruct = sizeof header;
        header.pbSrc = reinterpret_cast<std::uint8_t*>(source.data());
        header.cbSrcLength = 10000;
        header.pbDst = out.data();
        header.cbDstLength = size;
        acmStreamPrepareHeader(stream, &header, 0);
        acmStreamConvert(stream, &header, 0);
        acmStreamUnprepareHeader(stream, &header, 0);
        benchmark::DoNotOptimize(out.data());
    }
    acmStreamClose(stream, 0);
    ReportRealTime(state, 5000.0 / kRate);
}

// Decoding as the player does, block by block.
void BM_Decode(benchmark::State& state, const Format& format)
{
    const auto bytes = FormatBytes(format);
    const auto* wfx = reinterpret_cast<const WAVEFORMATEX*>(bytes.data());
    auto encoder = platform::MakeEncoder(*wfx);
    const auto source = Speechlike(8000 * 10);
    std::vector<std::uint8_t> coded(encoder->MaxOutput(source.size()));
    coded.resize(encoder->Encode(source.data(), source.size(), coded.data(), true));
    auto decoder = platform::MakeDecoder(*wfx, bytes.data() + sizeof(WAVEFORMATEX), wfx->cbSize);
    std::vector<std::int16_t> block(decoder->FramesPerBlock());
    for (auto _ : state) {
        for (std::size_t at = 0; at + decoder->BlockBytes() <= coded.size(); at += decoder->BlockBytes())
            decoder->DecodeBlock(coded.data() + at, block.data());
        benchmark::DoNotOptimize(block.data());
    }
    ReportRealTime(state, 10.0);
}

fs::path BenchFolder()
{
    const fs::path folder
        = fs::temp_directory_path() / ("kestrium-audio-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    return folder;
}

// Six lines record GSM 6.10 at once; each iteration is one second of audio on every line. The
// counter is the share of one core that real-time recording takes.
void BM_SixLinesRecordingGsm(benchmark::State& state)
{
    const fs::path folder = BenchFolder();
    std::vector<std::unique_ptr<Registered<FakeWaveIn>>> lines;
    std::vector<std::unique_ptr<WaveRecorder>> recorders;
    for (int i = 0; i < 6; ++i) {
        lines.push_back(std::make_unique<Registered<FakeWaveIn>>(
            platform::WaveDeviceGroup::Line, "Line " + std::to_string(i)));
        recorders.push_back(std::make_unique<WaveRecorder>());
        recorders[i]->FindFormat("GSM 6.10 , 8.000 kHz, Mono");
        recorders[i]->SetCompression(1);
        const std::string path = (folder / ("line" + std::to_string(i) + ".wav")).string();
        recorders[i]->StartRecording(path.c_str(), std::int16_t((*lines[i]).Id()));
    }
    // One second in pieces of 20 ms, as a device delivers it.
    const auto piece = Speechlike(160);
    for (auto _ : state)
        for (int tick = 0; tick < 50; ++tick)
            for (auto& line : lines)
                (**line).Push(piece);
    for (auto& recorder : recorders)
        recorder->StopRecording();
    state.counters["core_percent"] = benchmark::Counter(
        double(state.iterations()) / 100.0, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    fs::remove_all(folder);
}

// Finishing a one-hour PCM recording (57.6 MB of data): only StopRecording is timed.
void BM_StopOneHourRecording(benchmark::State& state)
{
    const fs::path folder = BenchFolder();
    Registered<FakeWaveIn> line(platform::WaveDeviceGroup::Line, "Line hour");
    const auto minute = Speechlike(8000 * 60);
    for (auto _ : state) {
        state.PauseTiming();
        WaveRecorder recorder;
        const std::string path = (folder / "hour.wav").string();
        recorder.StartRecording(path.c_str(), std::int16_t(line.Id()));
        for (int m = 0; m < 60; ++m)
            line->Push(minute);
        state.ResumeTiming();
        if (!recorder.StopRecording().Ok())
            state.SkipWithError("StopRecording failed");
        state.PauseTiming();
        if (fs::file_size(path) != 8000u * 2 * 3600 + 90)
            state.SkipWithError("wrong file size");
        state.ResumeTiming();
    }
    fs::remove_all(folder);
}

} // namespace

BENCHMARK_CAPTURE(BM_Encode, PCM8, kFormats[0]);
BENCHMARK_CAPTURE(BM_Encode, ALaw, kFormats[1]);
BENCHMARK_CAPTURE(BM_Encode, uLaw, kFormats[2]);
BENCHMARK_CAPTURE(BM_Encode, ImaAdpcm, kFormats[3]);
BENCHMARK_CAPTURE(BM_Encode, Gsm610, kFormats[4]);
BENCHMARK_CAPTURE(BM_Decode, PCM8, kFormats[0]);
BENCHMARK_CAPTURE(BM_Decode, ALaw, kFormats[1]);
BENCHMARK_CAPTURE(BM_Decode, uLaw, kFormats[2]);
BENCHMARK_CAPTURE(BM_Decode, ImaAdpcm, kFormats[3]);
BENCHMARK_CAPTURE(BM_Decode, Gsm610, kFormats[4]);
BENCHMARK(BM_SixLinesRecordingGsm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StopOneHourRecording)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
