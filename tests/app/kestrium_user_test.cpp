// The real program as a user runs it: `kestrium` started in a data folder (offscreen), rung with
// `linesim`, asked to dial by `kestrium-dial`, stopped with SIGTERM, and its files checked.

#include "audio/sound_file.h"
#include "platform/registry.h"
#include "platform/tone.h"
#include "settings/settings_store.h"
#include "store/call_log_store.h"
#include "support/temp_dir.h"
#include "support/thread_sleep.h"
#include "support/tool_run.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string kLinesim = LINESIM_PATH;
const std::string kDial = KESTRIUM_DIAL_PATH;

std::string RunCommand(const std::string& command)
{
    return testing_support::RunTool(command).output;
}

using testing_support::WaitUntil;

void WriteTone(const fs::path& file, double hz, std::size_t samples)
{
    ASSERT_TRUE(testing_support::WriteSoundFile(file.string(), testing_support::Tone(samples, hz, 12000)))
        << file;
}

std::vector<fs::path> WaveFiles(const fs::path& folder)
{
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (entry.path().extension() == ".wav")
            files.push_back(entry.path());
    return files;
}

class KestriumUser : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::permissions(m_run.Path(), fs::perms::owner_all, fs::perm_options::replace);
        m_registry = m_config / "registry.reg";
        m_log = m_config / "kestrium.log";
        m_socket = m_run / "kestrium-telephony.sock";
        platform::RegistryHive hive(m_registry);
        SettingsStore settings(hive);
        settings.Write(Settings::kVoicemailOn, 1);
        settings.Write(Settings::kAnswerAfter, 2);
        settings.Write(Settings::kIsSystemDialer, 1);
        fs::create_directory(m_data / "MiscRecordings");
        WriteTone(m_data / "MiscRecordings" / "ogm.wav", 600, 4000);
        WriteTone(m_data / "message.wav", 440, 12000);
    }

    void TearDown() override
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (HasFailure())
            std::cout << "kestrium's output:\n" << testing_support::ReadBytes(m_log) << std::endl;
    }

    void StartKestrium()
    {
        m_pid = ::fork();
        ASSERT_GE(m_pid, 0);
        if (m_pid == 0) {
            // The program ends with this test even if the test dies, and its output goes to a file:
            // an inherited pipe would keep CTest waiting for a program nobody stops.
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            const int log = ::open(m_log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            if (::chdir(m_data.Path().c_str()) != 0 || log < 0 || ::dup2(log, 1) < 0 || ::dup2(log, 2) < 0)
                ::_exit(127);
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            ::setenv("XDG_RUNTIME_DIR", m_run.Path().c_str(), 1);
            ::setenv("KESTRIUM_REGISTRY", m_registry.c_str(), 1);
            ::unsetenv("KESTRIUM_TELEPHONY_SOCKET");
            ::execl(KESTRIUM_PATH, "kestrium", static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }

    // The exit status of the program once it ended, -1 when it did not end in time.
    int StopKestrium()
    {
        ::kill(m_pid, SIGTERM);
        int status = 0;
        const bool ended = WaitUntil([&] { return ::waitpid(m_pid, &status, WNOHANG) == m_pid; }, 10s);
        if (!ended)
            return -1;
        m_pid = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // The program's link socket is served once its lines are open: a caller rung before that
    // would ring nobody.
    void WaitForOpenLines()
    {
        ASSERT_TRUE(WaitUntil([&] { return fs::exists(m_run / "kestrium.sock"); })) << "Kestrium started";
        ASSERT_TRUE(WaitUntil([&] {
            return Linesim("list").find("line 2: Zo-Linka Line 2") != std::string::npos;
        })) << "the exchange of the running program answers";
    }

    std::string Linesim(const std::string& arguments)
    {
        return RunCommand(kLinesim + " --socket " + m_socket.string() + " " + arguments);
    }
    std::string CallLog() const
    {
        std::string text;
        if (FILE* file = std::fopen((m_data / "KestriumCallLog.csv").c_str(), "rb")) {
            std::array<char, 4096> buffer{};
            while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), file))
                text.append(buffer.data(), n);
            std::fclose(file);
        }
        return text;
    }

    testing_support::TempDir m_data;
    testing_support::TempDir m_run;
    testing_support::TempDir m_config;
    fs::path m_registry;
    fs::path m_log;
    fs::path m_socket;
    pid_t m_pid = 0;
};

// The best share of `hz` in any 100 ms of the samples.
double BestShareOf(const std::vector<std::int16_t>& samples, double hz)
{
    double best = 0;
    for (std::size_t at = 0; at + 800 <= samples.size(); at += 800)
        best = std::max(best, testing_support::ToneShare(samples, at, 800, hz));
    return best;
}

std::size_t Occurrences(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

TEST_F(KestriumUser, AnswersByVoiceMailDialsForAnotherApplicationAndSavesOnSigterm)
{
    StartKestrium();
    WaitForOpenLines();

    // "Answer after" 2: voice mail picks up on the second ring, greets, beeps and records.
    ASSERT_NE(Linesim("ring 2 5559876 \"Ann Lee\"").find("ringing line 2"), std::string::npos);
    ASSERT_TRUE(WaitUntil([&] { return Linesim("heard 2").find("tone beep 600") != std::string::npos; }))
        << Linesim("heard 2");
    std::this_thread::sleep_for(1s);
    ASSERT_EQ(Linesim("play 2 " + (m_data / "message.wav").string()).find("error"), std::string::npos);
    std::this_thread::sleep_for(2s);
    Linesim("hangup 2");
    ASSERT_TRUE(WaitUntil([&] { return CallLog().find("\"Ann Lee\"") != std::string::npos; })) << CallLog();
    const std::string log = CallLog();
    EXPECT_NE(log.find("\"Ann Lee\",\"5559876\",\"\",\"File:///"), std::string::npos) << log;

    // Another application's dialing request: placed on the default line, logged when it ends.
    const std::string dialed = RunCommand(
        "KESTRIUM_TELEPHONY_SOCKET=" + m_socket.string() + " " + kDial + " 5551234 \"Bob Stone\"");
    ASSERT_TRUE(WaitUntil([&] {
        return Linesim("list").find("line 1: Zo-Linka Line 1 (analog, handset down) call")
            != std::string::npos
            && Linesim("list").find("connected") != std::string::npos;
    })) << dialed
        << Linesim("list");
    Linesim("hangup 1");
    ASSERT_TRUE(WaitUntil([&] { return CallLog().find("\"Bob Stone\"") != std::string::npos; })) << CallLog();

    // The machine shuts down while a caller rings and the pop-up shows: everything is still saved,
    // the ringing call as missed.
    ASSERT_NE(Linesim("ring 3 5550303 \"Cy Ring\"").find("ringing line 3"), std::string::npos);
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(StopKestrium(), 0);
    EXPECT_NE(CallLog().find("\"Cy Ring\",\"5550303\",\"\",\"\",\"0\""), std::string::npos) << CallLog();
    for (const char* name : { "KestriumContacts200.csv", "KestriumSpeedDial200.csv",
             "KestriumRedialList200.csv", "KestriumCallLog.csv", "KestriumDevices.csv" })
        EXPECT_TRUE(fs::exists(m_data / name)) << name;
    EXPECT_NE(CallLog().find("\"Bob Stone\",\"5551234\",\"\",\"\",\"2\""), std::string::npos) << CallLog();

    const std::vector<fs::path> messages = WaveFiles(m_data / "VoiceMail");
    ASSERT_EQ(messages.size(), 1u);
    const testing_support::SoundFile message = testing_support::ReadSoundFile(messages[0].string());
    ASSERT_TRUE(message.opened);
    ASSERT_GT(message.frames, 8000) << "more than a second of the caller's message";
    EXPECT_GT(BestShareOf(message.samples, 440), 0.8) << "the caller's 440 Hz is in the message";
}

// An idle program's exchange clock sleeps. A caller rung then is still answered by voice mail on
// the second ring, one ring period (6 s) after the first; once the call is over it sleeps again.
TEST_F(KestriumUser, AnIdleProgramSleepsAndItsVoiceMailStillAnswersOnTheSecondRing)
{
    constexpr long kRingPeriodMs = 6000;
    StartKestrium();
    WaitForOpenLines();
    ASSERT_TRUE(testing_support::ThreadSleeps(m_pid, "tapi-clock")) << "the idle exchange sleeps";

    const auto rung = std::chrono::steady_clock::now();
    ASSERT_NE(Linesim("ring 2 5550404 \"Eve Idle\"").find("ringing line 2"), std::string::npos);
    ASSERT_TRUE(WaitUntil([&] { return Linesim("list").find("connected") != std::string::npos; }, 20s))
        << Linesim("list");
    const auto answeredMs
        = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - rung)
              .count();
    EXPECT_GE(answeredMs, kRingPeriodMs - 10) << "not before the second ring";
    EXPECT_LT(answeredMs, kRingPeriodMs + 3000) << "on the second ring";

    Linesim("hangup 2");
    ASSERT_TRUE(WaitUntil([&] { return CallLog().find("\"Eve Idle\"") != std::string::npos; })) << CallLog();
    EXPECT_TRUE(testing_support::ThreadSleeps(m_pid, "tapi-clock")) << "asleep again after the call";
}

// The program is killed in the middle of a voice message. The message on disk plays at once; the
// next start repairs it and logs it as a new voice message from its caller, exactly once.
TEST_F(KestriumUser, AVoiceMessageCutOffByAKillPlaysAndIsLoggedAtTheNextStart)
{
    WriteTone(m_data / "long.wav", 700, 8000 * 20);
    StartKestrium();
    WaitForOpenLines();
    ASSERT_NE(Linesim("ring 2 5550101 \"Dee Kay\"").find("ringing line 2"), std::string::npos);
    ASSERT_TRUE(WaitUntil([&] { return Linesim("heard 2").find("tone beep 600") != std::string::npos; }))
        << Linesim("heard 2");
    std::this_thread::sleep_for(1s);
    ASSERT_EQ(Linesim("play 2 " + (m_data / "long.wav").string()).find("error"), std::string::npos);
    std::this_thread::sleep_for(5s);
    ASSERT_EQ(::kill(m_pid, SIGKILL), 0);
    ASSERT_EQ(::waitpid(m_pid, nullptr, 0), m_pid);
    m_pid = 0;

    const std::vector<fs::path> messages = WaveFiles(m_data / "VoiceMail");
    ASSERT_EQ(messages.size(), 1u);
    const fs::path file = messages[0];
    const testing_support::SoundFile cut = testing_support::ReadSoundFile(file.string());
    ASSERT_TRUE(cut.opened) << "the message plays before any repair";
    EXPECT_GT(cut.frames, 8000 * 3);
    EXPECT_EQ(CallLog().find("Dee Kay"), std::string::npos) << CallLog();

    StartKestrium();
    ASSERT_TRUE(WaitUntil([&] { return CallLog().find("\"Dee Kay\"") != std::string::npos; })) << CallLog();
    EXPECT_EQ(StopKestrium(), 0);
    const std::string log = CallLog();
    EXPECT_NE(log.find("\"Dee Kay\",\"5550101\",\"\",\"File:///"), std::string::npos) << log;
    EXPECT_NE(log.find(file.filename().string() + "\",\"4\""), std::string::npos)
        << "an unheard voice message\n"
        << log;
    EXPECT_FALSE(fs::exists(file.string() + ".unlogged"));
    const testing_support::SoundFile repaired = testing_support::ReadSoundFile(file.string());
    ASSERT_TRUE(repaired.opened);
    EXPECT_GE(repaired.frames, cut.frames);
    EXPECT_EQ(std::uint64_t(repaired.frames) * 2 + 90, fs::file_size(file) / 2 * 2) << "sized to the file";
    EXPECT_GT(BestShareOf(repaired.samples, 700), 0.8) << "the caller's 700 Hz is in the message";

    StartKestrium();
    WaitForOpenLines();
    EXPECT_EQ(StopKestrium(), 0);
    EXPECT_EQ(Occurrences(CallLog(), "\"Dee Kay\""), 1u) << "logged once" << CallLog();
}

// The program is killed while a call talks and another caller rings: the next start logs both,
// the ringing one as missed and the talking one with its length up to shortly before the kill.
TEST_F(KestriumUser, CallsInProgressWhenTheProgramIsKilledAreLoggedAtTheNextStart)
{
    StartKestrium();
    WaitForOpenLines();
    RunCommand("KESTRIUM_TELEPHONY_SOCKET=" + m_socket.string() + " " + kDial + " 5551234 \"Bob Stone\"");
    ASSERT_TRUE(WaitUntil([&] { return Linesim("list").find("connected") != std::string::npos; }))
        << Linesim("list");
    std::this_thread::sleep_for(7s);
    ASSERT_NE(Linesim("ring 3 5550303 \"Cy Ring\"").find("ringing line 3"), std::string::npos);
    std::this_thread::sleep_for(1s);
    ASSERT_EQ(::kill(m_pid, SIGKILL), 0);
    ASSERT_EQ(::waitpid(m_pid, nullptr, 0), m_pid);
    m_pid = 0;
    EXPECT_EQ(CallLog().find("Cy Ring"), std::string::npos) << CallLog();

    StartKestrium();
    WaitForOpenLines();
    EXPECT_EQ(StopKestrium(), 0);
    CallLogStore log;
    log.Load(m_data / "KestriumCallLog.csv");
    ASSERT_EQ(log.Count(), 2u) << CallLog();
    for (std::size_t i = 0; i < log.Count(); ++i) {
        const CallLogEntry& entry = *log.GetAt(i);
        if (entry.callerName == "Cy Ring") {
            EXPECT_EQ(entry.type, kCallTypeMissed);
            EXPECT_EQ(entry.number, "5550303");
            continue;
        }
        EXPECT_EQ(entry.callerName, "Bob Stone");
        EXPECT_EQ(entry.type, kCallTypeOutgoing);
        const std::time_t length = *entry.endTime.ToTimeT() - *entry.startTime.ToTimeT();
        EXPECT_GE(length, 3) << "talked about 8 s, written every 5 s";
        EXPECT_LE(length, 9);
    }
}

} // namespace
