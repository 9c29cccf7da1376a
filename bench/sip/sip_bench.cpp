// SIP lines under load, on the real clock: six calls at once between twelve SIP lines of this
// process over the loopback, each callee recording GSM 6.10 to a file while the caller plays a
// tone; then the delay from a caller's wave-out to the callee's wave-in at 0 % loss. With
// "conference": a three-way conference on one SIP line, its two SIP parties two other lines of this
// process, mixed here and recorded in GSM 6.10 while all three play tones. With
// "conference-analog": the same with one SIP party and a call of a simulated analog line instead.
//   sip_bench [seconds]
//   sip_bench conference [seconds]
//   sip_bench conference-analog [seconds]
#include "sipp.h"

#include "audio/wave_recorder.h"
#include "platform/wave_devices.h"
#include "tapi.h"
#include "tapisim.h"

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kCalls = 6;

std::vector<HCALL> g_offered;

void Callback(DWORD device, DWORD message, DWORD_PTR, DWORD_PTR, DWORD_PTR p2, DWORD_PTR)
{
    (void)device;
    if (message == LINE_APPNEWCALL)
        g_offered.push_back(static_cast<HCALL>(p2));
}

DWORD DeviceId(HLINE line, const char* deviceClass)
{
    std::vector<unsigned char> buffer(28);
    auto* id = reinterpret_cast<VARSTRING*>(buffer.data());
    id->dwTotalSize = 28;
    lineGetIDA(line, 0, 0, LINECALLSELECT_LINE, id, deviceClass);
    DWORD value = 0;
    std::memcpy(&value, buffer.data() + id->dwStringOffset, 4);
    return value;
}

void Wait(int ms)
{
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        tapiDispatchEvents();
    }
}

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// `count` SIP lines of this process on loopback ports (registration off), with `analog` a
// simulated analog line after them, opened by `app`; the SIP lines' ports in `ports`. False when the
// service refused the configuration.
bool OpenSipLines(int count, HLINEAPP& app, std::vector<HLINE>& handles, std::vector<std::uint16_t>& ports,
    bool analog = false)
{
    std::string config;
    for (int i = 0; i < count; ++i) {
        ports.push_back(sip_test::FreePort());
        config += "[line]\nname = SIP " + std::to_string(i) + "\nkind = sip\nuser = line" + std::to_string(i)
            + "\ndomain = 127.0.0.1\nlocal-address = 127.0.0.1\nlocal-port = " + std::to_string(ports.back())
            + "\nregister = no\n";
    }
    if (analog) {
        config += "[line]\nname = Analog\n";
        ++count;
    }
    if (tapisimUseManualClock(0) != TAPISIM_OK || tapisimConfigure(config.c_str()) != TAPISIM_OK) {
        std::fprintf(stderr, "sip_bench: cannot configure: %s\n", tapisimLastError());
        return false;
    }
    DWORD lines = 0, version = 0x00020000;
    LINEINITIALIZEEXPARAMS params{};
    params.dwTotalSize = sizeof params;
    params.dwOptions = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
    lineInitializeExA(&app, nullptr, Callback, "sip_bench", &lines, &version, &params);
    handles.resize(count);
    for (int i = 0; i < count; ++i)
        lineOpenA(app, DWORD(i), &handles[i], version, 0, 0, LINECALLPRIVILEGE_OWNER,
            LINEMEDIAMODE_INTERACTIVEVOICE, nullptr);
    return true;
}

std::string TargetOf(std::uint16_t port)
{
    return "sip:line@127.0.0.1:" + std::to_string(port);
}

// Plays a tone of `frequency` down the line through its wave-out device.
void PlayTone(HLINE line, double frequency)
{
    auto position = std::make_shared<std::size_t>(0);
    platform::WaveDeviceList::Instance()
        .Output(DeviceId(line, "wave/out"))
        ->Start(platform::PcmFormat{}, [=](std::uint8_t* data, std::size_t bytes) {
            auto* out = reinterpret_cast<std::int16_t*>(data);
            for (std::size_t k = 0; k < bytes / 2; ++k, ++*position)
                out[k] = static_cast<std::int16_t>(
                    3000 * std::sin(2 * std::numbers::pi * frequency * double(*position) / 8000));
            return bytes;
        });
}

// Records the line's wave-in in GSM 6.10 to `path`.
std::unique_ptr<WaveRecorder> Record(HLINE line, const std::filesystem::path& path)
{
    auto recorder = std::make_unique<WaveRecorder>();
    recorder->FindFormat("GSM 6.10 , 8.000 kHz, Mono");
    recorder->SetCompression(1);
    if (!recorder->StartRecording(path.string().c_str(), std::int16_t(DeviceId(line, "wave/in"))).Ok())
        std::fprintf(stderr, "sip_bench: recording %s did not start\n", path.string().c_str());
    return recorder;
}

std::filesystem::path BenchFolder()
{
    const auto folder
        = std::filesystem::temp_directory_path() / ("kestrium-sip-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    return folder;
}

DWORD CallState(HCALL call)
{
    LINECALLSTATUS status{};
    status.dwTotalSize = sizeof status;
    return lineGetCallStatus(call, &status) == 0 ? status.dwCallState : 0;
}

void WaitForState(HCALL call, DWORD state, int ms)
{
    for (int waited = 0; waited < ms && CallState(call) != state; waited += 100)
        Wait(100);
}

void AnswerOffered()
{
    for (HCALL offered : g_offered)
        lineAnswer(offered, nullptr, 0);
    Wait(1000);
    g_offered.clear();
}

// Line 0 calls line 1, sets up a conference, dials line 2 on the consultation call and adds it;
// lines 1 and 2 answer. With `analog`, line 2 is a simulated analog line instead: its call (to a
// far end sending a tone) is held and joins in place of the consultation call. All three play
// tones, line 0 records; the CPU of the whole process (both ends of the SIP calls) over `seconds`.
int ConferenceBench(int seconds, bool analog)
{
    HLINEAPP app = 0;
    std::vector<HLINE> handles;
    std::vector<std::uint16_t> ports;
    if (!OpenSipLines(analog ? 2 : 3, app, handles, ports, analog))
        return 1;
    HCALL first = 0, conference = 0, consult = 0, analogCall = 0;
    lineMakeCallA(handles[0], &first, TargetOf(ports[1]).c_str(), 0, nullptr);
    Wait(1500);
    AnswerOffered();
    if (analog) {
        tapisimSetFarEndTone(2, 1100, -10);
        lineMakeCallA(handles[2], &analogCall, "5550100", 0, nullptr);
        WaitForState(analogCall, LINECALLSTATE_CONNECTED, 10000);
        lineHold(analogCall);
        Wait(100);
    }
    lineSetupConferenceA(first, handles[0], &conference, &consult, 3, nullptr);
    Wait(300);
    if (!analog) {
        lineDialA(consult, TargetOf(ports[2]).c_str(), 0);
        Wait(1500);
        AnswerOffered();
    }
    const LONG added = lineAddToConference(conference, analog ? analogCall : consult);
    Wait(500);
    if (analog)
        lineDrop(consult, nullptr, 0);
    const double frequencies[] = { 1500, 700, 1100 };
    for (int i = 0; i < (analog ? 2 : 3); ++i)
        PlayTone(handles[i], frequencies[i]);
    const auto folder = BenchFolder();
    auto recorder = Record(handles[0], folder / "conference.wav");
    const double cpuBefore = CpuSeconds();
    const auto wallBefore = Clock::now();
    Wait(seconds * 1000);
    const double cpu = CpuSeconds() - cpuBefore;
    const double wall = std::chrono::duration<double>(Clock::now() - wallBefore).count();
    recorder->StopRecording();
    std::printf("conference %s (lineAddToConference %s)\n",
        CallState(conference) == LINECALLSTATE_CONNECTED ? "connected" : "NOT connected",
        added > 0 ? "accepted" : "refused");
    std::printf(
        "three-way conference on a SIP line, %s, recorded in GSM 6.10: %.1f %% of one core over %.1f s "
        "(the SIP parties' ends in this process too)\n",
        analog ? "a SIP party and an analog party of another line" : "two SIP parties", 100.0 * cpu / wall,
        wall);
    lineDrop(conference, nullptr, 0);
    Wait(300);
    lineShutdown(app);
    std::filesystem::remove_all(folder);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const bool analog = argc > 1 && std::strcmp(argv[1], "conference-analog") == 0;
    if (analog || (argc > 1 && std::strcmp(argv[1], "conference") == 0))
        return ConferenceBench(argc > 2 ? std::atoi(argv[2]) : 10, analog);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    HLINEAPP app = 0;
    std::vector<HLINE> handles;
    std::vector<std::uint16_t> ports;
    if (!OpenSipLines(2 * kCalls, app, handles, ports))
        return 1;
    std::vector<HCALL> calls(kCalls);
    for (int i = 0; i < kCalls; ++i) {
        lineMakeCallA(handles[i], &calls[i], TargetOf(ports[kCalls + i]).c_str(), 0, nullptr);
    }
    Wait(1500);
    for (HCALL offered : g_offered)
        lineAnswer(offered, nullptr, 0);
    Wait(1000);

    // Callers play a tone; callees record GSM 6.10.
    std::atomic<long long> clickSentNs{ 0 }, clickHeardNs{ 0 };
    std::atomic<bool> sendClick{ false };
    auto& devices = platform::WaveDeviceList::Instance();
    for (int i = 0; i < kCalls; ++i) {
        auto position = std::make_shared<std::size_t>(0);
        const bool first = i == 0;
        devices.Output(DeviceId(handles[i], "wave/out"))
            ->Start(
                platform::PcmFormat{}, [=, &sendClick, &clickSentNs](std::uint8_t* data, std::size_t bytes) {
                    auto* out = reinterpret_cast<std::int16_t*>(data);
                    for (std::size_t k = 0; k < bytes / 2; ++k, ++*position)
                        out[k] = static_cast<std::int16_t>(
                            3000 * std::sin(2 * std::numbers::pi * 440 * double(*position) / 8000));
                    if (first && sendClick.exchange(false)) {
                        std::fill(out, out + bytes / 2, std::int16_t(0));
                        out[0] = 30000;
                        clickSentNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                            Clock::now().time_since_epoch())
                                          .count();
                    }
                    return bytes;
                });
    }
    const auto folder = BenchFolder();
    std::vector<std::unique_ptr<WaveRecorder>> recorders;
    for (int i = 0; i < kCalls; ++i)
        recorders.push_back(Record(handles[kCalls + i], folder / ("call" + std::to_string(i) + ".wav")));
    const double cpuBefore = CpuSeconds();
    const auto wallBefore = Clock::now();
    Wait(seconds * 1000);
    const double cpu = CpuSeconds() - cpuBefore;
    const double wall = std::chrono::duration<double>(Clock::now() - wallBefore).count();
    for (auto& recorder : recorders)
        recorder->StopRecording();

    // Delay: a click on call 0's caller side, seen on its callee's wave-in (silence around it).
    std::vector<double> delays;
    auto input = devices.Input(DeviceId(handles[kCalls], "wave/in"));
    input->Start(platform::PcmFormat{}, [&](const std::uint8_t* data, std::size_t bytes) {
        const auto* in = reinterpret_cast<const std::int16_t*>(data);
        for (std::size_t k = 0; k < bytes / 2; ++k)
            if (std::abs(in[k]) > 20000 && clickSentNs && !clickHeardNs) {
                clickHeardNs
                    = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
                          .count()
                    + static_cast<long long>(k) * 125000; // its place in the block
            }
    });
    for (int round = 0; round < 20; ++round) {
        clickSentNs = 0;
        clickHeardNs = 0;
        sendClick = true;
        Wait(400);
        if (clickHeardNs && clickSentNs)
            delays.push_back(double(clickHeardNs - clickSentNs) / 1e6);
    }
    input->Stop();
    std::sort(delays.begin(), delays.end());
    std::printf("%zu of %d calls rang and were answered\n", g_offered.size(), kCalls);
    std::printf("six SIP calls, callees recording GSM 6.10: %.1f %% of one core over %.1f s (both ends of "
                "every call in this process)\n",
        100.0 * cpu / wall, wall);
    if (!delays.empty())
        std::printf("wave-out to wave-in delay over the loopback, %zu clicks: median %.1f ms, max %.1f ms\n",
            delays.size(), delays[delays.size() / 2], delays.back());
    for (HCALL call : calls)
        lineDrop(call, nullptr, 0);
    Wait(300);
    lineShutdown(app);
    std::filesystem::remove_all(folder);
    return 0;
}
