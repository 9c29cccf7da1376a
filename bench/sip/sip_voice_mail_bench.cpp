// Six SIP callers at once against the program itself: six SIP accounts on six rows (four presented
// as telephone-network lines, two as IP lines), a SIPp per line calling it, voice mail answering
// each after one ring and recording the caller's tone until the caller hangs up. The CPU of this
// process (the whole program: window offscreen, telephony service, recorders; SIPp runs in its own
// processes) is counted from the first INVITE until every call is logged, on the real clock.
// Then the call log must hold six voice messages, each with the caller's tone.
//   sip_voice_mail_bench [message seconds]
#include "sipp.h"

#include "app/application.h"
#include "platform/registry.h"
#include "settings/settings_store.h"
#include "sound_file.h"
#include "store/call_log_store.h"
#include "store/recording_path.h"
#include "tapisim.h"
#include "telephony/support/scripted_prompter.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kCallers = 6;
constexpr double kToneHz = 900;
constexpr double kTargetPercent = 5.0;

// CPU clock ticks of this process's threads, summed by thread name.
std::map<std::string, long> ThreadTicks()
{
    std::map<std::string, long> ticks;
    std::error_code error;
    for (const fs::directory_entry& task : fs::directory_iterator("/proc/self/task", error)) {
        std::ifstream file(task.path() / "stat");
        const std::string stat((std::istreambuf_iterator<char>(file)), {});
        const std::size_t open = stat.find('('), close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos)
            continue;
        std::istringstream fields(stat.substr(close + 2));
        std::string field;
        long utime = 0, stime = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i) {
            if (i == 14)
                utime = std::stol(field);
            if (i == 15)
                stime = std::stol(field);
        }
        ticks[stat.substr(open + 1, close - open - 1)] += utime + stime;
    }
    return ticks;
}

void PrintThreadTicks(const std::map<std::string, long>& before, const std::map<std::string, long>& after)
{
    std::printf("CPU by thread (clock ticks, %ld a second):", ::sysconf(_SC_CLK_TCK));
    for (const auto& [name, ticks] : after) {
        const auto was = before.find(name);
        const long spent = ticks - (was == before.end() ? 0 : was->second);
        if (spent > 0)
            std::printf(" %s %ld,", name.c_str(), spent);
    }
    std::printf("\n");
}

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::vector<std::int16_t> Tone(unsigned ms)
{
    std::vector<std::int16_t> samples(std::size_t(ms) * 8);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = std::int16_t(8000 * std::sin(2 * std::numbers::pi * kToneHz * double(i) / 8000));
    return samples;
}

// The share of the tone's energy in `samples` (Goertzel), 0 for silence.
double ToneShare(const std::int16_t* samples, std::size_t count)
{
    const double coefficient = 2 * std::cos(2 * std::numbers::pi * kToneHz / 8000);
    double s1 = 0, s2 = 0, energy = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double s0 = samples[i] + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
        energy += double(samples[i]) * samples[i];
    }
    const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    return energy > 0 ? 2 * power / (double(count) * energy) : 0;
}

// The best share of the tone in any half second of the message.
double BestToneShare(const std::vector<std::int16_t>& samples)
{
    constexpr std::size_t kWindow = 4000;
    double best = 0;
    for (std::size_t from = 0; from + kWindow <= samples.size(); from += 800)
        best = std::max(best, ToneShare(samples.data() + from, kWindow));
    return best;
}

std::string LineConfig(const std::vector<std::uint16_t>& linePorts, std::uint16_t farPort)
{
    std::string config;
    for (std::size_t i = 0; i < linePorts.size(); ++i)
        config += "[line]\nname = SIP Account " + std::to_string(i + 1)
            + "\nkind = sip\nuser = kestrium\ndomain = 127.0.0.1:" + std::to_string(farPort)
            + "\nlocal-address = 127.0.0.1\nlocal-port = " + std::to_string(linePorts[i])
            + "\nregister = no\nring-period-ms = 2000\npresent-as = " + (i < 4 ? "analog" : "ip") + "\n";
    return config;
}

// Runs the event loop, as the program's does, until no SIPp runs any more.
void RunWhileCalling(std::vector<std::unique_ptr<sip_test::Sipp>>& callers)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (std::none_of(callers.begin(), callers.end(), [](auto& sipp) { return sipp->Running(); }))
            loop.quit();
    });
    poll.start(100);
    loop.exec();
}

void RunFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Prints each message and answers whether all six are voice messages holding the caller's tone
// for most of `toneMs`.
bool CheckMessages(const fs::path& dataFolder, unsigned toneMs)
{
    CallLogStore log;
    log.Load(dataFolder / CallLogStore::kFileName);
    int good = 0;
    for (std::size_t i = 0; i < log.Count(); ++i) {
        const CallLogEntry& entry = *log.GetAt(i);
        const testing_support::SoundFile message
            = testing_support::ReadSoundFile(RecordingPath::ToLocalFile(entry.recordingPath).string());
        const double seconds = double(message.frames) / 8000;
        const double share = message.opened ? BestToneShare(message.samples) : 0;
        const bool ok
            = entry.TypeCode() == kCallTypeVoicemail && share > 0.8 && seconds > 0.8 * toneMs / 1000;
        good += ok ? 1 : 0;
        std::printf("  entry %zu: type %d, %s, message %.1f s, tone share %.2f%s\n", i + 1, entry.TypeCode(),
            entry.number.c_str(), seconds, share, ok ? "" : "  <- not a good message");
    }
    std::printf("%zu log entries, %d voice messages with the caller's tone\n", log.Count(), good);
    return log.Count() == kCallers && good == kCallers;
}

} // namespace

int main(int argc, char** argv)
{
    const unsigned toneMs = argc > 1 ? unsigned(std::atoi(argv[1])) * 1000 : 10000;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const fs::path folder = fs::temp_directory_path() / ("kestrium-vm-bench-" + std::to_string(::getpid()));
    const fs::path data = folder / "data";
    fs::create_directories(data);
    fs::create_directories(folder / "run");
    ::chmod((folder / "run").c_str(), 0700);
    ::setenv("XDG_RUNTIME_DIR", (folder / "run").c_str(), 1);
    QApplication qt(argc, argv);

    std::vector<std::uint16_t> linePorts;
    for (int i = 0; i < kCallers; ++i)
        linePorts.push_back(sip_test::FreePort());
    if (tapisimUseManualClock(0) != TAPISIM_OK
        || tapisimConfigure(LineConfig(linePorts, sip_test::FreePort()).c_str()) != TAPISIM_OK) {
        std::fprintf(stderr, "sip_voice_mail_bench: cannot configure: %s\n", tapisimLastError());
        return 1;
    }
    platform::RegistryHive hive(folder / "registry.reg");
    SettingsStore settings(hive);
    settings.Write(Settings::kVoicemailOn, 1);
    settings.Write(Settings::kAnswerAfter, 1);
    ScriptedPrompter prompter;
    auto app = std::make_unique<Application>(data, hive, prompter);
    if (!app->Start()) {
        std::fprintf(stderr, "sip_voice_mail_bench: the program did not start\n");
        return 1;
    }
    RunFor(500);

    sip_test::WriteRtpPcap(folder / "message.pcap", Tone(toneMs));
    const std::string scenario = sip_test::CallingScenario(
        sip_test::AnsweredThenTone((folder / "message.pcap").string(), toneMs + 500));
    const std::map<std::string, long> threadsBefore = ThreadTicks();
    const double cpuBefore = CpuSeconds();
    const auto wallBefore = Clock::now();
    std::vector<std::unique_ptr<sip_test::Sipp>> callers;
    for (int i = 0; i < kCallers; ++i) {
        const fs::path callerFolder = folder / ("caller" + std::to_string(i + 1));
        fs::create_directories(callerFolder);
        callers.push_back(std::make_unique<sip_test::Sipp>());
        callers.back()->Start(callerFolder, scenario, sip_test::FreePort(),
            { "127.0.0.1:" + std::to_string(linePorts[std::size_t(i)]) });
    }
    RunWhileCalling(callers);
    RunFor(500); // the last BYE's call goes idle and is logged
    const double cpu = CpuSeconds() - cpuBefore;
    const double wall = std::chrono::duration<double>(Clock::now() - wallBefore).count();
    const std::map<std::string, long> threadsAfter = ThreadTicks();
    int failed = 0;
    for (auto& sipp : callers)
        if (sipp->ExitCode() != 0) {
            ++failed;
            std::fprintf(stderr, "%s\n", sipp->Log().c_str());
        }
    app->Finish();

    const double percent = 100.0 * cpu / wall;
    std::printf("six SIP callers at once, voice mail answering and recording each: %.2f %% of one core "
                "(%.2f s CPU over %.1f s; target < %.0f %%)\n",
        percent, cpu, wall, kTargetPercent);
    PrintThreadTicks(threadsBefore, threadsAfter);
    std::printf("%d of %d callers finished their scenario\n", kCallers - failed, kCallers);
    const bool messages = CheckMessages(data, toneMs);
    fs::remove_all(folder);
    const bool met = percent < kTargetPercent && messages && failed == 0;
    std::printf("%s\n", met ? "target met" : "TARGET MISSED");
    return met ? 0 : 2;
}
